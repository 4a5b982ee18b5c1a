// The player window, its control window and the snapshot commands, driven
// through the main window as a user would.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "codec/StreamFormat.h"
#include "platform/text/GbkText.h"
#include "platform/zip/ZipWriter.h"
#include "playback/Player.h"
#include "shell/ControlWindow.h"
#include "shell/DesktopProgram.h"
#include "shell/MainWindow.h"
#include "shell/PlayerCanvas.h"
#include "shell/PlayerWindow.h"
#include "shell/ShellTestEnvironment.h"
#include "support/BmpFixture.h"

namespace ostrel::shell {
namespace {

namespace fs = std::filesystem;
using test::application;

QString u8(const char* text) { return QString::fromUtf8(text); }

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A bottom-up 32-bit bitmap of one colour, as region payloads carry it.
std::vector<uint8_t> solid(int width, int height, uint8_t red, uint8_t green, uint8_t blue) {
  ostrel::test::BmpLayout layout;
  layout.width = width;
  layout.height = height;
  std::vector<uint8_t> row;
  for (int x = 0; x < width; ++x) row.insert(row.end(), {blue, green, red, 0});
  layout.rows.assign(static_cast<std::size_t>(height), row);
  return ostrel::test::makeBmp(layout);
}

// Five records on a 1280 × 800 screen: blue top-left, nothing, green
// top-right, nothing, yellow in the middle of the bottom-right quarter.
fs::path makeRecording(const fs::path& folder, int period) {
  std::vector<uint8_t> stream;
  const auto endFrame = [&] {
    stream.insert(stream.end(), codec::FRAME_SEPARATOR.begin(), codec::FRAME_SEPARATOR.end());
  };
  codec::appendRegionRecord(stream, 0, 0, solid(640, 400, 0, 0, 255));
  endFrame();
  endFrame();
  codec::appendRegionRecord(stream, 640, 0, solid(640, 400, 0, 255, 0));
  endFrame();
  endFrame();
  codec::appendRegionRecord(stream, 640, 400, solid(320, 200, 255, 255, 0));
  endFrame();
  writeFile(folder / "data", std::string(stream.begin(), stream.end()));
  const std::string config = platform::utf8ToGbk("[视频设置]\r\n周期=" + std::to_string(period) +
                                                 "\r\n[自设信息]\r\nX=10\r\nY=20\r\n内容=ABC测试\r\n");
  writeFile(folder / "config", config);
  const platform::ZipMemberSource members[] = {{playback::kRecordingDataMember, folder / "data"},
                                               {playback::kSettingsMember, folder / "config"}};
  const fs::path archive = folder / "a.b.ORec";
  EXPECT_TRUE(platform::writeZipArchive(archive, members).ok);
  return archive;
}

struct Program {
  QString folder = test::temporaryFolder();
  DesktopProgram program{application()};
  MainWindowForm& form = program.mainWindow().form();

  Program() {
    program.start();
    form.cacheFolder->setText(folder + QStringLiteral("/TempFiles/"));
    form.saveFolder->setText(folder);
  }
  PlayerWindow* openPlayer(int period = 20) {
    form.playPath->setText(QString::fromStdString(makeRecording(folder.toStdString(), period).string()));
    form.startPlay->click();
    return program.playerWindow();
  }
};

bool near(QRgb pixel, QRgb want) {
  return std::abs(qRed(pixel) - qRed(want)) < 8 && std::abs(qGreen(pixel) - qGreen(want)) < 8 &&
         std::abs(qBlue(pixel) - qBlue(want)) < 8;
}

TEST(PlayerWindow, PlaysARecordingToItsEndAndStopThenPlayStartsItOver) {
  Program p;
  PlayerWindow* player = p.openPlayer();
  ASSERT_NE(player, nullptr);
  ControlWindow* control = player->controlWindow();
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->windowTitle(), u8("控制窗口"));
  EXPECT_NEAR(control->windowOpacity(), 220.0 / 255.0, 0.01);
  EXPECT_EQ(player->canvas()->objectName(), u8("画板1"));
  EXPECT_EQ(player->canvas()->size(), QSize(752, 472));
  EXPECT_EQ(player->player().state().isPlaying, 0);
  const QPoint screenCorner = QGuiApplication::primaryScreen()->geometry().bottomRight() + QPoint(1, 1);
  EXPECT_EQ(control->pos(), screenCorner - QPoint(400, 150));

  QStringList captions;
  QObject::connect(player, &QWidget::windowTitleChanged, [&](const QString& t) { captions << t; });
  const QString last = u8("播放窗口 当前帧:5 总帧数:5");
  const auto ended = [&] { return player->windowTitle() == last && player->player().state().isPlaying == 0; };

  control->playButton()->click();
  ASSERT_TRUE(test::waitUntil(ended));
  EXPECT_EQ(captions.first(), u8("播放窗口 当前帧:1 总帧数:5"));
  EXPECT_GE(control->pauseButton()->percent(), 100);

  // The 1280 × 800 frame stretched onto 752 × 472.
  const QImage canvas = player->canvas()->grab().toImage();
  ASSERT_EQ(canvas.size(), QSize(752, 472));
  EXPECT_TRUE(near(canvas.pixel(150, 150), qRgb(0, 0, 255)));
  EXPECT_TRUE(near(canvas.pixel(600, 150), qRgb(0, 255, 0)));
  EXPECT_TRUE(near(canvas.pixel(470, 300), qRgb(255, 255, 0)));
  EXPECT_TRUE(near(canvas.pixel(150, 400), qRgb(0, 0, 0)));
  EXPECT_TRUE(near(canvas.pixel(700, 400), qRgb(0, 0, 0)));
  // The overlay: red text at (10, 20), unscaled, over the blue.
  int red = 0;
  for (int y = 20; y < 50; ++y)
    for (int x = 10; x < 110; ++x) red += near(canvas.pixel(x, y), qRgb(255, 0, 0)) ? 1 : 0;
  EXPECT_GT(red, 20);
  EXPECT_TRUE(near(canvas.pixel(5, 10), qRgb(0, 0, 255)));
  // The bar along the pause button's bottom is all green.
  const QImage pause = control->pauseButton()->grab().toImage();
  EXPECT_TRUE(near(pause.pixel(4, 32), qRgb(0, 255, 0)));
  EXPECT_TRUE(near(pause.pixel(123, 33), qRgb(0, 255, 0)));

  // 停止 then 播放 loads the file again and counts from 1.
  control->stopButton()->click();
  EXPECT_EQ(player->player().state().currentFrame, 0);
  captions.clear();
  control->playButton()->click();
  EXPECT_EQ(player->player().state().totalFrames, 5);
  ASSERT_TRUE(test::waitUntil(ended));
  EXPECT_EQ(captions.first(), u8("播放窗口 当前帧:1 总帧数:5"));
  EXPECT_EQ(captions.size(), 5);
  EXPECT_FALSE(fs::exists(fs::path(p.folder.toStdString()) / "TempFiles" / "Play" / "a.bTemp"));

  // A second press on the same file keeps the one player.
  p.form.startPlay->click();
  EXPECT_EQ(p.program.playerWindow(), player);
}

TEST(PlayerWindow, WithoutItsControlWindowPlaysOnAndClosesAtTheEnd) {
  Program p;
  QPointer<PlayerWindow> player = p.openPlayer(30);
  ASSERT_TRUE(player);
  player->controlWindow()->playButton()->click();
  player->controlWindow()->close();
  ASSERT_TRUE(test::waitUntil([&] { return player.isNull(); }));
  EXPECT_EQ(p.program.playerWindow(), nullptr);
}

TEST(PlayerWindow, AnEmptyPathSaysSoAndOpensNothing) {
  Program p;
  p.form.playPath->clear();
  QString said;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      said = box->text();
      box->accept();
    }
  });
  answer.start(50);
  p.form.startPlay->click();
  EXPECT_FALSE(said.isEmpty());
  EXPECT_EQ(p.program.playerWindow(), nullptr);
}

uint32_t le32(const QByteArray& b, int at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + i]);
  return v;
}

TEST(Snapshot, SaveFrameWritesA24BitBmpOfTheScreenAndCopyFillsTheClipboard) {
  Program p;
  const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
  const QString chosen = p.folder + QStringLiteral("/shot");
  QString title;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      title = dialog->windowTitle();
      dialog->selectFile(chosen);
      static_cast<QDialog*>(dialog)->accept();  // as the dialog's own button does
    }
  });
  answer.start(50);
  p.form.menus.saveFrame->trigger();
  answer.stop();
  EXPECT_EQ(title, u8("保存到"));

  QFile file(chosen + QStringLiteral(".Bmp"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bmp = file.readAll();
  const int row = ((24 * screen.width() + 31) / 32) * 4;
  ASSERT_EQ(bmp.size(), 54 + row * screen.height());
  EXPECT_EQ(bmp.left(2), QByteArray("BM"));
  EXPECT_EQ(le32(bmp, 18), static_cast<uint32_t>(screen.width()));
  EXPECT_EQ(le32(bmp, 22), static_cast<uint32_t>(screen.height()));
  EXPECT_EQ(le32(bmp, 28) & 0xFFFF, 24u);

  QGuiApplication::clipboard()->clear();
  p.form.menus.copyFrame->trigger();
  EXPECT_TRUE(QGuiApplication::clipboard()->ownsClipboard());
  EXPECT_EQ(QGuiApplication::clipboard()->image().size(), screen);
}

}  // namespace
}  // namespace ostrel::shell
