#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace ostrel::test {

struct XvfbOptions {
  int width = 640;
  int height = 480;
  int depth = 24;
  bool sharedMemory = true;  // false starts the server without MIT-SHM
  std::chrono::milliseconds startTimeout{10000};
};

// A private Xvfb for one test: started on a display number the server picks
// itself (so parallel tests never collide), stopped by its process id when the
// object goes away. It also dies with the test process if that crashes
// (strictly: with the thread that started it, so start it from one that lives).
class XvfbServer {
 public:
  explicit XvfbServer(const XvfbOptions& options = {});
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // True once the server accepts connections; otherwise error() says why.
  bool running() const { return pid_ > 0 && !display_.empty(); }
  const std::string& display() const { return display_; }  // ":N"
  const std::string& error() const { return error_; }
  pid_t pid() const { return pid_; }

  // Ends the server now (SIGTERM, then SIGKILL after a grace period) and reaps it.
  void stop();

 private:
  bool start(const XvfbOptions& options);

  pid_t pid_ = -1;
  std::string display_;
  std::string error_;
};

}  // namespace ostrel::test
