#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/StreamFormat.h"

namespace ostrel::codec {
namespace {

std::vector<uint8_t> concat(std::initializer_list<Bytes> parts) {
  std::vector<uint8_t> out;
  for (Bytes p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

TEST(SplitFrameRecords, FollowsTheReadingRules) {
  const auto a = bytesOf("frame-a");
  struct Case {
    const char* name;
    std::vector<uint8_t> stream;
    std::vector<std::vector<uint8_t>> records;
  };
  const std::vector<Case> cases = {
      {"empty stream", {}, {}},
      {"three idle ticks", concat({FRAME_SEPARATOR, FRAME_SEPARATOR, FRAME_SEPARATOR}), {{}, {}, {}}},
      {"record then separator", concat({a, FRAME_SEPARATOR}), {a}},
      {"trailing record without separator", concat({FRAME_SEPARATOR, a}), {{}, a}},
      {"no separator at all", a, {a}},
  };
  for (const auto& c : cases) {
    const auto records = splitFrameRecords(c.stream);
    ASSERT_EQ(records.size(), c.records.size()) << c.name;
    for (std::size_t i = 0; i < records.size(); ++i)
      EXPECT_EQ(std::vector<uint8_t>(records[i].begin(), records[i].end()), c.records[i]) << c.name;
  }
}

TEST(RegionRecord, WritesPositionAsLow16BitsAndReadsItBackSigned) {
  std::vector<uint8_t> record;
  const auto payload = bytesOf("PNGDATA");
  appendRegionRecord(record, 1360, 900, payload);
  const std::vector<uint8_t> head(record.begin(), record.begin() + 10);
  EXPECT_EQ(head, (std::vector<uint8_t>{0xFF, 0xFF, 0x50, 0x05, 0xFF, 0xFF, 0x84, 0x03, 0xFF, 0xFF}));
  EXPECT_EQ(record.size(), 10 + payload.size() + 11);

  appendRegionRecord(record, -3, 70000, payload);  // -3 and the low bits of 70000 (4464)
  const auto slices = splitRegionPieces(record);
  ASSERT_EQ(slices.size(), 2u);  // the trailing trailer leaves no extra piece
  EXPECT_TRUE(slices[0].framed);
  EXPECT_EQ(slices[0].piece.x, 1360);
  EXPECT_EQ(slices[0].piece.y, 900);
  EXPECT_EQ(std::vector<uint8_t>(slices[0].piece.payload.begin(), slices[0].piece.payload.end()), payload);
  EXPECT_EQ(slices[1].piece.x, -3);
  EXPECT_EQ(slices[1].piece.y, 4464);
}

TEST(RegionRecord, ShortRecordsAndUnframedPieces) {
  EXPECT_TRUE(splitRegionPieces(std::vector<uint8_t>(10, 0xFF)).empty());

  std::vector<uint8_t> record = concat({bytesOf("garbage-without-markers"), REGION_TRAILER});
  appendRegionRecord(record, 1, 2, bytesOf("ok"));
  const auto slices = splitRegionPieces(record);
  ASSERT_EQ(slices.size(), 2u);
  EXPECT_FALSE(slices[0].framed);
  EXPECT_TRUE(slices[1].framed);
  EXPECT_EQ(slices[1].piece.x, 1);
}

TEST(RegionRecord, DetectsPayloadsThatBreakTheFraming) {
  EXPECT_FALSE(payloadBreaksFraming(bytesOf("harmless")));
  EXPECT_TRUE(payloadBreaksFraming(concat({bytesOf("ab"), FRAME_SEPARATOR, bytesOf("cd")})));
  EXPECT_TRUE(payloadBreaksFraming(concat({bytesOf("ab"), REGION_TRAILER})));
}

}  // namespace
}  // namespace ostrel::codec
