#include "audio/PrivateSoundServer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace ostrel::testing {

namespace {

std::optional<pid_t> spawnWith(const std::vector<std::string>& args,
                               const std::vector<std::string>& environment, bool quiet) {
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const auto& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (quiet) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = 0;
  const int result = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (result != 0) return std::nullopt;
  return pid;
}

int waitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

void stopProcess(pid_t pid) {
  kill(pid, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGKILL);
  waitFor(pid);
}

PrivateSoundServer::PrivateSoundServer() {
  std::string pattern = (std::filesystem::temp_directory_path() / "ostrel-pulse-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    error_ = "no temporary folder";
    return;
  }
  folder_ = pattern;
  const std::string socket = (folder_ / "native").string();
  const std::string server = "unix:" + socket;

  // Everything the server and its clients would look at lives in the private
  // folder; without DISPLAY nobody publishes or finds a server through X11.
  const std::vector<std::string> overrides = {
      "HOME=" + folder_.string(),
      "XDG_RUNTIME_DIR=" + folder_.string(),
      "XDG_CONFIG_HOME=" + (folder_ / "config").string(),
      "PULSE_RUNTIME_PATH=" + (folder_ / "runtime").string(),
      "PULSE_STATE_PATH=" + (folder_ / "state").string(),
      "PULSE_COOKIE=" + (folder_ / "cookie").string(),
      "PULSE_SERVER=" + server,
  };
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    bool replaced = name == "DISPLAY";
    for (const auto& override : overrides) replaced = replaced || override.starts_with(name + "=");
    if (!replaced) environment_.push_back(text);
  }
  environment_.insert(environment_.end(), overrides.begin(), overrides.end());

  daemon_ = spawnWith({"pulseaudio", "-n", "--daemonize=no", "--system=false", "--exit-idle-time=-1",
                       "--use-pid-file=no", "--log-target=stderr", "--log-level=error",
                       "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket,
                       "--load=module-null-sink sink_name=test_sink"},
                      environment_, true);
  if (!daemon_) {
    error_ = "pulseaudio would not start";
    return;
  }
  bool answered = false;
  for (int i = 0; i < 100 && !answered; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    answered = std::filesystem::exists(socket) && run({"pactl", "info"}) == 0;
  }
  if (!answered || run({"pactl", "set-default-source", "test_sink.monitor"}) != 0) {
    error_ = "pulseaudio does not answer";
    return;
  }
  // The code under test finds the server through the client library's own lookup.
  if (const char* old = std::getenv("PULSE_SERVER")) savedServer_ = old;
  setenv("PULSE_SERVER", server.c_str(), 1);
  pointedHere_ = true;
}

PrivateSoundServer::~PrivateSoundServer() {
  if (pointedHere_ && savedServer_) {
    setenv("PULSE_SERVER", savedServer_->c_str(), 1);
  } else if (pointedHere_) {
    unsetenv("PULSE_SERVER");
  }
  if (player_) stopProcess(*player_);
  if (daemon_) stopProcess(*daemon_);
  std::error_code error;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, error);
}

bool PrivateSoundServer::playTone(int hz) {
  const std::string tone = (folder_ / "tone.wav").string();
  if (run({"sox", "-n", "-r", "44100", "-c", "1", "-b", "16", tone, "synth", "120", "sine",
           std::to_string(hz), "vol", "0.5"}) != 0) {
    return false;
  }
  // A null sink renders in blocks as long as its players' latency; a player
  // with the default two seconds would reach the monitor in bursts.
  player_ = spawn({"paplay", "--latency-msec=20", "--device=test_sink", tone});
  return player_.has_value();
}

void PrivateSoundServer::signalServer(int signal) const {
  if (daemon_) kill(*daemon_, signal);
}

int PrivateSoundServer::run(const std::vector<std::string>& args) const {
  const auto pid = spawnWith(args, environment_, true);
  return pid ? waitFor(*pid) : -1;
}

std::optional<pid_t> PrivateSoundServer::spawn(const std::vector<std::string>& args) const {
  return spawnWith(args, environment_, true);
}

}  // namespace ostrel::testing
