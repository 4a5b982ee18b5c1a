#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "recording/HotkeyRegistry.h"

class QSocketNotifier;

namespace ostrel::platform {
class X11HotkeyGrabber;
}

namespace ostrel::shell {

class MainWindow;

// System-wide hotkeys for the desktop program: the registration list over the
// X server's key grabs, and the delivery of pressed hotkeys to their routines
// on the interface thread. Without an X server every registration is refused.
class GlobalHotkeys : public QObject, private recording::KeyGrabber {
  Q_OBJECT

 public:
  GlobalHotkeys();
  ~GlobalHotkeys() override;

  int32_t RegisterGlobalHotkey(int32_t modifiers, int32_t keyCode, recording::HotkeyRoutine routine);
  const recording::HotkeyRegistry& registry() const { return registry_; }

 private:
  bool grab(int32_t identifier, int32_t modifiers, int32_t keyCode) override;
  void release(int32_t identifier) override;
  void deliverPressed();

  std::unique_ptr<platform::X11HotkeyGrabber> grabber_;
  std::unique_ptr<QSocketNotifier> notifier_;
  recording::HotkeyRegistry registry_{*this};
};

// The 快捷键 page: the key-code boxes take the pressed key, "设置" registers
// both groups (the second first) and says what came of it.
class HotkeyPage : public QObject {
  Q_OBJECT

 public:
  HotkeyPage(MainWindow& window, GlobalHotkeys& hotkeys, recording::HotkeyRoutine startStop,
             recording::HotkeyRoutine pauseResume);

  // The key-pressed handler of a group's key-code box. `state`: 1 Ctrl, 2 Shift,
  // 4 Alt. False when the key is swallowed (Shift, Ctrl or Alt alone).
  bool OnKeyCodeKeyDown(int group, int32_t keyCode, int state);

  // Registers both groups; returns the text shown to the user.
  QString applyHotkeys();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int32_t registerGroup(int group);

  MainWindow& window_;
  GlobalHotkeys& hotkeys_;
  recording::HotkeyRoutine routines_[2];
};

}  // namespace ostrel::shell
