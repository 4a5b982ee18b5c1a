#include <gtest/gtest.h>

#include <vector>

#include "FrameCanvas.h"
#include "codec/FrameGrabber.h"
#include "platform/fake/FakeScreen.h"

namespace ostrel::codec {
namespace {

using testing::Canvas;
using testing::decodeBmp;
using testing::read32;

// Colours with every channel 0 or 255 survive every depth from 4 bits up unchanged.
constexpr uint32_t kPure[] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF};

void paintPattern(platform::FakeScreen& screen, int colours) {
  for (int y = 0; y < screen.height(); ++y)
    for (int x = 0; x < screen.width(); ++x) screen.setPixel(x, y, kPure[(x / 3 + y * 5 + x * y) % colours]);
}

std::vector<uint8_t> encodeArea(FrameGrabber& grabber, const ScreenRect& area) {
  grabber.clearOutput();
  grabber.RefreshRect(area);
  grabber.EncodeRegion(area);
  return {grabber.output().begin(), grabber.output().end()};
}

TEST(EncodeRegion, CursorSizedBitmapRecord) {
  platform::FakeScreen screen(1366, 910);
  paintPattern(screen, 8);
  FrameGrabber grabber(screen);
  ASSERT_TRUE(grabber.Init(32, 15, false, 90, 3));
  const auto record = encodeArea(grabber, {1000, 700, 1032, 732});
  ASSERT_EQ(record.size(), 4171u);
  const Bytes payload = Bytes(record).subspan(10, 4150);
  EXPECT_EQ(read32(payload, 2), 4096u) << "size field holds the pixel data only";
  EXPECT_EQ(read32(payload, 10), 54u);
  EXPECT_EQ(read32(payload, 14), 40u);
  EXPECT_EQ(read32(payload, 18), 32u);
  EXPECT_EQ(read32(payload, 22), 32u);
  EXPECT_EQ(testing::read16(payload, 26), 1);
  EXPECT_EQ(testing::read16(payload, 28), 32);
  for (int i = 30; i < 54; ++i) EXPECT_EQ(payload[i], 0) << i;
  EXPECT_TRUE(std::equal(REGION_TRAILER.begin(), REGION_TRAILER.end(), record.end() - 11));
  // The bottom row comes first, copied with its fourth byte.
  screen.setPixel(1000, 731, 0xAB123456);
  const auto again = encodeArea(grabber, {1000, 700, 1032, 732});
  EXPECT_EQ(read32(Bytes(again), 64), 0xAB123456u);

  const auto at = encodeArea(grabber, {1360, 900, 1366, 910});
  const std::vector<uint8_t> head = {0xFF, 0xFF, 0x50, 0x05, 0xFF, 0xFF, 0x84, 0x03, 0xFF, 0xFF};
  EXPECT_TRUE(std::equal(head.begin(), head.end(), at.begin()));
}

TEST(EncodeRegion, EmptyAreasWriteNothing) {
  platform::FakeScreen screen(64, 48);
  FrameGrabber grabber(screen);
  ASSERT_TRUE(grabber.Init(32, 15, false, 90, 3));
  for (const ScreenRect r : {ScreenRect{0, 0, 0, 8}, ScreenRect{10, 10, 20, 10}, ScreenRect{20, 10, 10, 20}})
    EXPECT_TRUE(encodeArea(grabber, r).empty());
}

TEST(EncodeRegion, BitmapRecordsAtEveryDepthDecodeToTheScreen) {
  for (const int depth : {1, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(depth);
    platform::FakeScreen screen(70, 40);
    paintPattern(screen, depth == 1 ? 2 : 8);
    FrameGrabber grabber(screen);
    ASSERT_TRUE(grabber.Init(depth, 15, false, 90, 3));
    const auto full = grabber.CaptureFullFrame();
    const auto pieces = splitRegionPieces(full);
    ASSERT_EQ(pieces.size(), 1u);
    const Bytes payload = pieces[0].piece.payload;
    const uint32_t table = depth == 8 ? 1024 : depth == 4 ? 64 : depth == 1 ? 8 : 0;
    EXPECT_EQ(read32(payload, 10), 54 + table);
    EXPECT_EQ(read32(payload, 2), static_cast<uint32_t>(grabber.stride() * 40));
    if (depth == 8) {
      EXPECT_TRUE(std::equal(payload.begin() + 54, payload.begin() + 1078,
                             grabber.colourTables().palette256.begin()));
    }
    Canvas canvas(70, 40);
    canvas.apply(full);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 70; ++x)
        ASSERT_EQ(canvas.pixels[y * 70 + x], screen.pixel(x, y) & 0xFFFFFF) << x << "," << y;
  }
}

TEST(EncodeRegion, NearestColourAtLowDepths) {
  platform::FakeScreen screen(16, 1);
  screen.setPixel(0, 0, 0x7F7F7F);  // nearest 4-bit entry 808080, 8-bit entry 248 (808080)
  screen.setPixel(1, 0, 0xF0F0F0);  // 1 bit: white
  screen.setPixel(2, 0, 0x101010);  // 16 bits: 5-5-5 truncation gives 0x10 per channel again
  for (const auto& [depth, x, want] : {std::tuple{4, 0, 0x808080u}, std::tuple{8, 0, 0x808080u},
                                       std::tuple{1, 1, 0xFFFFFFu}, std::tuple{16, 2, 0x101010u}}) {
    FrameGrabber grabber(screen);
    ASSERT_TRUE(grabber.Init(depth, 15, false, 90, 3));
    Canvas canvas(16, 1);
    canvas.apply(grabber.CaptureFullFrame());
    EXPECT_EQ(canvas.pixels[x], want) << depth;
  }
}

TEST(EncodeRegion, PayloadsNeverCarryTheFramingBytes) {
  // Pixels whose bytes spell the separator and the trailer: inside one row,
  // and running from one bitmap row into the next.
  const uint8_t separator[] = {0x0B, 0x16, 0x21, 0x0B, 0x16, 0x21, 0x6F, 0xDE, 0x4D, 0x0A};
  const uint8_t trailer[] = {0x02, 0x04, 0x05, 0x04, 0x05, 0x08, 0x08, 0x06, 0x09, 0x00, 0x00};
  struct Case {
    const char* name;
    int depth;
    int width;
    Bytes bytes;
    int startPixel;  // bytes begin at this pixel of the bitmap's bottom row
  };
  const Case cases[] = {
      {"separator within a row", 32, 40, separator, 5},
      {"trailer within a row", 24, 40, trailer, 7},
      {"separator across rows", 32, 3, separator, 1},
      {"trailer across rows", 24, 4, trailer, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int height = 6;
    platform::FakeScreen screen(c.width, height);
    paintPattern(screen, 8);
    // The payload holds bottom-up rows: the bytes run from row height-1 into row height-2.
    const int bytesPerPixel = c.depth / 8;
    std::vector<uint8_t> rowBytes;
    const int rowSize = ((c.width * c.depth + 31) >> 5) << 2;
    ASSERT_EQ(rowSize, c.width * bytesPerPixel) << "no padding in this fixture";
    for (std::size_t i = 0; i < c.bytes.size(); ++i) {
      const int offset = c.startPixel * bytesPerPixel + static_cast<int>(i);
      const int row = height - 1 - offset / rowSize, x = (offset % rowSize) / bytesPerPixel;
      const int channel = (offset % rowSize) % bytesPerPixel;
      uint32_t p = screen.pixel(x, row);
      p = (p & ~(0xFFu << (8 * channel))) | (static_cast<uint32_t>(c.bytes[i]) << (8 * channel));
      screen.setPixel(x, row, p);
    }
    FrameGrabber grabber(screen);
    ASSERT_TRUE(grabber.Init(c.depth, 15, false, 90, 3));
    std::vector<uint8_t> naive;
    grabber.RefreshRect({0, 0, c.width, height});
    appendBmpPayload(grabber.workBitmap(), grabber.colourTables(), {0, 0, c.width, height}, naive);
    ASSERT_TRUE(payloadBreaksFraming(naive)) << "the fixture must break a plain payload";

    const auto record = grabber.CaptureFullFrame();
    const auto slices = splitRegionPieces(record);
    EXPECT_GT(slices.size(), 1u);
    for (const auto& slice : slices) {
      ASSERT_TRUE(slice.framed);
      EXPECT_FALSE(payloadBreaksFraming(slice.piece.payload));
    }
    Canvas canvas(c.width, height);
    canvas.apply(record);
    EXPECT_EQ(canvas.undrawable, 0);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < c.width; ++x)
        ASSERT_EQ(canvas.pixels[y * c.width + x], screen.pixel(x, y) & 0xFFFFFF) << x << "," << y;
  }
}

}  // namespace
}  // namespace ostrel::codec
