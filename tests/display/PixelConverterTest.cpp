#include <gtest/gtest.h>

#include "platform/x11/PixelConverter.h"

namespace ostrel::platform {
namespace {

// Layouts a private Xvfb cannot be asked for (the grab tests cover the ones it can).
TEST(PixelConverterTest, ReadsForeignLayouts) {
  struct Case {
    const char* name;
    ServerPixelFormat format;
    std::vector<uint8_t> serverRow;  // two pixels
    uint32_t first;                  // expected BGRX as 0x00RRGGBB
    uint32_t second;
  };
  const Case cases[] = {
      {"565 big-endian",
       {16, 16, 32, false, 0xf800, 0x07e0, 0x001f},
       {0xf8, 0x00, 0x07, 0xff},
       0xff0000,
       0x00ffff},
      {"24 bits packed",
       {24, 24, 32, true, 0xff0000, 0x00ff00, 0x0000ff},
       {0x01, 0x02, 0x03, 0x04, 0x05, 0x06},
       0x030201,
       0x060504},
      {"32 bits big-endian",
       {24, 32, 32, false, 0xff0000, 0x00ff00, 0x0000ff},
       {0xee, 0x10, 0x20, 0x30, 0x99, 0x40, 0x50, 0x60},
       0x102030,
       0x405060},
      {"BGR order",
       {24, 32, 32, true, 0x0000ff, 0x00ff00, 0xff0000},
       {0x10, 0x20, 0x30, 0, 0x40, 0x50, 0x60, 0},
       0x102030,
       0x405060},
  };
  for (const Case& c : cases) {
    const auto converter = PixelConverter::create(c.format);
    ASSERT_TRUE(converter) << c.name;
    uint32_t out[2] = {0xffffffff, 0xffffffff};
    converter->convertRow(c.serverRow.data(), 2, reinterpret_cast<uint8_t*>(out));
    EXPECT_EQ(out[0], c.first) << c.name;
    EXPECT_EQ(out[1], c.second) << c.name;
  }
}

TEST(PixelConverterTest, RowBytesFollowScanlinePadAndBadLayoutsAreRefused) {
  const auto depth16 = PixelConverter::create({16, 16, 32, true, 0xf800, 0x07e0, 0x001f});
  ASSERT_TRUE(depth16);
  EXPECT_EQ(depth16->serverRowBytes(333), 668u);
  EXPECT_EQ(PixelConverter::create({24, 24, 8, true, 0xff0000, 0xff00, 0xff})->serverRowBytes(3), 9u);

  const ServerPixelFormat refused[] = {
      {8, 8, 32, true, 0xe0, 0x1c, 0x03},            // 8 bits per pixel
      {24, 32, 32, true, 0xff00ff, 0x00ff00, 0},     // split mask, no blue
      {24, 32, 32, true, 0xff0000, 0x0ff000, 0xff},  // overlapping masks
      {16, 16, 32, true, 0xff0000, 0x00ff00, 0xff},  // masks wider than the pixel
      {24, 32, 12, true, 0xff0000, 0x00ff00, 0xff},  // odd scanline pad
  };
  for (const ServerPixelFormat& format : refused) EXPECT_FALSE(PixelConverter::create(format));
}

}  // namespace
}  // namespace ostrel::platform
