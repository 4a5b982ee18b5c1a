#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
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

std::string fileOf(const std::vector<uint8_t>& bytes, std::size_t count) {
  return std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
}

TEST(RecordingStream, AJournalHoldsEveryAppendAtOnceAndOutlivesTheStream) {
  ScratchFolder cache;
  const auto path = cache / "clip.ostrel-journal";
  const std::vector<uint8_t> bytes = sampleStream(300, 4);
  {
    RecordingStream stream(64);
    stream.append(Bytes(bytes).first(5));  // what came before the journal goes into it too
    ASSERT_TRUE(stream.startJournal(path)) << stream.lastError();
    std::mt19937 random(3);
    for (std::size_t at = 5; at < bytes.size();) {
      const std::size_t n = std::min<std::size_t>(bytes.size() - at, 1 + random() % 37);
      stream.append(Bytes(bytes).subspan(at, n));
      at += n;
      // Written through, nothing kept in memory: a killed process loses nothing appended.
      ASSERT_EQ(testing::readFileBytes(path), fileOf(bytes, at));
      ASSERT_EQ(stream.residentBytes(), 0u);
    }
    EXPECT_EQ(stream.size(), bytes.size());
    EXPECT_EQ(stream.split(FRAME_SEPARATOR), referenceSplit(bytes));

    // Exclusive: no second journal of that name, no taking over a live one.
    RecordingStream other;
    EXPECT_FALSE(other.startJournal(path));
    EXPECT_FALSE(other.adoptJournal(path));
    EXPECT_TRUE(other.empty());
  }  // dropped without packing, like a crash: the journal stays

  RecordingStream adopted;
  ASSERT_TRUE(adopted.adoptJournal(path)) << adopted.lastError();
  EXPECT_EQ(adopted.bytes(), bytes);
  EXPECT_EQ(adopted.releaseJournal(), 0u);
  EXPECT_TRUE(adopted.empty());
  EXPECT_EQ(testing::readFileBytes(path), fileOf(bytes, bytes.size()));

  // Moving a journalled stream copies it out and deletes the journal.
  ASSERT_TRUE(adopted.adoptJournal(path));
  const auto target = cache / "data";
  ASSERT_TRUE(adopted.moveToFile(target)) << adopted.lastError();
  EXPECT_EQ(testing::readFileBytes(target), fileOf(bytes, bytes.size()));
  EXPECT_TRUE(adopted.empty());
  EXPECT_FALSE(std::filesystem::exists(path));

  // clear() throws a journal away.
  RecordingStream discarded;
  ASSERT_TRUE(discarded.startJournal(path));
  discarded.append(bytes);
  discarded.clear();
  EXPECT_TRUE(discarded.empty());
  EXPECT_FALSE(discarded.journaling());
  EXPECT_FALSE(std::filesystem::exists(path));

  RecordingStream loaded;
  ASSERT_TRUE(loaded.loadFromFile(target));
  EXPECT_EQ(loaded.bytes(), bytes);
  EXPECT_FALSE(loaded.loadFromFile(cache / "missing"));
  EXPECT_TRUE(loaded.empty());
}

// Lets files of this process grow only to `limit` bytes, like a disk that is full.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t limit) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved_;
    lowered.rlim_cur = limit;
    ::setrlimit(RLIMIT_FSIZE, &lowered);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*oldHandler_)(int) = nullptr;
};

TEST(RecordingStream, AJournalThatCannotBeWrittenKeepsTheBytesAndWritesThemLater) {
  ScratchFolder cache;
  const auto path = cache / "clip.ostrel-journal";
  const std::vector<uint8_t> bytes = sampleStream(300, 6);
  ASSERT_GT(bytes.size(), 4000u);
  const std::size_t half = bytes.size() / 2;
  RecordingStream stream(64);
  ASSERT_TRUE(stream.startJournal(path));
  {
    FileSizeLimit full(1000);
    appendInPieces(stream,
                   std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(half)), 8);
    // The file holds exactly the first 1000 bytes, the rest waits in memory.
    EXPECT_FALSE(stream.lastError().empty());
    EXPECT_EQ(stream.journalBytes(), 1000u);
    EXPECT_EQ(testing::readFileBytes(path), fileOf(bytes, 1000));
    EXPECT_EQ(stream.bytes(),
              std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(half)));
    EXPECT_FALSE(stream.flushJournal());
  }
  // Room again: the next append writes what waited, then itself.
  stream.append(Bytes(bytes).subspan(half));
  EXPECT_EQ(stream.residentBytes(), 0u);
  EXPECT_EQ(testing::readFileBytes(path), fileOf(bytes, bytes.size()));
  EXPECT_TRUE(stream.flushJournal());

  // Letting go while the disk is still full says how much never reached the file.
  stream.clear();
  ASSERT_TRUE(stream.startJournal(path));
  {
    FileSizeLimit full(100);
    stream.append(Bytes(bytes).first(300));
    EXPECT_EQ(stream.releaseJournal(), 200u);
  }
  EXPECT_TRUE(stream.empty());
  EXPECT_EQ(testing::readFileBytes(path), fileOf(bytes, 100));
}

TEST(RecordingStream, AFailedMoveKeepsEveryByte) {
  ScratchFolder cache;
  const std::vector<uint8_t> bytes = sampleStream(500, 5);
  for (const bool journal : {false, true}) {
    const auto path = cache / "clip.ostrel-journal";
    RecordingStream stream(64);
    if (journal) {
      ASSERT_TRUE(stream.startJournal(path));
    }
    appendInPieces(stream, bytes, 2);
    EXPECT_FALSE(stream.moveToFile(cache / "missing-folder" / "data"));
    EXPECT_EQ(stream.bytes(), bytes);
    EXPECT_EQ(stream.journaling(), journal);
    stream.clear();
    EXPECT_TRUE(stream.empty());
    EXPECT_FALSE(std::filesystem::exists(path));
  }
}

}  // namespace
}  // namespace ostrel::codec
