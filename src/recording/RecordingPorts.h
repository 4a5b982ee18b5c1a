#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ostrel::recording {

// The four items of the Control menu. Their visibility and enabled state is the
// recording state; the controller keeps none of its own.
enum class ControlItem { Start, Stop, Pause, Resume };

// What the main window answers and shows for the controller. Settings are read
// at the moment an operation runs, never cached.
class RecordingView {
 public:
  virtual ~RecordingView() = default;

  virtual bool isItemVisible(ControlItem item) const = 0;
  virtual void setItemVisible(ControlItem item, bool visible) = 0;
  virtual void setItemEnabled(ControlItem item, bool enabled) = 0;
  virtual void setModeTabsEnabled(bool enabled) = 0;

  virtual std::string frameRateText() const = 0;
  // 1 JPEG, 2 PNG, 3 bitmap, 0 when no compression button is checked.
  virtual int compressionKind() const = 0;
  virtual bool layeredCaptureChecked() const = 0;
  virtual bool recordSoundChecked() const = 0;

  // Tells the user why the recorder did not do what was asked, or stopped by
  // itself; returns when the user has seen it.
  virtual void reportProblem(std::string_view caption, std::string_view text) = 0;
};

// The capture timer: a periodic tick on the interface thread; period 0 stops it.
class RecordTimer {
 public:
  virtual ~RecordTimer() = default;
  virtual void setPeriod(int milliseconds) = 0;
};

// Blinks the tray icon while recording: a non-zero count starts blinking
// (negative: until asked to stop), 0 asks it to stop.
class TrayBlinker {
 public:
  virtual ~TrayBlinker() = default;
  virtual void SetTrayBlinking(int32_t count) = 0;
};

// What a recording start hands to the frame capture engine.
struct CaptureSettings {
  int bitsPerPixel = 32;
  int lineStep = 15;
  bool layeredCapture = false;
  int jpegQuality = 90;
  int compressionKind = 2;
};

// The thing that captures frames. Closing is the package step's business.
class FrameCapture {
 public:
  virtual ~FrameCapture() = default;
  virtual bool Init(const CaptureSettings& settings) = 0;
  // One frame record, possibly empty; valid until the next call.
  virtual std::span<const uint8_t> CaptureFrame() = 0;
};

// Where the frame records of the current recording go.
class StreamSink {
 public:
  virtual ~StreamSink() = default;
  virtual void append(std::span<const uint8_t> bytes) = 0;
};

// The sound-recording control; the form never enables sound, but the calls are made.
class SoundControl {
 public:
  virtual ~SoundControl() = default;
  virtual bool Start() = 0;
  virtual bool Pause() = 0;
  virtual bool Resume() = 0;
};

// The thing that packages a stopped recording into a recording file. Returns
// once the file is written and the user has seen the result.
class RecordingPackager {
 public:
  virtual ~RecordingPackager() = default;
  virtual void PackageRecording() = 0;
};

// Watches the free space of the folders the recording writes into.
class DiskSpaceMonitor {
 public:
  virtual ~DiskSpaceMonitor() = default;
  // Why the recording cannot go on for lack of room (which folder, how much
  // is free), for the user; nothing while there is room.
  virtual std::optional<std::string> shortage() = 0;
};

}  // namespace ostrel::recording
