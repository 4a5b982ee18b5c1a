#pragma once

#include <cstdint>
#include <vector>

#include "recording/DiskSpaceGuard.h"
#include "recording/RecordingPorts.h"

namespace ostrel::recording {

// The recording state machine: idle, recording, paused. The state is held in
// the Control menu items of the view, so what the user sees is what the
// controller decides on.
class RecordingController {
 public:
  struct Ports {
    RecordingView& view;
    RecordTimer& timer;
    TrayBlinker& blinker;
    FrameCapture& capture;
    StreamSink& stream;
    SoundControl& sound;
    RecordingPackager& packager;
    DiskSpaceMonitor& diskSpace;
  };

  explicit RecordingController(Ports ports);

  // The handlers of the four Control menu items.
  void StartRecording();
  void StopRecording();
  void PauseRecording();
  void ResumeRecording();

  // What the two global hotkeys do.
  void ToggleStartStop();
  void TogglePauseResume();

  // The capture timer's tick: one frame record and its separator per tick.
  // About once a second of recording it also asks about free space, and
  // stops and packages the recording when room has run out.
  void OnRecordTick();

  // Stops and packages a running or paused recording so nothing is lost when
  // the program ends. Returns once the file is written.
  void FinishBeforeExit();

  bool isIdle() const;
  bool isPacking() const { return packing_; }

 private:
  void startTimer();
  // Stops and packages the recording when the disk is short, then says why.
  bool stopWhenDiskShort();

  Ports ports_;
  // True while the package step runs. Its final message box lets hotkeys run
  // nested; a start then would record into a stream the package step is about
  // to empty, so starts and stops are ignored until it returns.
  bool packing_ = false;
  std::vector<uint8_t> tickBytes_;  // reused: no allocation per tick once warm
  // The capture period: ticks times period is the recorded time, so the
  // controller needs no clock to space its free-space checks.
  int periodMs_ = 0;
  CheckInterval diskCheck_;
};

}  // namespace ostrel::recording
