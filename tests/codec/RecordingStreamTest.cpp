#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codec/RecordingStream.h"
#include "support/ScratchFolder.h"

namespace ostrel::codec {
namespace {

using testing::ScratchFolder;

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// A stream of frame records of varied length, some empty, with a trailing
// record that has no separator.
std::vector<uint8_t> sampleStream(std::size_t records, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> out;
  for (std::size_t i = 0; i < records; ++i) {
    const std::size_t length = random() % 3 == 0 ? 0 : random() % 70;
    for (std::size_t j = 0; j < length; ++j) out.push_back(static_cast<uint8_t>(random() % 8));
    out.insert(out.end(), FRAME_SEPARATOR.begin(), FRAME_SEPARATOR.end());
  }
  out.insert(out.end(), {1, 2, 3});
  return out;
}

std::vector<std::vector<uint8_t>> referenceSplit(const std::vector<uint8_t>& stream) {
  std::vector<std::vector<uint8_t>> out;
  for (Bytes r : splitFrameRecords(stream)) out.emplace_back(r.begin(), r.end());
  return out;
}

// Appends in uneven pieces so separators straddle chunk boundaries.
void appendInPieces(RecordingStream& stream, const std::vector<uint8_t>& bytes, unsigned seed) {
  std::mt19937 random(seed);
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t n = std::min<std::size_t>(bytes.size() - at, 1 + random() % 37);
    stream.append(Bytes(bytes).subspan(at, n));
    at += n;
  }
}

TEST(RecordingStream, KeepsBytesAndSplitsLikeTheReadingRules) {
  struct Case {
    std::size_t chunkSize;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {16, {}},
      {16, bytesOf("no separator at all")},
      {16, std::vector<uint8_t>(FRAME_SEPARATOR.begin(), FRAME_SEPARATOR.end())},
      {16, sampleStream(200, 1)},
      {17, sampleStream(200, 2)},  // chunk size not a multiple of the separator's
      {4096, sampleStream(50, 3)},
  };
  for (const auto& c : cases) {
    RecordingStream stream(c.chunkSize);
    appendInPieces(stream, c.bytes, 7);
    EXPECT_EQ(stream.size(), c.bytes.size());
    EXPECT_EQ(stream.bytes(), c.bytes);
    EXPECT_EQ(stream.split(FRAME_SEPARATOR), referenceSplit(c.bytes)) << "chunk " << c.chunkSize;
  }
}

TEST(RecordingStream, SpillsPastTheThresholdAndKeepsMemoryBounded) {
  ScratchFolder cache;
  const std::vector<uint8_t> bytes = sampleStream(3000, 4);
  RecordingStream stream(64);
  stream.setSpillFolder(cache.path(), 256);
  std::size_t peakResident = 0;
  for (std::size_t at = 0; at < bytes.size(); at += 50) {
    stream.append(Bytes(bytes).subspan(at, std::min<std::size_t>(50, bytes.size() - at)));
    peakResident = std::max(peakResident, stream.residentBytes());
  }
  ASSERT_TRUE(stream.spilled()) << stream.lastError();
  EXPECT_LE(peakResident, 256u + 64u * 2);
  EXPECT_EQ(stream.bytes(), bytes);
  EXPECT_EQ(stream.split(FRAME_SEPARATOR), referenceSplit(bytes));
  // The spill file holds exactly the leading bytes of the stream.
  const std::string spilled = testing::readFileBytes(stream.spillPath());
  ASSERT_GT(spilled.size(), 0u);
  EXPECT_EQ(spilled, std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(spilled.size())));

  // Moving renames the spill file into place: the stream is then empty, nothing is left behind.
  const auto target = cache / "data";
  ASSERT_TRUE(stream.moveToFile(target)) << stream.lastError();
  EXPECT_EQ(testing::readFileBytes(target), std::string(bytes.begin(), bytes.end()));
  EXPECT_TRUE(stream.empty());
  EXPECT_FALSE(stream.spilled());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(cache.path()), {}), 1);

  RecordingStream loaded;
  ASSERT_TRUE(loaded.loadFromFile(target));
  EXPECT_EQ(loaded.bytes(), bytes);
  EXPECT_FALSE(loaded.loadFromFile(cache / "missing"));
  EXPECT_TRUE(loaded.empty());
}

TEST(RecordingStream, FailuresNeverDropBytes) {
  ScratchFolder cache;
  const std::vector<uint8_t> bytes = sampleStream(500, 5);

  // An unusable spill folder: everything stays in memory.
  RecordingStream unspillable(64);
  unspillable.setSpillFolder(cache / "no-such-folder", 128);
  appendInPieces(unspillable, bytes, 1);
  EXPECT_FALSE(unspillable.spilled());
  EXPECT_FALSE(unspillable.lastError().empty());
  EXPECT_EQ(unspillable.bytes(), bytes);

  // A target that cannot be written: both a memory and a spilled stream keep everything.
  for (const bool spill : {false, true}) {
    RecordingStream stream(64);
    if (spill) stream.setSpillFolder(cache.path(), 128);
    appendInPieces(stream, bytes, 2);
    EXPECT_EQ(stream.spilled(), spill);
    EXPECT_FALSE(stream.moveToFile(cache / "missing-folder" / "data"));
    EXPECT_EQ(stream.bytes(), bytes);
    const auto spillPath = stream.spillPath();
    stream.clear();
    EXPECT_TRUE(stream.empty());
    if (spill) {
      EXPECT_FALSE(std::filesystem::exists(spillPath));
    }
  }
}

}  // namespace
}  // namespace ostrel::codec
