#include <gtest/gtest.h>

#include "codec/StreamFormat.h"
#include "playback/FrameRecordReader.h"
#include "playback/PlaybackFixtures.h"

namespace ostrel::playback {
namespace {

using testing::asText;
using testing::TempFolder;
using testing::writeFile;

const std::string SEP(codec::FRAME_SEPARATOR.begin(), codec::FRAME_SEPARATOR.end());

std::vector<std::string> readAll(const std::filesystem::path& file, FrameRecordReader::Options options) {
  auto reader = FrameRecordReader::open(file, options);
  EXPECT_TRUE(reader.has_value());
  std::vector<std::string> records;
  std::vector<uint8_t> record;
  while (reader->next(&record) == FrameRecordReader::Result::Record) records.push_back(asText(record));
  EXPECT_EQ(reader->next(&record), FrameRecordReader::Result::End);
  return records;
}

struct SplitCase {
  const char* name;
  std::string stream;
  std::vector<std::string> records;
};

TEST(FrameRecordReader, SplitsLikeTheLoadingRulesAtEveryChunkSize) {
  const std::string partial = SEP.substr(0, 6);  // looks like the start of a separator
  const std::vector<SplitCase> cases = {
      {"empty data is one empty record", "", {""}},
      {"data without separator is one record", "abc", {"abc"}},
      {"lone separator", SEP, {""}},
      {"three unchanged ticks", SEP + SEP + SEP, {"", "", ""}},
      {"trailing bytes form a record", "a" + SEP + "bc", {"a", "bc"}},
      {"final separator adds nothing", "a" + SEP + "bc" + SEP, {"a", "bc"}},
      {"empty records between full ones",
       "a" + SEP + SEP + "b" + SEP + SEP + "c" + SEP,
       {"a", "", "b", "", "c"}},
      {"separator prefix inside a record",
       partial + SEP + partial + partial + SEP,
       {partial, partial + partial}},
  };
  TempFolder folder;
  for (const auto& test : cases) {
    const auto file = folder.path() / "stream";
    writeFile(file, test.stream);
    for (const std::size_t chunk : {1, 3, 9, 10, 11, 4096}) {
      SCOPED_TRACE(std::string(test.name) + ", chunk " + std::to_string(chunk));
      EXPECT_EQ(readAll(file, {.chunkSize = chunk}), test.records);
      auto reader = FrameRecordReader::open(file, {.chunkSize = chunk});
      EXPECT_EQ(reader->countRecords(), static_cast<int64_t>(test.records.size()));
    }
  }
}

TEST(FrameRecordReader, OversizedRecordIsHandedOutEmptyAndReadingGoesOn) {
  TempFolder folder;
  const auto file = folder.path() / "stream";
  // The record of exactly the limit ends where a chunk holds only the first
  // nine bytes of its separator: it is still whole.
  const std::string atLimit(1000, 'z');
  writeFile(file, "small" + SEP + atLimit + SEP + std::string(5000, 'x') + SEP + "tail" + SEP +
                      std::string(3000, 'y'));
  auto reader = FrameRecordReader::open(file, {.chunkSize = 64, .maxRecordSize = 1000});
  std::vector<uint8_t> record;
  const std::vector<std::pair<std::string, bool>> expected = {
      {"small", false}, {atLimit, false}, {"", true}, {"tail", false}, {"", true}};
  for (const auto& [text, oversized] : expected) {
    ASSERT_EQ(reader->next(&record), FrameRecordReader::Result::Record);
    EXPECT_EQ(asText(record), text);
    EXPECT_EQ(reader->lastRecordOversized(), oversized);
  }
  EXPECT_EQ(reader->next(&record), FrameRecordReader::Result::End);
  EXPECT_EQ(reader->countRecords(), 5);
}

TEST(FrameRecordReader, RewindAndReadingAfterTheNameIsGone) {
  TempFolder folder;
  const auto file = folder.path() / "stream";
  writeFile(file, "one" + SEP + "two" + SEP);
  auto reader = FrameRecordReader::open(file, {.chunkSize = 4});
  std::filesystem::remove(file);
  std::vector<uint8_t> record;
  ASSERT_EQ(reader->next(&record), FrameRecordReader::Result::Record);
  EXPECT_EQ(reader->countRecords(), 2);  // counting starts over and rewinds
  ASSERT_EQ(reader->next(&record), FrameRecordReader::Result::Record);
  EXPECT_EQ(asText(record), "one");
  EXPECT_FALSE(FrameRecordReader::open(folder.path() / "missing").has_value());
  EXPECT_FALSE(FrameRecordReader::open(folder.path()).has_value()) << "a folder is no data file";
}

}  // namespace
}  // namespace ostrel::playback
