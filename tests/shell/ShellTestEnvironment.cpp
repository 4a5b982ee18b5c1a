#include "shell/ShellTestEnvironment.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "support/XvfbServer.h"

// Suppressions the sanitizer reads before the environment's own options,
// which leave this key alone.
extern "C" const char* __asan_default_options() { return "suppressions=" OSTREL_TEST_DATA_DIR "/asan.supp"; }

namespace ostrel::shell::test {

namespace {

struct Globals {
  std::unique_ptr<ostrel::test::XvfbServer> server;
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
    ostrel::test::XvfbOptions options;
    options.width = 1280;
    options.height = 800;
    g.server = std::make_unique<ostrel::test::XvfbServer>(options);
    if (!g.server->running()) ADD_FAILURE() << "Xvfb did not start: " << g.server->error();
    setenv("DISPLAY", g.server->display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // The list of unfinished recordings lives in the state folder: a private one,
    // so the tests neither see the user's recordings nor leave entries behind.
    setenv("XDG_STATE_HOME", temporaryFolder().toStdString().c_str(), 1);
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
