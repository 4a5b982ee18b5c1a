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

// Connects the main window's Control menu and capture timer to the
// recording controller.
class RecordingSession : public QObject {
  Q_OBJECT

 public:
  RecordingSession(MainWindow& window, recording::FrameCapture& capture, recording::StreamSink& stream,
                   recording::SoundControl& sound, recording::RecordingPackager& packager,
                   recording::TrayBlinker& blinker, recording::DiskSpaceMonitor& diskSpace);

  recording::RecordingController& controller() { return controller_; }

 private:
  QtRecordTimer timer_;
  recording::RecordingController controller_;
};

}  // namespace ostrel::shell
