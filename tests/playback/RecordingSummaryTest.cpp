#include <gtest/gtest.h>

#include "codec/StreamFormat.h"
#include "playback/ImageHeader.h"
#include "playback/PlaybackFixtures.h"
#include "playback/RecordingSummary.h"

namespace ostrel::playback {
namespace {

using platform::ImageType;
using Bytes = std::vector<uint8_t>;

Bytes pngHeader(uint32_t w, uint32_t h) {
  Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (uint32_t v : {w, h})
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(v >> shift));
  b.insert(b.end(), {8, 2, 0, 0, 0});
  return b;
}

Bytes bmpHeader(int32_t w, int32_t h) {
  Bytes b(54, 0);
  b[0] = 'B', b[1] = 'M', b[14] = 40;
  for (int i = 0; i < 4; ++i) {
    b[18 + i] = static_cast<uint8_t>(static_cast<uint32_t>(w) >> (8 * i));
    b[22 + i] = static_cast<uint8_t>(static_cast<uint32_t>(h) >> (8 * i));
  }
  return b;
}

Bytes jpegHeader(uint16_t w, uint16_t h) {
  return {0xFF,
          0xD8,
          0xFF,
          0xE0,
          0,
          4,
          'J',
          'F',
          0xFF,
          0xFF,  // a segment, then a fill byte
          0xFF,
          0xC0,
          0,
          11,
          8,
          static_cast<uint8_t>(h >> 8),
          static_cast<uint8_t>(h),
          static_cast<uint8_t>(w >> 8),
          static_cast<uint8_t>(w),
          1,
          1,
          0x11,
          0};
}

TEST(ImageHeader, ReadsTypeAndSizeFromTheHeaderAlone) {
  struct Case {
    const char* name;
    Bytes bytes;
    std::optional<ImageType> type;
    int width, height;
  };
  Bytes cutPng = pngHeader(5, 6);
  cutPng.resize(20);
  const std::vector<Case> cases = {
      {"png", pngHeader(1920, 1080), ImageType::Png, 1920, 1080},
      {"bmp bottom-up", bmpHeader(32, 32), ImageType::Bmp, 32, 32},
      {"bmp top-down", bmpHeader(7, -3), ImageType::Bmp, 7, 3},
      {"jpeg after other segments", jpegHeader(640, 480), ImageType::Jpeg, 640, 480},
      {"png cut short", cutPng, std::nullopt, 0, 0},
      {"zero width", bmpHeader(0, 5), std::nullopt, 0, 0},
      {"jpeg without frame header", {0xFF, 0xD8, 0xFF, 0xDA, 0, 2}, std::nullopt, 0, 0},
      {"not an image", {'G', 'I', 'F', '8'}, std::nullopt, 0, 0},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const auto header = peekImageHeader(test.bytes);
    ASSERT_EQ(header.has_value(), test.type.has_value());
    if (!header) continue;
    EXPECT_EQ(header->type, *test.type);
    EXPECT_EQ(header->width, test.width);
    EXPECT_EQ(header->height, test.height);
  }
  // Every cut of a valid header is refused or read, never read past its end.
  for (const Bytes& whole : {pngHeader(3, 4), bmpHeader(3, 4), jpegHeader(3, 4)}) {
    for (std::size_t size = 0; size < whole.size(); ++size) {
      const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
      if (const auto header = peekImageHeader(cut)) {
        EXPECT_EQ(header->width, 3);
      }
    }
  }
}

TEST(RecordingSummary, CountsFramesRegionsAndTheRecordedSize) {
  Bytes stream;
  const auto separator = [&] {
    stream.insert(stream.end(), codec::FRAME_SEPARATOR.begin(), codec::FRAME_SEPARATOR.end());
  };
  codec::appendRegionRecord(stream, 0, 0, pngHeader(1920, 16));
  codec::appendRegionRecord(stream, 1888, 1048, bmpHeader(32, 32));  // reaches 1920 × 1080
  separator();
  separator();  // nothing changed
  codec::appendRegionRecord(stream, 100, 50, jpegHeader(16, 16));
  codec::appendRegionRecord(stream, 0, 0, Bytes{'x', 'y'});
  const Bytes unframed = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  stream.insert(stream.end(), unframed.begin(), unframed.end());
  stream.insert(stream.end(), codec::REGION_TRAILER.begin(), codec::REGION_TRAILER.end());
  separator();

  testing::TempFolder folder;
  testing::writeFile(folder.path() / "stream", std::string(stream.begin(), stream.end()));
  auto reader = FrameRecordReader::open(folder.path() / "stream");
  RecordingSummary summary;
  ASSERT_TRUE(summariseRecords(*reader, summary));
  EXPECT_EQ(summary.frames, 3);
  EXPECT_EQ(summary.emptyFrames, 1);
  EXPECT_EQ(summary.pngRegions, 1);
  EXPECT_EQ(summary.bmpRegions, 1);
  EXPECT_EQ(summary.jpegRegions, 1);
  EXPECT_EQ(summary.unknownRegions, 1);
  EXPECT_EQ(summary.unframedPieces, 1);
  EXPECT_EQ(summary.boundingWidth, 1920);
  EXPECT_EQ(summary.boundingHeight, 1080);
}

}  // namespace
}  // namespace ostrel::playback
