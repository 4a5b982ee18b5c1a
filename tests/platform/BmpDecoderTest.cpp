#include <gtest/gtest.h>

#include <climits>

#include "platform/image/ImageCodec.h"
#include "support/BmpFixture.h"

namespace ostrel::platform {
namespace {

using test::BmpSpec;
using test::ByteRows;
using test::makeBmp;
using test::put16;
using test::put32;

std::vector<uint8_t> greyTable(int entries) {
  std::vector<uint8_t> t;
  for (int i = 0; i < entries; ++i)
    t.insert(t.end(),
             {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i / 2), 0});
  return t;
}

// BGR of entry i of greyTable.
std::vector<uint8_t> entry(int i) {
  return {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i / 2)};
}

std::vector<uint8_t> bgrx(std::initializer_list<std::vector<uint8_t>> bgrPixels) {
  std::vector<uint8_t> out;
  for (const auto& p : bgrPixels) out.insert(out.end(), {p[0], p[1], p[2], 0xFF});
  return out;
}

TEST(BmpDecoder, ReadsEveryDepthBottomUpAndTopDown) {
  struct Case {
    const char* name;
    BmpSpec spec;
    std::vector<uint8_t> expected;  // 3 × 2 BGRX, top row first
  };
  const std::vector<Case> cases = {
      {"1 bit",
       {3, 2, 1, 0, greyTable(2), {{0b01100000, 0, 0, 0}, {0b10100000, 0, 0, 0}}},
       bgrx({entry(1), entry(0), entry(1), entry(0), entry(1), entry(1)})},
      {"4 bits",
       {3, 2, 4, 0, greyTable(16), {{0xF0, 0x70, 0, 0}, {0x12, 0x30, 0, 0}}},
       bgrx({entry(1), entry(2), entry(3), entry(15), entry(0), entry(7)})},
      {"8 bits",
       {3, 2, 8, 0, greyTable(256), {{9, 8, 7, 0}, {0, 255, 7, 0}}},
       bgrx({entry(0), entry(255), entry(7), entry(9), entry(8), entry(7)})},
      {"8 bits top-down",
       {3, -2, 8, 0, greyTable(256), {{0, 255, 7, 0}, {9, 8, 7, 0}}},
       bgrx({entry(0), entry(255), entry(7), entry(9), entry(8), entry(7)})},
      {"16 bits 5-5-5",
       {3, 2, 16, 0, {}, {{0x10, 0x42, 0, 0, 0xFF, 0x7F, 0, 0}, {0, 0x7C, 0xE0, 0x03, 0x1F, 0, 0, 0}}},
       bgrx({{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {132, 132, 132}, {0, 0, 0}, {255, 255, 255}})},
      {"16 bits 5-6-5 bit fields",
       {3,
        2,
        16,
        3,
        {0, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0},
        {{0x20, 0, 0x01, 0x08, 0xFF, 0xFF, 0, 0}, {0, 0xF8, 0xE0, 0x07, 0x1F, 0, 0, 0}}},
       bgrx({{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {0, 4, 0}, {8, 0, 8}, {255, 255, 255}})},
      {"24 bits",
       {3,
        2,
        24,
        0,
        {},
        {{10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}}},
       bgrx({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}, {13, 14, 15}, {16, 17, 18}})},
      {"24 bits top-down",
       {3,
        -2,
        24,
        0,
        {},
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}, {10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0}}},
       bgrx({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}, {13, 14, 15}, {16, 17, 18}})},
      {"32 bits, fourth byte ignored",
       {3,
        2,
        32,
        0,
        {},
        {{10, 11, 12, 0, 13, 14, 15, 0x80, 16, 17, 18, 0}, {1, 2, 3, 0xFF, 4, 5, 6, 0, 7, 8, 9, 1}}},
       bgrx({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}, {13, 14, 15}, {16, 17, 18}})},
      {"32 bits top-down",
       {3,
        -2,
        32,
        0,
        {},
        {{1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0}, {10, 11, 12, 0, 13, 14, 15, 0, 16, 17, 18, 0}}},
       bgrx({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}, {13, 14, 15}, {16, 17, 18}})},
  };
  for (const auto& c : cases) {
    auto file = makeBmp(c.spec);
    file.insert(file.end(), {0xDE, 0xAD, 0xBE, 0xEF});  // slack after the rows is ignored
    const auto decoded = decodeImage(file);
    ASSERT_TRUE(decoded) << c.name;
    EXPECT_EQ(decoded->width, 3) << c.name;
    EXPECT_EQ(decoded->height, 2) << c.name;
    EXPECT_EQ(decoded->bgrx, c.expected) << c.name;
  }
}

// A valid 3 × 2 picture at 32 bits to break in the table below.
std::vector<uint8_t> validBmp() {
  return makeBmp({3, 2, 32, 0, {}, ByteRows(2, std::vector<uint8_t>(12, 7))});
}

TEST(BmpDecoder, NeverTrustsTheSizeField) {
  auto file = validBmp();
  for (uint32_t size : {0u, 1u, 0xFFFFFFFFu}) {
    put32(file, 2, size);
    EXPECT_TRUE(decodeImage(file)) << size;
  }
  file.pop_back();
  EXPECT_FALSE(decodeImage(file));
}

TEST(BmpDecoder, RefusesHostileHeaders) {
  struct Case {
    const char* name;
    std::size_t offset;
    uint32_t value;
    int width;  // 2 or 4 bytes
  };
  const std::vector<Case> cases = {
      {"huge width", 18, 0x7FFFFFFF, 4},
      {"width just past the limit", 18, 16385, 4},
      {"negative width", 18, static_cast<uint32_t>(-3), 4},
      {"zero width", 18, 0, 4},
      {"zero height", 22, 0, 4},
      {"most negative height", 22, static_cast<uint32_t>(INT_MIN), 4},
      {"huge height", 22, 1u << 30, 4},
      {"rows beyond the data", 22, 3, 4},
      {"top-down rows beyond the data", 22, static_cast<uint32_t>(-3), 4},
      {"odd bit count", 28, 7, 2},
      {"zero bit count", 28, 0, 2},
      {"run-length compression", 30, 1, 4},
      {"unknown header size", 14, 12, 4},
      {"header size past the end", 14, 124, 4},
      {"data offset past the end", 10, 1000, 4},
      {"data offset inside the header", 10, 20, 4},
      {"data offset wraps", 10, 0xFFFFFFF0, 4},
  };
  for (const auto& c : cases) {
    auto file = validBmp();
    if (c.width == 2)
      put16(file, c.offset, c.value);
    else
      put32(file, c.offset, c.value);
    EXPECT_FALSE(decodeImage(file)) << c.name;
  }
  const auto file = validBmp();
  for (std::size_t cut = 0; cut < file.size(); ++cut)
    EXPECT_FALSE(decodeImage(std::span(file).first(cut))) << "cut at " << cut;
  EXPECT_FALSE(decodeImage(file, DecodeLimits{2, 100}));
}

TEST(BmpDecoder, RefusesColoursTheTableDoesNotHold) {
  // Two table entries (colours used = 2), then a pixel of index 5.
  auto file = makeBmp({3, 2, 8, 0, greyTable(2), {{0, 1, 0, 0}, {1, 5, 0, 0}}});
  put32(file, 46, 2);
  EXPECT_FALSE(decodeImage(file));
  file[54 + 8 + 5] = 1;  // the same picture with index 1 instead
  EXPECT_TRUE(decodeImage(file));

  // A table cut short by the end of the data.
  BmpSpec shortSpec{3, 2, 8, 0, greyTable(16), {}};
  auto shortTable = makeBmp(shortSpec);
  EXPECT_FALSE(decodeImage(shortTable));
  // Bit-field masks that are not one run of bits.
  BmpSpec gappy{1, 1, 16, 3, {0x0F, 0xF0, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0}, {}};
  gappy.rows.push_back(std::vector<uint8_t>(4, 0));
  EXPECT_FALSE(decodeImage(makeBmp(gappy)));
}

}  // namespace
}  // namespace ostrel::platform
