#include "shell/RecordingSession.h"

#include <QAction>

#include "shell/MainWindow.h"

namespace ostrel::shell {

void QtRecordTimer::setPeriod(int milliseconds) {
  if (milliseconds <= 0) {
    timer_.stop();
    return;
  }
  timer_.start(milliseconds);
}

RecordingSession::RecordingSession(MainWindow& window, recording::FrameCapture& capture,
                                   recording::StreamSink& stream, recording::SoundControl& sound,
                                   recording::RecordingPackager& packager, recording::TrayBlinker& blinker,
                                   recording::DiskSpaceMonitor& diskSpace)
    : timer_(*window.form().recordTimer),
      controller_({window, timer_, blinker, capture, stream, sound, packager, diskSpace}) {
  const MainMenus& menus = window.form().menus;
  auto& c = controller_;
  // Start and stop run once the menu has closed and the window has repainted:
  // the package step's windows and message box must not open over a menu
  // that is still going away.
  connect(
      menus.startRecording, &QAction::triggered, this, [&c] { c.StartRecording(); }, Qt::QueuedConnection);
  connect(
      menus.stopRecording, &QAction::triggered, this, [&c] { c.StopRecording(); }, Qt::QueuedConnection);
  connect(menus.pauseRecording, &QAction::triggered, this, [&c] { c.PauseRecording(); });
  connect(menus.resumeRecording, &QAction::triggered, this, [&c] { c.ResumeRecording(); });
  connect(window.form().recordTimer, &QTimer::timeout, this, [&c] { c.OnRecordTick(); });
}

}  // namespace ostrel::shell
