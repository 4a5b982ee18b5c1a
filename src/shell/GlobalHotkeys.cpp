#include "shell/GlobalHotkeys.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>

#include "platform/x11/VirtualKeys.h"
#include "platform/x11/X11HotkeyGrabber.h"
#include "shell/MainWindow.h"

namespace ostrel::shell {

namespace {

constexpr int kStateCtrl = 1;
constexpr int kStateShift = 2;
constexpr int kStateAlt = 4;
const char* const kGroupTitles[2] = {"开始/结束", "暂停/继续"};

}  // namespace

GlobalHotkeys::GlobalHotkeys() {
  if (QGuiApplication::platformName() != QStringLiteral("xcb")) return;
  grabber_ = platform::X11HotkeyGrabber::open();
  if (!grabber_) return;
  notifier_ = std::make_unique<QSocketNotifier>(grabber_->fileDescriptor(), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &GlobalHotkeys::deliverPressed);
}

GlobalHotkeys::~GlobalHotkeys() = default;

int32_t GlobalHotkeys::RegisterGlobalHotkey(int32_t modifiers, int32_t keyCode,
                                            recording::HotkeyRoutine routine) {
  const int32_t identifier = registry_.RegisterGlobalHotkey(modifiers, keyCode, std::move(routine));
  // Waiting for the grab's answer may have queued events without waking the notifier.
  if (grabber_) QTimer::singleShot(0, this, &GlobalHotkeys::deliverPressed);
  return identifier;
}

bool GlobalHotkeys::grab(int32_t identifier, int32_t modifiers, int32_t keyCode) {
  return grabber_ && grabber_->grab(identifier, modifiers, keyCode);
}

void GlobalHotkeys::release(int32_t identifier) {
  if (grabber_) grabber_->release(identifier);
}

void GlobalHotkeys::deliverPressed() {
  if (!grabber_) return;
  for (int32_t identifier : grabber_->takePressed()) registry_.Deliver(identifier);
  // A lost server would keep the socket readable for ever.
  if (grabber_ && grabber_->broken() && notifier_) notifier_->setEnabled(false);
}

HotkeyPage::HotkeyPage(MainWindow& window, GlobalHotkeys& hotkeys, recording::HotkeyRoutine startStop,
                       recording::HotkeyRoutine pauseResume)
    : window_(window), hotkeys_(hotkeys), routines_{std::move(startStop), std::move(pauseResume)} {
  MainWindowForm& form = window.form();
  for (QLineEdit* box : form.keyCode) box->installEventFilter(this);
  connect(form.setHotkeys, &QPushButton::clicked, this, [this] {
    const QString text = applyHotkeys();
    if (text == QStringLiteral("设置成功！"))
      QMessageBox::information(&window_, QStringLiteral("信息："), text);
    else
      QMessageBox::warning(&window_, QStringLiteral("信息："), text);
  });
}

bool HotkeyPage::OnKeyCodeKeyDown(int group, int32_t keyCode, int state) {
  if (keyCode == 16 || keyCode == 17 || keyCode == 18) return false;
  MainWindowForm& form = window_.form();
  form.shift[group]->setChecked(state & kStateShift);
  form.alt[group]->setChecked(state & kStateAlt);
  form.ctrl[group]->setChecked(state & kStateCtrl);
  form.keyCode[group]->setText(QString::number(keyCode));
  return true;
}

bool HotkeyPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  MainWindowForm& form = window_.form();
  const int group = watched == form.keyCode[0] ? 0 : watched == form.keyCode[1] ? 1 : -1;
  if (group < 0) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  const int32_t keyCode = platform::KeysymToVirtualKey(key->nativeVirtualKey());
  if (keyCode == 0) return true;  // a key with no virtual-key number: nothing to show
  const Qt::KeyboardModifiers held = key->modifiers();
  const int state = (held & Qt::ControlModifier ? kStateCtrl : 0) |
                    (held & Qt::ShiftModifier ? kStateShift : 0) | (held & Qt::AltModifier ? kStateAlt : 0);
  // The box is read-only: passing the key on changes nothing but keeps Tab working.
  return !OnKeyCodeKeyDown(group, keyCode, state);
}

int32_t HotkeyPage::registerGroup(int group) {
  MainWindowForm& form = window_.form();
  const int32_t modifiers = (form.shift[group]->isChecked() ? recording::kHotkeyShift : 0) +
                            (form.ctrl[group]->isChecked() ? recording::kHotkeyCtrl : 0) +
                            (form.alt[group]->isChecked() ? recording::kHotkeyAlt : 0);
  const int32_t key = form.keyCode[group]->text().toInt();
  return hotkeys_.RegisterGlobalHotkey(modifiers, key, routines_[group]);
}

QString HotkeyPage::applyHotkeys() {
  MainWindowForm& form = window_.form();
  const bool wanted[2] = {form.keyCode[0]->text().toInt() > 0, form.keyCode[1]->text().toInt() > 0};
  const int32_t second = registerGroup(1);
  const int32_t first = registerGroup(0);
  QStringList problems;
  if (wanted[0] && first == 0)
    problems << QStringLiteral("快捷键“%1”无法设置，可能已被其他程序占用。")
                    .arg(QString::fromUtf8(kGroupTitles[0]));
  if (wanted[1] && wanted[0] && form.keyCode[0]->text().toInt() == form.keyCode[1]->text().toInt())
    problems
        << QStringLiteral("两组快捷键使用同一个键，只有“%1”有效。").arg(QString::fromUtf8(kGroupTitles[0]));
  else if (wanted[1] && second == 0)
    problems << QStringLiteral("快捷键“%1”无法设置，可能已被其他程序占用。")
                    .arg(QString::fromUtf8(kGroupTitles[1]));
  return problems.isEmpty() ? QStringLiteral("设置成功！") : problems.join(QLatin1Char('\n'));
}

}  // namespace ostrel::shell
