#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <memory>

#include "platform/x11/X11HotkeyGrabber.h"
#include "shell/DesktopUnderTest.h"
#include "shell/GlobalHotkeys.h"
#include "shell/MainWindow.h"
#include "shell/ShellTestEnvironment.h"
#include "shell/TrayIcon.h"

namespace ostrel::shell {
namespace {

using test::application;

constexpr int kCtrl = 1, kShift = 2, kAlt = 4;  // the key handler's state bits
constexpr int kVirtualR = 82, kVirtualP = 80, kVirtualT = 84;

QString u8(const char* text) { return QString::fromUtf8(text); }

struct Program : test::DesktopUnderTest {
  HotkeyPage& page = program.hotkeyPage();

  bool recording() const { return menus.stopRecording->isVisible() && menus.pauseRecording->isVisible(); }
  bool paused() const { return menus.stopRecording->isVisible() && menus.resumeRecording->isVisible(); }
  bool idle() const { return menus.startRecording->isVisible(); }
};

void sendKeys(const char* keys) {
  ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QString::fromLatin1(keys)}),
            0);
}

void settle(int ms) {
  test::waitUntil([] { return false; }, ms);
}

TEST(HotkeyPage, KeyBoxesTakeThePressedKeyAndItsModifiers) {
  Program p;
  MainWindowForm& form = p.window.form();
  EXPECT_FALSE(p.page.OnKeyCodeKeyDown(0, 16, kShift)) << "Shift alone is swallowed";
  EXPECT_TRUE(form.keyCode[0]->text().isEmpty());
  form.ctrl[0]->setChecked(true);
  EXPECT_TRUE(p.page.OnKeyCodeKeyDown(0, 65, kShift));
  EXPECT_EQ(form.keyCode[0]->text(), QStringLiteral("65"));
  EXPECT_TRUE(form.shift[0]->isChecked());
  EXPECT_FALSE(form.ctrl[0]->isChecked());
  EXPECT_FALSE(form.alt[0]->isChecked());
  EXPECT_TRUE(form.keyCode[1]->text().isEmpty()) << "the other group is untouched";

  // A real key press in the box, through the X server.
  p.window.showNormal();
  p.window.activateWindow();
  for (int i = 0; i < form.recordTabs->count(); ++i)
    if (form.recordTabs->widget(i)->isAncestorOf(form.keyCode[1])) form.recordTabs->setCurrentIndex(i);
  form.keyCode[1]->setFocus();
  ASSERT_TRUE(test::waitUntil([&] { return form.keyCode[1]->hasFocus(); }));
  sendKeys("ctrl+F9");
  EXPECT_TRUE(test::waitUntil([&] { return form.keyCode[1]->text() == QStringLiteral("120"); }))
      << form.keyCode[1]->text().toStdString();
  EXPECT_TRUE(form.ctrl[1]->isChecked());
  EXPECT_FALSE(form.shift[1]->isChecked());
}

TEST(GlobalHotkeys, DriveTheRecordingFromAnywhere) {
  Program p;
  test::MessageBoxWatcher answerer;
  p.page.OnKeyCodeKeyDown(0, kVirtualR, kCtrl | kAlt);
  p.page.OnKeyCodeKeyDown(1, kVirtualP, kCtrl | kAlt);
  EXPECT_EQ(p.page.applyHotkeys(), u8("设置成功！"));
  EXPECT_EQ(p.program.hotkeys().registry().hotkeyCount(), 2);
  p.window.hide();  // the hotkeys work with the window in the tray

  sendKeys("ctrl+alt+p");
  settle(300);
  EXPECT_TRUE(p.idle()) << "pause/resume while idle does nothing";

  sendKeys("ctrl+alt+r");
  ASSERT_TRUE(test::waitUntil([&] { return p.recording(); }));
  sendKeys("ctrl+alt+p");
  ASSERT_TRUE(test::waitUntil([&] { return p.paused(); }));
  sendKeys("Num_Lock");
  sendKeys("ctrl+alt+p");
  ASSERT_TRUE(test::waitUntil([&] { return p.recording(); })) << "with Num Lock on";
  sendKeys("Num_Lock");
  settle(300);
  sendKeys("ctrl+alt+r");
  EXPECT_TRUE(test::waitUntil([&] { return p.idle() && !answerer.text.isEmpty(); }, 20000));
  EXPECT_TRUE(answerer.text.startsWith(u8("生成Orec完毕"))) << answerer.text.toStdString();
}

TEST(GlobalHotkeys, SaysWhichHotkeyCouldNotBeSet) {
  Program p;
  auto other = platform::X11HotkeyGrabber::open();
  ASSERT_TRUE(other);
  ASSERT_TRUE(other->grab(1, 3, kVirtualT));  // Ctrl+Alt+T held by another program
  p.page.OnKeyCodeKeyDown(0, kVirtualT, kCtrl | kAlt);
  EXPECT_EQ(p.page.applyHotkeys(), u8("快捷键“开始/结束”无法设置，可能已被其他程序占用。"));

  p.page.OnKeyCodeKeyDown(0, kVirtualR, kShift);
  p.page.OnKeyCodeKeyDown(1, kVirtualR, kCtrl);
  EXPECT_EQ(p.page.applyHotkeys(), u8("两组快捷键使用同一个键，只有“开始/结束”有效。"));

  p.window.form().keyCode[0]->clear();
  p.window.form().keyCode[1]->clear();
  const int32_t before = p.program.hotkeys().registry().hotkeyCount();
  EXPECT_EQ(p.page.applyHotkeys(), u8("设置成功！")) << "empty boxes: no hotkeys, no error";
  EXPECT_EQ(p.program.hotkeys().registry().hotkeyCount(), before);
}

// A tray host for the test's display, stopped by its process id.
struct TrayHost {
  QProcess process;
  bool start() {
    application();  // the X server and the toolkit the host and the check need
    process.start(
        QStringLiteral("trayer"),
        {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"), QStringLiteral("right"),
         QStringLiteral("--widthtype"), QStringLiteral("pixel"), QStringLiteral("--width"),
         QStringLiteral("120"), QStringLiteral("--height"), QStringLiteral("32")});
    return process.waitForStarted() &&
           test::waitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 5000);
  }
  void stop() {
    process.terminate();
    if (!process.waitForFinished(3000)) process.kill();
    process.waitForFinished(3000);
  }
  ~TrayHost() {
    if (process.state() != QProcess::NotRunning) stop();
  }
};

bool iconEmbedded(TrayIcon& tray) {
  return tray.systemIcon().isVisible() && tray.systemIcon().geometry().isValid() &&
         !tray.systemIcon().geometry().isEmpty();
}

TEST(TrayIcon, BlinksWhileRecordingAndComesBackWithItsHost) {
  TrayHost host;
  ASSERT_TRUE(host.start());
  Program p;
  TrayIcon& tray = p.program.trayIcon();
  ASSERT_TRUE(test::waitUntil([&] { return iconEmbedded(tray); }));
  EXPECT_EQ(tray.systemIcon().toolTip(), u8("Ostrel屏幕录制V1.0"));
  EXPECT_EQ(tray.systemIcon().contextMenu(), p.menus.trayMenu);

  p.menus.startRecording->trigger();
  ASSERT_TRUE(test::waitUntil([&] { return p.recording(); }));
  EXPECT_TRUE(tray.iconShown()) << "normal for the first step";
  EXPECT_TRUE(test::waitUntil([&] { return !tray.iconShown(); }, 1000));
  EXPECT_TRUE(test::waitUntil([&] { return tray.iconShown(); }, 1000));

  // The host goes away and comes back while the icon blinks.
  host.stop();
  ASSERT_TRUE(host.start());
  EXPECT_TRUE(test::waitUntil([&] { return iconEmbedded(tray); }, 5000));

  p.menus.pauseRecording->trigger();
  EXPECT_TRUE(tray.iconShown());
  EXPECT_FALSE(tray.blinking());

  // The user double-clicks the icon to get the hidden window back.
  p.menus.minimizeToTray->trigger();
  ASSERT_FALSE(p.window.isVisible());
  // What the tray reports for a left double-click on the icon.
  emit tray.systemIcon().activated(QSystemTrayIcon::Trigger);
  settle(100);
  EXPECT_FALSE(p.window.isVisible()) << "a single click does nothing";
  emit tray.systemIcon().activated(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(test::waitUntil([&] { return p.window.isVisible(); }));

  test::MessageBoxWatcher answerer;
  p.menus.trayExit->trigger();
  EXPECT_FALSE(tray.systemIcon().isVisible()) << "removed at exit";
}

}  // namespace
}  // namespace ostrel::shell
