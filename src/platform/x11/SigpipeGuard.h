#pragma once

#include <signal.h>

namespace ostrel::platform {

// libxcb writes to its socket without MSG_NOSIGNAL, so an X server that went
// away would kill the whole recorder with SIGPIPE. While a guard lives, the
// calling thread blocks SIGPIPE; a SIGPIPE raised meanwhile is consumed, and
// the connection's error state tells the caller what happened.
class SigpipeGuard {
 public:
  SigpipeGuard();
  ~SigpipeGuard();
  SigpipeGuard(const SigpipeGuard&) = delete;
  SigpipeGuard& operator=(const SigpipeGuard&) = delete;

 private:
  sigset_t previousMask_;
  bool wasPending_ = false;
};

}  // namespace ostrel::platform
