#pragma once

#include <QObject>
#include <QTimer>

#include "recording/RecordingController.h"

namespace ostrel::shell {

class MainWindow;

// The capture timer 时钟_录制 as the controller sees it.
class QtRecordTimer : public recording::RecordTimer {
 public:
  explicit QtRecordTimer(QTimer& timer) : timer_(timer) { timer_.setTimerType(Qt::PreciseTimer); }
  void setPeriod(int milliseconds) override;
  int period() const { return timer_.isActive() ? timer_.interval() : 0; }

 private:
  QTimer& timer_;
};

// The tray does not blink yet: the tray icon arrives later.
class QuietTrayBlinker : public recording::TrayBlinker {
 public:
  void SetTrayBlinking(int32_t) override {}
};

// The sound recorder 录音. The form never enables recording sound, so the
// calls succeed without doing anything until sound input is added.
class SilentSoundRecorder : public recording::SoundControl {
 public:
  bool Start() override { return true; }
  bool Pause() override { return true; }
  bool Resume() override { return true; }
  // Mono, 8000 samples per second, 16 bits: the format set at start-up.
  void setFormat(int channels, int samplesPerSecond, int bitsPerSample);
  int channels() const { return channels_; }

 private:
  int channels_ = 1;
  int samplesPerSecond_ = 8000;
  int bitsPerSample_ = 16;
};

// Connects the main window's Control menu and capture timer to the
// recording controller.
class RecordingSession : public QObject {
  Q_OBJECT

 public:
  RecordingSession(MainWindow& window, recording::FrameCapture& capture, recording::StreamSink& stream,
                   recording::RecordingPackager& packager);

  recording::RecordingController& controller() { return controller_; }
  SilentSoundRecorder& soundRecorder() { return sound_; }

 private:
  QtRecordTimer timer_;
  QuietTrayBlinker blinker_;
  SilentSoundRecorder sound_;
  recording::RecordingController controller_;
};

}  // namespace ostrel::shell
