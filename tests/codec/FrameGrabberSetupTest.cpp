#include <gtest/gtest.h>

#include "codec/CursorOverlay.h"
#include "codec/FrameGrabber.h"
#include "platform/fake/FakeScreen.h"

namespace ostrel::codec {
namespace {

TEST(FrameGrabberInit, InvalidSettingsFallBack) {
  struct Case {
    int depth, step;
    std::optional<int> quality;
    int kind;
    int wantDepth, wantStep, wantQuality;
    CompressionKind wantKind;
  };
  const Case cases[] = {
      {32, 15, 90, 1, 32, 15, 90, CompressionKind::Jpeg},
      {12, 0, -1, 0, 8, 17, 30, CompressionKind::Png},
      {3, 31, 101, 4, 8, 17, 30, CompressionKind::Png},
      {24, 1, std::nullopt, 3, 24, 1, 30, CompressionKind::Bmp},
      {1, 30, 0, 2, 1, 30, 0, CompressionKind::Png},
      {16, 17, 100, -1, 16, 17, 100, CompressionKind::Png},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "depth " << c.depth << " step " << c.step << " kind " << c.kind);
    platform::FakeScreen screen(64, 48);
    FrameGrabber grabber(screen);
    ASSERT_TRUE(grabber.Init(c.depth, c.step, false, c.quality, c.kind));
    EXPECT_EQ(grabber.bitsPerPixel(), c.wantDepth);
    EXPECT_EQ(grabber.lineStep(), c.wantStep);
    EXPECT_EQ(grabber.quality(), c.wantQuality);
    EXPECT_EQ(grabber.compressionKind(), c.wantKind);
    EXPECT_EQ(grabber.blockBytes(), 2 * c.wantDepth);
  }
}

TEST(FrameGrabberInit, StrideAndBlockBytesFollowWidthAndDepth) {
  struct Case {
    int width, depth, stride, blockBytes;
  };
  const Case cases[] = {{1366, 32, 5464, 64}, {1366, 24, 4100, 48}, {1366, 16, 2732, 32},
                        {1366, 8, 1368, 16},  {1366, 4, 684, 8},    {1366, 1, 172, 2}};
  for (const Case& c : cases) {
    platform::FakeScreen screen(c.width, 4);
    FrameGrabber grabber(screen);
    ASSERT_TRUE(grabber.Init(c.depth, 15, false, 90, 3));
    EXPECT_EQ(grabber.stride(), c.stride) << c.depth;
    EXPECT_EQ(grabber.blockBytes(), c.blockBytes) << c.depth;
    EXPECT_EQ(grabber.workBitmap().stride(), c.stride);
    // W columns by 2H + 1 rows.
    EXPECT_EQ(grabber.workBitmap().scanRow(0) - grabber.workBitmap().bits(), 3 * c.stride);
    EXPECT_EQ(grabber.workBitmap().referenceRow(0) - grabber.workBitmap().bits(), 7 * c.stride);
  }
}

TEST(FrameGrabberInit, LifecycleAndFailures) {
  platform::FakeScreen screen(64, 48);
  screen.fill({0, 0, 64, 48}, 0x00FFFFFF);
  FrameGrabber grabber(screen);
  EXPECT_TRUE(grabber.CaptureFrame().empty()) << "not initialised";
  ASSERT_TRUE(grabber.Init(32, 15, true, 90, 3));
  EXPECT_TRUE(screen.layeredCapture());
  EXPECT_FALSE(grabber.Init(8, 5, false, 10, 1)) << "second Init without Close";
  EXPECT_EQ(grabber.bitsPerPixel(), 32);
  EXPECT_EQ(grabber.lineStep(), 15);
  EXPECT_EQ(grabber.compressionKind(), CompressionKind::Bmp);
  EXPECT_FALSE(grabber.CaptureFrame().empty()) << "first frame finds the white screen";

  grabber.Close();
  EXPECT_TRUE(grabber.CaptureFrame().empty());
  EXPECT_TRUE(grabber.CaptureFullFrame().empty());
  ASSERT_TRUE(grabber.Init(32, 15, false, 90, 3));
  EXPECT_FALSE(grabber.CaptureFrame().empty()) << "a new Init starts from a black reference again";

  platform::FakeScreen gone(64, 48);
  gone.setFailing(true);
  FrameGrabber failing(gone);
  EXPECT_FALSE(failing.Init(32, 15, false, 90, 3));
  EXPECT_TRUE(failing.CaptureFrame().empty());

  platform::FakeScreen flat(64, 48);
  flat.setReportedSize({64, 0});
  FrameGrabber noHeight(flat);
  EXPECT_FALSE(noHeight.Init(32, 15, false, 90, 3));
}

TEST(FrameGrabberInit, DefaultColourTables) {
  ColourTables tables;
  tables.loadDefaults();
  const auto entry = [](std::span<const uint8_t> table, int i) {
    return static_cast<uint32_t>(table[4 * i + 2] << 16 | table[4 * i + 1] << 8 | table[4 * i] |
                                 table[4 * i + 3] << 24);
  };
  struct Case {
    int depth, index;
    uint32_t rgb;
  };
  const Case cases[] = {{1, 0, 0x000000},  {1, 1, 0xFFFFFF},   {4, 7, 0x808080},   {4, 8, 0xC0C0C0},
                        {4, 9, 0xFF0000},  {4, 15, 0xFFFFFF},  {8, 7, 0xC0C0C0},   {8, 9, 0xA6CAF0},
                        {8, 10, 0x402000}, {8, 245, 0xA0C0C0}, {8, 246, 0xFFFBF0}, {8, 248, 0x808080},
                        {8, 255, 0xFFFFFF}};
  for (const Case& c : cases)
    EXPECT_EQ(entry(tables.forDepth(c.depth), c.index), c.rgb) << c.depth << ":" << c.index;
  EXPECT_EQ(tables.forDepth(8).size(), 1024u);
  EXPECT_EQ(tables.forDepth(4).size(), 64u);
  EXPECT_EQ(tables.forDepth(1).size(), 8u);
  EXPECT_TRUE(tables.forDepth(32).empty());
}

TEST(CursorBox, ClippedAndAligned) {
  struct Case {
    int x, y, depth;
    ScreenRect box;
  };
  const Case cases[] = {
      {-10, 5, 32, {0, 5, 22, 37}},
      {100, 100, 32, {100, 100, 132, 132}},
      {1350, 750, 32, {1350, 750, 1366, 768}},
      {13, 0, 1, {8, 0, 45, 32}},
      {13, 0, 4, {12, 0, 45, 32}},
      {-40, -40, 32, {0, 0, -8, -8}},
  };
  for (const Case& c : cases) EXPECT_EQ(cursorBox(c.x, c.y, 1366, 768, c.depth), c.box) << c.x << "," << c.y;
}

}  // namespace
}  // namespace ostrel::codec
