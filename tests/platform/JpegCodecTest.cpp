#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "platform/image/ImageCodec.h"
#include "support/TestPictures.h"

namespace ostrel::platform {
namespace {

using test::makeTestPicture;
using test::TestPicture;

int largestError(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  int worst = 0;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (i % 4 != 3) worst = std::max(worst, std::abs(int{a[i]} - int{b[i]}));
  return worst;
}

double meanError(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (i % 4 != 3) sum += std::abs(int{a[i]} - int{b[i]});
  return sum / (static_cast<double>(a.size()) * 0.75);
}

TEST(JpegCodec, RoundTripsWithinTolerance) {
  struct Size {
    int w, h;
  };
  for (const Size size : {Size{1, 1}, Size{17, 5}, Size{64, 48}, Size{333, 77}}) {
    const auto picture = makeTestPicture(size.w, size.h, 0, false);  // no hard colour edges
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(encodeJpeg(picture.view(), 90, jpeg));
    EXPECT_EQ(detectImageType(jpeg), ImageType::Jpeg);
    const auto decoded = decodeImage(jpeg);
    ASSERT_TRUE(decoded) << size.w << "x" << size.h;
    EXPECT_EQ(decoded->width, size.w);
    EXPECT_EQ(decoded->height, size.h);
    const auto expected = test::asDecoded(picture);
    EXPECT_EQ(decoded->bgrx[3], 0xFF);
    EXPECT_LT(meanError(decoded->bgrx, expected), 8.0) << size.w << "x" << size.h;
    EXPECT_LT(largestError(decoded->bgrx, expected), 48) << size.w << "x" << size.h;
  }
}

TEST(JpegCodec, QualityBottomUpAndSlack) {
  const auto picture = makeTestPicture(96, 40);
  std::vector<uint8_t> low, high;
  ASSERT_TRUE(encodeJpeg(picture.view(), 30, low));
  ASSERT_TRUE(encodeJpeg(picture.view(), 95, high));
  EXPECT_LT(low.size(), high.size());

  std::vector<uint8_t> flipped(picture.bgrx.size());
  const std::size_t row = 96 * 4;
  for (int y = 0; y < 40; ++y)
    std::copy_n(picture.bgrx.begin() + static_cast<std::ptrdiff_t>(row * y), row,
                flipped.begin() + static_cast<std::ptrdiff_t>(row * (39 - y)));
  std::vector<uint8_t> bottomUp;
  ASSERT_TRUE(
      encodeJpeg({flipped.data() + row * 39, 96, 40, -static_cast<std::ptrdiff_t>(row)}, 95, bottomUp));
  EXPECT_EQ(bottomUp, high);

  const auto plain = decodeImage(high);
  auto withSlack = high;
  withSlack.insert(withSlack.end(), {0xFF, 0xD8, 0xFF, 0xE0, 0, 0, 0xFF, 0xFF, 1, 2, 3});
  withSlack.resize(withSlack.size() + 4000, 0xAB);
  const auto slack = decodeImage(withSlack);
  ASSERT_TRUE(plain && slack);
  EXPECT_EQ(slack->bgrx, plain->bgrx);
}

TEST(JpegCodec, RefusesDamageAndOversizedHeaders) {
  const auto picture = makeTestPicture(40, 30);
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(encodeJpeg(picture.view(), 90, jpeg));
  for (std::size_t cut : {0, 2, 3, 10, 100, 300}) {
    if (cut >= jpeg.size()) continue;
    const auto decoded = decodeImage(std::span(jpeg).first(cut));
    // A stream cut inside the scan may still give its size; never a crash.
    if (decoded) {
      EXPECT_EQ(decoded->width, 40);
    }
    // Whatever became of the damaged one, the next good picture decodes.
    EXPECT_TRUE(decodeImage(jpeg)) << "after a cut at " << cut;
  }
  // Patch the frame header's sides (SOF0: FF C0, length, precision, height, width).
  std::size_t sof = 0;
  for (std::size_t i = 2; i + 9 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      sof = i;
      break;
    }
  ASSERT_NE(sof, 0u);
  // 16384 × 4096 is within the limits, but a kilobyte cannot hold it: refused
  // before a picture of that size is made and decoded from nothing.
  for (const auto& [w, h] : {std::pair<int, int>{60000, 60000}, {16385, 8}, {0, 8}, {16384, 4096}}) {
    auto huge = jpeg;
    huge[sof + 5] = static_cast<uint8_t>(h >> 8);
    huge[sof + 6] = static_cast<uint8_t>(h);
    huge[sof + 7] = static_cast<uint8_t>(w >> 8);
    huge[sof + 8] = static_cast<uint8_t>(w);
    EXPECT_FALSE(decodeImage(huge)) << w << "x" << h;
    EXPECT_TRUE(decodeImage(jpeg)) << "after " << w << "x" << h;
  }
  EXPECT_FALSE(decodeImage(jpeg, DecodeLimits{39, 10000}));
  EXPECT_TRUE(decodeImage(jpeg));

  std::vector<uint8_t> out;
  EXPECT_FALSE(encodeJpeg({picture.bgrx.data(), 40, 0, 160}, 90, out));
  EXPECT_TRUE(out.empty());
}

// The fewest bytes per pixel a picture comes in: one flat colour, deflated as
// tightly as deflate goes. The decoders' byte-count floor must let it through.
TEST(ImageCodecs, FlatPicturesStillDecode) {
  TestPicture flat{2048, 2048, std::vector<uint8_t>(std::size_t{2048} * 2048 * 4, 0)};
  std::vector<uint8_t> png, jpeg;
  ASSERT_TRUE(encodePng(flat.view(), png, {.deflateLevel = 12}));
  ASSERT_TRUE(encodeJpeg(flat.view(), 90, jpeg));
  for (const auto* bytes : {&png, &jpeg}) {
    const auto decoded = decodeImage(*bytes);
    ASSERT_TRUE(decoded) << bytes->size() << " bytes";
    EXPECT_EQ(decoded->width, 2048);
  }
}

// The grabber encodes regions on several threads at once: every thread must
// get exactly what one thread alone gets.
TEST(ImageCodecs, EncodeAndDecodeOnManyThreads) {
  const auto picture = makeTestPicture(200, 120);
  std::vector<uint8_t> png, jpeg;
  ASSERT_TRUE(encodePng(picture.view(), png));
  ASSERT_TRUE(encodeJpeg(picture.view(), 90, jpeg));
  std::vector<std::thread> threads;
  std::vector<int> mismatches(4, 0);
  for (std::size_t t = 0; t < mismatches.size(); ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 20; ++round) {
        std::vector<uint8_t> p, j;
        encodePng(picture.view(), p);
        encodeJpeg(picture.view(), 90, j);
        const auto decoded = decodeImage(j);
        if (p != png || j != jpeg || !decoded || decoded->width != 200) ++mismatches[t];
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

TEST(ImageType, FromTheFirstBytes) {
  const std::vector<std::pair<std::vector<uint8_t>, ImageType>> cases = {
      {{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0}, ImageType::Png},
      {{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A}, ImageType::Unknown},
      {{0xFF, 0xD8, 0xFF, 0xE0}, ImageType::Jpeg},
      {{0xFF, 0xD8}, ImageType::Unknown},
      {{'B', 'M'}, ImageType::Bmp},
      {{}, ImageType::Unknown},
      {{'G', 'I', 'F', '8'}, ImageType::Unknown},
  };
  for (const auto& [bytes, type] : cases) EXPECT_EQ(detectImageType(bytes), type);
  EXPECT_FALSE(decodeImage(std::vector<uint8_t>{'G', 'I', 'F', '8', '9', 'a'}));
}

}  // namespace
}  // namespace ostrel::platform
