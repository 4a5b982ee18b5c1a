#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/image/ImageCodec.h"
#include "support/TestPictures.h"

namespace ostrel::platform {
namespace {

using test::asDecoded;
using test::makeTestPicture;

TEST(PngEncoder, RoundTripsEveryFilterLevelAndSize) {
  struct Size {
    int w, h;
  };
  for (const Size size : {Size{1, 1}, Size{3, 2}, Size{17, 5}, Size{333, 77}}) {
    const auto picture = makeTestPicture(size.w, size.h, 0x5A);
    for (int filter = 0; filter <= kAdaptiveFilter; ++filter)
      for (int level : {1, 6, 12}) {
        std::vector<uint8_t> png = {0xEE};  // appends after what is there
        ASSERT_TRUE(encodePng(picture.view(), png, {level, filter}));
        EXPECT_EQ(png[0], 0xEE);
        const auto decoded = decodeImage(std::span(png).subspan(1));
        ASSERT_TRUE(decoded) << size.w << "x" << size.h << " filter " << filter << " level " << level;
        EXPECT_EQ(decoded->width, size.w);
        EXPECT_EQ(decoded->height, size.h);
        EXPECT_EQ(decoded->bgrx, asDecoded(picture)) << size.w << "x" << size.h << " filter " << filter;
      }
  }
}

TEST(PngEncoder, ReadsBottomUpMemoryAndRefusesBadInput) {
  const auto picture = makeTestPicture(31, 9);
  // The same rows, stored last row first and walked with a negative stride.
  std::vector<uint8_t> flipped(picture.bgrx.size());
  const std::size_t row = 31 * 4;
  for (int y = 0; y < 9; ++y)
    std::copy_n(picture.bgrx.begin() + static_cast<std::ptrdiff_t>(row * y), row,
                flipped.begin() + static_cast<std::ptrdiff_t>(row * (8 - y)));
  const BgrxView bottomUp{flipped.data() + row * 8, 31, 9, -static_cast<std::ptrdiff_t>(row)};
  std::vector<uint8_t> a, b;
  ASSERT_TRUE(encodePng(picture.view(), a));
  ASSERT_TRUE(encodePng(bottomUp, b));
  EXPECT_EQ(a, b);

  std::vector<uint8_t> out;
  EXPECT_FALSE(encodePng({picture.bgrx.data(), 0, 9, 124}, out));
  EXPECT_FALSE(encodePng(picture.view(), out, {1, 6}));
  EXPECT_FALSE(encodePng(picture.view(), out, {1, -1}));
  EXPECT_FALSE(encodePng(picture.view(), out, {13, 1}));
  EXPECT_TRUE(out.empty());
}

// An independent reader (Pillow, over zlib) sees exactly our pixels.
TEST(PngEncoder, OutputReadsInPillow) {
  if (!std::filesystem::exists("/usr/bin/python3")) GTEST_SKIP() << "no system python";
  const auto picture = makeTestPicture(45, 23);
  std::vector<uint8_t> png;
  ASSERT_TRUE(encodePng(picture.view(), png));
  const auto dir = std::filesystem::temp_directory_path() / ("ostrel-png-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto pngPath = dir / "in.png";
  const auto rawPath = dir / "out.rgb";
  std::ofstream(pngPath, std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  const std::string command =
      "/usr/bin/python3 -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
      "im.load(); assert im.mode == 'RGB', im.mode; "
      "open(sys.argv[2], 'wb').write(im.tobytes())\" " +
      pngPath.string() + " " + rawPath.string();
  const int status = std::system(command.c_str());
  std::ifstream in(rawPath, std::ios::binary);
  const std::vector<uint8_t> rgb((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove_all(dir);
  if (status != 0) GTEST_SKIP() << "Pillow not available";
  std::vector<uint8_t> expected;
  for (std::size_t i = 0; i < picture.bgrx.size(); i += 4)
    expected.insert(expected.end(), {picture.bgrx[i + 2], picture.bgrx[i + 1], picture.bgrx[i]});
  EXPECT_EQ(rgb, expected);
}

// Writes a PNG of any colour type with libpng, for the reader's sake.
std::vector<uint8_t> writeWithLibpng(int w, int h, int colorType, int bitDepth, bool interlaced,
                                     const std::vector<std::vector<uint8_t>>& rows,
                                     const std::vector<png_color>& palette = {}) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t n) {
        auto* o = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        o->insert(o->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), bitDepth, colorType,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  std::vector<png_bytep> pointers;
  for (const auto& r : rows) pointers.push_back(const_cast<png_bytep>(r.data()));
  png_set_rows(png, info, pointers.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

TEST(PngDecoder, ConvertsEveryColourTypeToBgrx) {
  struct Case {
    const char* name;
    int colorType, bitDepth;
    bool interlaced;
    std::vector<std::vector<uint8_t>> rows;  // 3 × 2 pixels
    std::vector<png_color> palette;
    std::vector<uint8_t> expected;  // BGRX, top row first
  };
  const std::vector<uint8_t> grey = {0,   0,   0,   255, 255, 255, 255, 255, 0x55, 0x55, 0x55, 255,
                                     255, 255, 255, 255, 0,   0,   0,   255, 0xAA, 0xAA, 0xAA, 255};
  const std::vector<uint8_t> colour = {3,  2,  1,  255, 6,  5,  4,  255, 9,  8,  7,  255,
                                       30, 20, 10, 255, 60, 50, 40, 255, 90, 80, 70, 255};
  const std::vector<Case> cases = {
      {"grey 2-bit", PNG_COLOR_TYPE_GRAY, 2, false, {{0b00110100}, {0b11001000}}, {}, grey},
      {"grey 8-bit", PNG_COLOR_TYPE_GRAY, 8, false, {{0, 255, 0x55}, {255, 0, 0xAA}}, {}, grey},
      {"grey 16-bit + alpha",
       PNG_COLOR_TYPE_GRAY_ALPHA,
       16,
       false,
       {{0, 0, 0, 9, 255, 255, 0, 9, 0x55, 0x55, 0, 9}, {255, 255, 0, 9, 0, 0, 0, 9, 0xAA, 0xAA, 0, 9}},
       {},
       grey},
      {"palette 4-bit",
       PNG_COLOR_TYPE_PALETTE,
       4,
       false,
       {{0x01, 0x20}, {0x34, 0x50}},
       {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 20, 30}, {40, 50, 60}, {70, 80, 90}},
       colour},
      {"RGB 16-bit",
       PNG_COLOR_TYPE_RGB,
       16,
       false,
       {{1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8, 0, 9, 0},
        {10, 0, 20, 0, 30, 0, 40, 0, 50, 0, 60, 0, 70, 0, 80, 0, 90, 0}},
       {},
       colour},
      {"RGBA, alpha dropped",
       PNG_COLOR_TYPE_RGBA,
       8,
       false,
       {{1, 2, 3, 0, 4, 5, 6, 10, 7, 8, 9, 255}, {10, 20, 30, 0, 40, 50, 60, 0, 70, 80, 90, 0}},
       {},
       colour},
      {"RGB interlaced",
       PNG_COLOR_TYPE_RGB,
       8,
       true,
       {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 20, 30, 40, 50, 60, 70, 80, 90}},
       {},
       colour},
  };
  for (const auto& c : cases) {
    const auto png = writeWithLibpng(3, 2, c.colorType, c.bitDepth, c.interlaced, c.rows, c.palette);
    const auto decoded = decodeImage(png);
    ASSERT_TRUE(decoded) << c.name;
    EXPECT_EQ(decoded->bgrx, c.expected) << c.name;
  }
}

TEST(PngDecoder, IgnoresSlackAndRefusesDamage) {
  const auto picture = makeTestPicture(20, 7);
  std::vector<uint8_t> png;
  ASSERT_TRUE(encodePng(picture.view(), png));
  const std::size_t length = png.size();

  auto withSlack = png;
  for (int i = 0; i < 500; ++i) withSlack.push_back(static_cast<uint8_t>(i * 37));
  const auto slack = decodeImage(withSlack);
  ASSERT_TRUE(slack);
  EXPECT_EQ(slack->bgrx, asDecoded(picture));

  // Every cut inside the header or the image data is refused.
  for (std::size_t cut = 0; cut + 12 < length; ++cut)
    EXPECT_FALSE(decodeImage(std::span(png).first(cut))) << "cut at " << cut;

  auto badCrc = png;
  badCrc[length - 20] ^= 0xFF;  // inside IDAT
  EXPECT_FALSE(decodeImage(badCrc));

  // Sides beyond the limits, or beyond what the bytes can hold, are refused
  // from the header alone, whatever the rest says (an allocation of that size
  // would abort under the sanitizer).
  for (const auto& [w, h] : {std::pair<uint32_t, uint32_t>{100000, 100000},
                             {16385, 1},
                             {9000, 9000},
                             {0, 5},
                             {0x80000000u, 1},
                             {16384, 4096}}) {
    auto huge = png;
    for (int i = 0; i < 4; ++i) {
      huge[16 + i] = static_cast<uint8_t>(w >> (24 - 8 * i));
      huge[20 + i] = static_cast<uint8_t>(h >> (24 - 8 * i));
    }
    EXPECT_FALSE(decodeImage(huge)) << w << "x" << h;
  }
  EXPECT_FALSE(decodeImage(png, DecodeLimits{19, 1000}));
  EXPECT_FALSE(decodeImage(png, DecodeLimits{100, 139}));
  EXPECT_TRUE(decodeImage(png, DecodeLimits{20, 140}));
}

}  // namespace
}  // namespace ostrel::platform
