#include "recording/BlinkSchedule.h"

namespace ostrel::recording {

void BlinkSchedule::start(int32_t count) {
  if (count == 0) {
    stop();
    return;
  }
  running_ = true;
  count_ = count;
  step_ = 0;
}

void BlinkSchedule::stop() {
  running_ = false;
  step_ = 0;
}

bool BlinkSchedule::advance() {
  if (!running_) return false;
  ++step_;
  if (count_ > 0 && step_ > count_) stop();
  return running_;
}

}  // namespace ostrel::recording
