#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>

#include "recording/BlinkSchedule.h"
#include "recording/RecordingPorts.h"

namespace ostrel::shell {

class MainWindow;

// The program's icon in the notification area: double-click brings the main
// window back, the right button opens the tray menu, and it blinks while
// recording. One timer on the interface thread drives the blinking, so there is
// never a second blinker. Qt puts the icon back when the tray host restarts.
class TrayIcon : public QObject, public recording::TrayBlinker {
  Q_OBJECT

 public:
  static constexpr const char* kTip = "Ostrel屏幕录制V1.0";

  explicit TrayIcon(MainWindow& window);
  ~TrayIcon() override;

  void show();
  void SetTrayBlinking(int32_t count) override;

  bool blinking() const { return schedule_.running(); }
  bool iconShown() const { return schedule_.iconShown(); }
  QSystemTrayIcon& systemIcon() { return icon_; }

 private:
  void onActivated(QSystemTrayIcon::ActivationReason reason);
  void step();
  void applyIcon();

  MainWindow& window_;
  QIcon normal_;
  QIcon empty_;
  QSystemTrayIcon icon_;
  QTimer timer_;
  recording::BlinkSchedule schedule_;
};

// The program's icon: a red recording dot on a dark square.
QIcon ProgramIcon();

}  // namespace ostrel::shell
