#include <gtest/gtest.h>

#include <QByteArray>
#include <QLabel>
#include <QProgressBar>
#include <cstring>
#include <vector>

#include "shell/CommonDialogs.h"
#include "shell/FileDialogFilter.h"
#include "shell/PackingWindow.h"
#include "shell/ScreenPicture.h"
#include "shell/ShellTestEnvironment.h"

namespace ostrel::shell {
namespace {

QString u8(const char* text) { return QString::fromUtf8(text); }

TEST(FileDialogFilter, TurnsThePipeListIntoNameFilters) {
  struct Case {
    const char* text;
    std::vector<const char*> filters;
  };
  const std::vector<Case> cases = {
      {"所有文件(*.*)|*.*", {"所有文件(*.*)"}},
      {"Ostrel播放文件(*.ORec)|*.ORec|所有文件(*.*)|*.*", {"Ostrel播放文件(*.ORec)", "所有文件(*.*)"}},
      {"位图 文件(*.Bmp)|*.Bmp|所有\u3000文件(*.*)|*.*", {"位图文件(*.Bmp)", "所有文件(*.*)"}},
      {"Pictures|*.png;*.jpg", {"Pictures (*.png *.jpg)"}},
      {"dangling description", {}},
      {"", {}},
  };
  for (const Case& c : cases) {
    QStringList want;
    for (const char* f : c.filters) want << u8(f);
    EXPECT_EQ(nameFiltersFromText(u8(c.text)), want) << c.text;
  }
  EXPECT_EQ(filterNumberForIndex(-1), 1);
  EXPECT_EQ(filterNumberForIndex(0), 1);
  EXPECT_EQ(filterNumberForIndex(1), 2);
  EXPECT_EQ(withoutTrailingSlash(QStringLiteral("/home/u/Videos/")), QStringLiteral("/home/u/Videos"));
  EXPECT_EQ(withoutTrailingSlash(QStringLiteral("/")), QStringLiteral("/"));
}

uint32_t le(const QByteArray& b, int at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + i]);
  return v;
}

TEST(ScreenPicture, IsABottomUp24BitBmpWithPaddedRows) {
  // 3 × 2 BGRX pixels: rows of 9 bytes pad to 12.
  const std::vector<uint8_t> pixels = {1,  2,  3,  0, 4,  5,  6,  0, 7,  8,  9,  0,  // top row
                                       10, 11, 12, 0, 13, 14, 15, 0, 16, 17, 18, 0};
  const QByteArray bmp = makeBmp24(pixels.data(), 3, 2, 12);
  ASSERT_EQ(bmp.size(), 54 + 24);
  EXPECT_EQ(bmp.left(2), QByteArray("BM"));
  EXPECT_EQ(le(bmp, 2, 4), 78u);   // file size
  EXPECT_EQ(le(bmp, 6, 4), 0u);    // reserved
  EXPECT_EQ(le(bmp, 10, 4), 54u);  // pixel offset
  EXPECT_EQ(le(bmp, 14, 4), 40u);
  EXPECT_EQ(le(bmp, 18, 4), 3u);
  EXPECT_EQ(le(bmp, 22, 4), 2u);  // positive height: bottom-up
  EXPECT_EQ(le(bmp, 26, 2), 1u);
  EXPECT_EQ(le(bmp, 28, 2), 24u);
  EXPECT_EQ(le(bmp, 30, 4), 0u);
  EXPECT_EQ(le(bmp, 34, 4), 24u);  // image size
  for (int i = 38; i < 54; ++i) EXPECT_EQ(bmp[i], 0) << "byte " << i;
  const QByteArray rows = bmp.mid(54);
  const QByteArray want(
      "\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\0\0\0\x01\x02\x03\x04\x05\x06\x07\x08\x09\0\0\0", 24);
  EXPECT_EQ(rows, want);
  EXPECT_TRUE(makeBmp24(pixels.data(), 0, 2, 12).isEmpty());
}

TEST(ScreenPicture, CapturesThePrimaryScreen) {
  test::application();
  const QByteArray bmp = CaptureScreenPicture();
  ASSERT_GE(bmp.size(), 54);
  EXPECT_EQ(le(bmp, 18, 4), 1280u);
  EXPECT_EQ(le(bmp, 22, 4), 800u);
  EXPECT_EQ(static_cast<qsizetype>(le(bmp, 2, 4)), bmp.size());
  EXPECT_EQ(bmp.size(), 54 + 3840 * 800);
}

TEST(PackingWindow, HasItsFormAndRefusesToClose) {
  test::application();
  QWidget owner;
  PackingWindow packing(&owner);
  packing.show();
  ASSERT_TRUE(test::waitUntil([&] { return packing.isVisible(); }));
  EXPECT_EQ(packing.windowTitle(), u8("正在生成录制文件,请稍后..."));
  EXPECT_EQ(packing.size(), QSize(392, 102));
  auto* bar = packing.findChild<QProgressBar*>(u8("进度条"));
  auto* hint = packing.findChild<QLabel*>(u8("标签_提示"));
  ASSERT_TRUE(bar && hint);
  EXPECT_EQ(bar->geometry(), QRect(16, 11, 360, 24));
  EXPECT_EQ(hint->geometry(), QRect(16, 48, 296, 16));
  EXPECT_EQ(hint->text(), u8("准备生成..."));
  EXPECT_FALSE(packing.windowFlags() & Qt::WindowCloseButtonHint);
  packing.setProgress(70);
  EXPECT_EQ(bar->value(), 70);
  EXPECT_FALSE(packing.close());
  EXPECT_TRUE(packing.isVisible());
}

}  // namespace
}  // namespace ostrel::shell
