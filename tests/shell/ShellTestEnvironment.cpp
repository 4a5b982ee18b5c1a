#include "shell/ShellTestEnvironment.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

namespace ostrel::shell::test {

namespace {

// A private Xvfb that picks its own display number.
class PrivateXServer {
 public:
  PrivateXServer() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlives a crashed test
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24", "-noreset", "-nolisten",
             "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  ~PrivateXServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

struct Globals {
  std::unique_ptr<PrivateXServer> server;
  std::unique_ptr<QApplication> app;
  std::vector<std::unique_ptr<QTemporaryDir>> folders;
  int argc = 1;
  char arg0[16] = "ostrel_tests";
  char* argv[2] = {arg0, nullptr};
};

Globals& globals() {
  static Globals g;
  return g;
}

class ShellEnvironment : public ::testing::Environment {
 public:
  void TearDown() override {
    Globals& g = globals();
    g.folders.clear();
    g.app.reset();
    g.server.reset();
  }
};

[[maybe_unused]] const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ShellEnvironment);

}  // namespace

QApplication& application() {
  Globals& g = globals();
  if (!g.app) {
    g.server = std::make_unique<PrivateXServer>();
    if (g.server->display().empty()) ADD_FAILURE() << "Xvfb did not start";
    setenv("DISPLAY", g.server->display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    g.app = std::make_unique<QApplication>(g.argc, g.argv);
    QApplication::setQuitOnLastWindowClosed(false);
  }
  return *g.app;
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    usleep(5000);
  }
  return true;
}

QString temporaryFolder() {
  auto folder = std::make_unique<QTemporaryDir>();
  const QString path = folder->path();
  globals().folders.push_back(std::move(folder));
  return path;
}

}  // namespace ostrel::shell::test
