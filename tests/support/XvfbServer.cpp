#include "support/XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

namespace ostrel::test {

namespace {

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() { reset(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

// Reads what Xvfb writes to its -displayfd: the display number and a newline,
// once it listens. EOF means it died first.
bool readDisplayNumber(int fd, std::chrono::milliseconds timeout, std::string& number, std::string& error) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      error = "Xvfb did not report a display within " + std::to_string(timeout.count()) + " ms";
      return false;
    }
    pollfd waiting{fd, POLLIN, 0};
    const int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) {
      error = std::string("poll: ") + std::strerror(errno);
      return false;
    }
    if (ready == 0) continue;
    char buffer[32];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      error = "Xvfb exited before it was ready (is it installed?)";
      return false;
    }
    for (ssize_t i = 0; i < got; ++i) {
      if (buffer[i] == '\n') return !number.empty();
      if (buffer[i] < '0' || buffer[i] > '9' || number.size() > 8) {
        error = "Xvfb reported a malformed display number";
        return false;
      }
      number += buffer[i];
    }
  }
}

}  // namespace

XvfbServer::XvfbServer(const XvfbOptions& options) {
  if (!start(options)) stop();
}

XvfbServer::~XvfbServer() { stop(); }

bool XvfbServer::start(const XvfbOptions& options) {
  int pipeEnds[2];
  if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
    error_ = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  FileDescriptor readEnd(pipeEnds[0]);
  FileDescriptor writeEnd(pipeEnds[1]);
  FileDescriptor devNull(::open("/dev/null", O_WRONLY | O_CLOEXEC));

  // Everything the child needs is built before fork: after it, only
  // async-signal-safe calls are allowed.
  std::vector<std::string> args = {"Xvfb",
                                   "-displayfd",
                                   std::to_string(writeEnd.get()),
                                   "-screen",
                                   "0",
                                   std::to_string(options.width) + "x" + std::to_string(options.height) +
                                       "x" + std::to_string(options.depth),
                                   "-noreset",
                                   "-nolisten",
                                   "tcp",
                                   options.sharedMemory ? "+extension" : "-extension",
                                   "MIT-SHM"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t parent = ::getpid();

  const pid_t child = ::fork();
  if (child < 0) {
    error_ = std::string("fork: ") + std::strerror(errno);
    return false;
  }
  if (child == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    ::fcntl(writeEnd.get(), F_SETFD, 0);
    if (devNull.get() >= 0) {
      ::dup2(devNull.get(), STDOUT_FILENO);
      ::dup2(devNull.get(), STDERR_FILENO);
    }
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  pid_ = child;
  writeEnd.reset();  // so EOF arrives when the server dies

  std::string number;
  if (!readDisplayNumber(readEnd.get(), options.startTimeout, number, error_)) return false;
  display_ = ":" + number;
  return true;
}

void XvfbServer::stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    const pid_t done = ::waitpid(pid_, nullptr, WNOHANG);
    if (done == pid_ || (done < 0 && errno != EINTR)) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid_, SIGKILL);
      while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  pid_ = -1;
  display_.clear();
}

}  // namespace ostrel::test
