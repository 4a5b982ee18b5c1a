#pragma once

#include <cstdint>

namespace ostrel::recording {

// When the tray icon shows while recording: normal for the first step, then
// empty and normal in turn, one step per 500 ms; normal again as soon as it
// stops. There is only ever one schedule, so a stop followed at once by a new
// start simply starts over.
class BlinkSchedule {
 public:
  static constexpr int kStepMs = 500;

  // count > 0: stops by itself once more than count steps have passed;
  // count < 0: runs until stop(); count 0 is stop().
  void start(int32_t count);
  void stop();
  // One step has passed; returns whether the schedule still runs.
  bool advance();

  bool running() const { return running_; }
  bool iconShown() const { return !running_ || step_ % 2 == 0; }

 private:
  bool running_ = false;
  int32_t count_ = 0;
  int64_t step_ = 0;
};

}  // namespace ostrel::recording
