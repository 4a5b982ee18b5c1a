#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QTabWidget>

#include "shell/DesktopDiskSpace.h"
#include "shell/DesktopUnderTest.h"
#include "shell/MainWindow.h"
#include "shell/PackingWindow.h"
#include "shell/PreviewCanvas.h"
#include "shell/ShellTestEnvironment.h"

namespace ostrel::shell {
namespace {

using test::application;

QString u8(const char* text) { return QString::fromUtf8(text); }

struct Program : test::DesktopUnderTest {
  bool idleMenu() const {
    return menus.startRecording->isVisible() && !menus.stopRecording->isVisible() &&
           menus.pauseRecording->isVisible() && !menus.pauseRecording->isEnabled() &&
           !menus.resumeRecording->isVisible() && window.form().modeTabs->isEnabled();
  }
  bool recordingMenu() const {
    return !menus.startRecording->isVisible() && menus.stopRecording->isVisible() &&
           menus.pauseRecording->isVisible() && menus.pauseRecording->isEnabled() &&
           !window.form().modeTabs->isEnabled();
  }
  bool noPackingWindow() const {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (qobject_cast<PackingWindow*>(w)) return false;
    return true;
  }
};

TEST(RecordingCycle, StartPauseResumeStopThroughTheMenuWritesTheRecording) {
  Program p;
  ASSERT_TRUE(p.idleMenu());
  EXPECT_EQ(p.window.form().previewCanvas->width(), 1280) << "the preview is as large as the screen";

  p.menus.startRecording->trigger();
  EXPECT_TRUE(test::waitUntil([&] { return p.recordingMenu(); }));
  EXPECT_EQ(p.window.form().recordTimer->interval(), 125);
  EXPECT_TRUE(p.window.form().recordTimer->isActive());
  test::waitUntil([] { return false; }, 400);

  p.menus.pauseRecording->trigger();
  EXPECT_FALSE(p.window.form().recordTimer->isActive());
  EXPECT_TRUE(p.menus.resumeRecording->isVisible());
  EXPECT_FALSE(p.menus.pauseRecording->isVisible());
  p.menus.resumeRecording->trigger();
  EXPECT_TRUE(p.recordingMenu());
  test::waitUntil([] { return false; }, 400);

  test::MessageBoxWatcher watcher;
  p.menus.stopRecording->trigger();
  ASSERT_TRUE(test::waitUntil([&] { return !watcher.caption.isEmpty() && p.noPackingWindow(); }, 20000));

  EXPECT_EQ(watcher.caption, u8("生成完毕"));
  EXPECT_TRUE(watcher.text.startsWith(u8("生成Orec完毕,大小:")) &&
              watcher.text.endsWith(QStringLiteral("Kb")))
      << watcher.text.toStdString();
  EXPECT_TRUE(watcher.packingWindowWasOpen);
  EXPECT_TRUE(p.noPackingWindow());
  EXPECT_TRUE(QFileInfo(p.saved("录像1.ORec")).size() > 0);
  EXPECT_EQ(p.window.form().fileName->text(), u8("录像2"));
  EXPECT_TRUE(p.idleMenu());
  EXPECT_TRUE(QDir(p.folder + QStringLiteral("/TempFiles/"))
                  .entryList(QDir::NoDotAndDotDot | QDir::AllEntries)
                  .isEmpty())
      << "the gathered files are gone from the cache";
}

TEST(RecordingCycle, ExitWhilePausedPackagesTheRecordingFirst) {
  Program p;
  p.menus.startRecording->trigger();
  ASSERT_TRUE(test::waitUntil([&] { return p.recordingMenu(); }));
  test::waitUntil([] { return false; }, 300);
  p.menus.pauseRecording->trigger();

  test::MessageBoxWatcher watcher;
  p.menus.exit->trigger();
  EXPECT_EQ(watcher.caption, u8("生成完毕"));
  EXPECT_TRUE(QFileInfo::exists(p.saved("录像1.ORec")));
  EXPECT_FALSE(p.window.isVisible());
}

TEST(RecordingCycle, AShortDiskRefusesTheStartAndStopsARunningRecordingThatItSaves) {
  Program p;
  constexpr uint64_t MB = uint64_t{1} << 20;
  uint64_t freeBytes = 120 * MB;
  p.program.diskSpace().setProbe([&](const std::filesystem::path&) { return std::optional(freeBytes); });
  test::MessageBoxWatcher watcher;

  p.menus.startRecording->trigger();
  ASSERT_TRUE(test::waitUntil([&] { return watcher.captions.size() == 1; }));
  EXPECT_EQ(watcher.caption, u8("磁盘空间不足"));
  EXPECT_TRUE(watcher.text.startsWith(u8("无法开始录制：缓存文件夹"))) << watcher.text.toStdString();
  EXPECT_TRUE(p.idleMenu());

  freeBytes = 4096 * MB;
  p.menus.startRecording->trigger();
  ASSERT_TRUE(test::waitUntil([&] { return p.recordingMenu(); }));
  test::waitUntil([] { return false; }, 300);
  freeBytes = 150 * MB;
  ASSERT_TRUE(test::waitUntil([&] { return watcher.captions.size() == 3; }, 20000));
  // The recording is saved first; the reason follows the package result.
  EXPECT_EQ(watcher.captions, (QStringList{u8("磁盘空间不足"), u8("生成完毕"), u8("磁盘空间不足")}));
  EXPECT_TRUE(watcher.texts[2].startsWith(u8("录制已自动停止：缓存文件夹"))) << watcher.text.toStdString();
  EXPECT_TRUE(watcher.texts[2].contains(u8("只剩 150 MB 可用空间"))) << watcher.text.toStdString();
  EXPECT_TRUE(QFileInfo(p.saved("录像1.ORec")).size() > 0);
  EXPECT_TRUE(p.idleMenu());
  EXPECT_FALSE(p.window.form().recordTimer->isActive());
}

}  // namespace
}  // namespace ostrel::shell
