#pragma once

#include <signal.h>

namespace ostrel::platform {

// A write to the socket of an X server that has just gone away raises
// SIGPIPE, which would end the whole recorder. While a guard lives, the
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
