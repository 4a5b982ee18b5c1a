#include "platform/x11/SigpipeGuard.h"

#include <pthread.h>

#include <ctime>

namespace ostrel::platform {

namespace {

sigset_t sigpipeOnly() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  return set;
}

bool sigpipePending() {
  sigset_t pending;
  sigemptyset(&pending);
  sigpending(&pending);
  return sigismember(&pending, SIGPIPE) == 1;
}

}  // namespace

SigpipeGuard::SigpipeGuard() {
  const sigset_t set = sigpipeOnly();
  pthread_sigmask(SIG_BLOCK, &set, &previousMask_);
  // A SIGPIPE that was pending before belongs to someone else: leave it be.
  wasPending_ = sigpipePending();
}

SigpipeGuard::~SigpipeGuard() {
  if (!wasPending_ && sigpipePending()) {
    const sigset_t set = sigpipeOnly();
    const timespec noWait{0, 0};
    sigtimedwait(&set, nullptr, &noWait);
  }
  pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

}  // namespace ostrel::platform
