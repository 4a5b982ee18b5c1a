#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::testing {

// A PulseAudio server of the test's own, in a private folder, with one null
// sink "test_sink" whose monitor is the default source. It never touches the
// user's server: this process and the helpers it runs are pointed at the
// private socket, and the server is stopped by its process id.
class PrivateSoundServer {
 public:
  PrivateSoundServer();
  ~PrivateSoundServer();
  PrivateSoundServer(const PrivateSoundServer&) = delete;
  PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

  // Whether the server answers; why not, otherwise.
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  const std::filesystem::path& folder() const { return folder_; }

  // Plays an endless sine of `hz` into the null sink until the server goes.
  bool playTone(int hz);

  // Sends `signal` to the server itself (to freeze, thaw or kill it).
  void signalServer(int signal) const;

  // Runs a helper program (sox, pactl, ...) against the server and returns
  // its exit status (-1 when it could not run).
  int run(const std::vector<std::string>& args) const;
  // Starts a helper program in the background; stop it with stopProcess.
  std::optional<pid_t> spawn(const std::vector<std::string>& args) const;

 private:
  std::vector<std::string> environment_;
  std::filesystem::path folder_;
  std::optional<pid_t> daemon_;
  std::optional<pid_t> player_;
  bool pointedHere_ = false;
  std::optional<std::string> savedServer_;
  std::string error_;
};

// SIGTERM, then SIGKILL when the process is still there after a while; reaps it.
void stopProcess(pid_t pid);

}  // namespace ostrel::testing
