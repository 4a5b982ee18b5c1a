#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "codec/StreamFormat.h"
#include "platform/zip/ZipReader.h"
#include "recording/JournalSettingsFile.h"
#include "recording/RecordingJournal.h"
#include "recording/UnfinishedJournalList.h"
#include "support/ScratchFolder.h"

namespace ostrel::recording {
namespace {

namespace fs = std::filesystem;
using testing::readFileBytes;
using testing::ScratchFolder;
using testing::writeFileBytes;

std::string sampleRecording(int frames) {
  std::vector<uint8_t> stream;
  for (int i = 0; i < frames; ++i) {
    if (i % 3 != 1) codec::appendRegionRecord(stream, i * 16, i, std::vector<uint8_t>(50 + i, uint8_t(i)));
    stream.insert(stream.end(), codec::FRAME_SEPARATOR.begin(), codec::FRAME_SEPARATOR.end());
  }
  return {stream.begin(), stream.end()};
}

codec::Bytes bytesOf(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

const std::string kSeparator(codec::FRAME_SEPARATOR.begin(), codec::FRAME_SEPARATOR.end());

class QuietView : public PackagingView {
 public:
  void setHint(std::string_view) override {}
  void setProgress(int) override {}
  void showResult(const PackageResult& result) override { shown = result; }
  PackageResult shown;
};

// Frame count of the data member of a recording file.
std::size_t framesIn(const fs::path& recording, const fs::path& scratch) {
  const platform::UnzipResult unpacked = platform::unpackZipArchive(recording, scratch);
  if (!unpacked.ok) return 0;
  return codec::splitFrameRecords(bytesOf(readFileBytes(scratch / "录制文件Temp"))).size();
}

struct JournalFixture : ::testing::Test {
  ScratchFolder root;
  fs::path cache = root / "TempFiles";
  fs::path save = root / "SaveFiles";
  std::string recorded = sampleRecording(40);
  QuietView view;

  void SetUp() override { setenv("XDG_STATE_HOME", (root / "state").c_str(), 1); }

  JournalDescription description(const std::string& name, int64_t start) {
    return {name, save, {5, "1", "2", "字"}, 2, start};
  }
  PackageRequest requestFor(const std::string& name) {
    PackageRequest r;
    r.cacheFolder = cache;
    r.saveFolder = save;
    r.fileName = name;
    r.settings = {5, "1", "2", "字"};
    return r;
  }
  // A journal of `bytes` as a recorder that died leaves it.
  fs::path leaveJournal(const fs::path& folder, const std::string& name, int64_t start,
                        const std::string& bytes) {
    codec::RecordingStream stream;
    const JournalStart begun = BeginJournal(stream, folder, description(name, start));
    EXPECT_TRUE(begun.ok) << begun.error;
    stream.append(bytesOf(bytes));
    return begun.journal;
  }
};

TEST_F(JournalFixture, TrimCutsAfterTheLastCompleteFrame) {
  const std::string frames = sampleRecording(5);
  struct Case {
    const char* what;
    std::string bytes;
    uint64_t frames;
    uint64_t kept;
  };
  const std::vector<Case> cases = {
      {"exactly at a separator", frames, 5, frames.size()},
      {"inside a record", frames + "\xFF\xFF\x10\x00\xFF\xFF\x20", 5, frames.size()},
      {"inside the separator", frames + kSeparator.substr(0, 6), 5, frames.size()},
      {"no separator at all", "\xFF\xFF\x10\x00", 0, 0},
      {"empty", "", 0, 0},
      // Journals are read in blocks of 4 MiB: a separator across the first boundary.
      {"long", std::string((4 << 20) - 4, 'a') + kSeparator + "xy", 1, (4 << 20) + 6},
  };
  fs::create_directories(cache);
  for (const Case& c : cases) {
    const fs::path journal = cache / "clip.20260101-000000.ostrel-journal";
    writeFileBytes(journal, c.bytes);
    const JournalTrim trim = TrimJournal(journal);
    ASSERT_TRUE(trim.ok) << c.what << ": " << trim.error;
    EXPECT_EQ(trim.frames, c.frames) << c.what;
    EXPECT_EQ(trim.bytes, c.kept) << c.what;
    EXPECT_EQ(trim.cutBytes, c.bytes.size() - c.kept) << c.what;
    EXPECT_EQ(readFileBytes(journal), c.bytes.substr(0, c.kept)) << c.what;
  }

  // Only journals are ever cut: not another file, not through a link.
  const std::string victim = frames + "tail";
  writeFileBytes(root / "victim", victim);
  fs::create_symlink(root / "victim", cache / "link.ostrel-journal");
  EXPECT_FALSE(TrimJournal(cache / "link.ostrel-journal").ok);
  EXPECT_FALSE(TrimJournal(root / "victim").ok);
  EXPECT_FALSE(DiscardJournal(root / "victim"));
  EXPECT_EQ(readFileBytes(root / "victim"), victim);
}

TEST_F(JournalFixture, UnfinishedJournalsAreFoundRecoveredAndDiscarded) {
  const fs::path otherCache = root / "OtherCache";
  // Died in the middle of a frame; its own name is taken by now.
  const fs::path cut = leaveJournal(cache, "录像1", 1000, recorded + "\xFF\xFF\x01\x00\xFF");
  // Known only from the list of unfinished journals.
  const fs::path listed = leaveJournal(otherCache, "demo", 2000, recorded);
  // Neither described nor listed: found in the cache folder by its name.
  const fs::path bare = cache / "clip.20260101-120000.ostrel-journal";
  writeFileBytes(bare, recorded);
  // A live recording is never offered.
  codec::RecordingStream live;
  ASSERT_TRUE(BeginJournal(live, cache, description("live", 3000)).ok);
  live.append(bytesOf(recorded));

  fs::create_directories(save);
  writeFileBytes(save / "录像1.ORec", "older recording");

  const std::vector<fs::path> caches = {cache};
  std::vector<UnfinishedJournal> found = FindUnfinishedJournals(caches);
  ASSERT_EQ(found.size(), 3u);
  std::sort(found.begin(), found.end(), [](auto& a, auto& b) { return a.journal < b.journal; });
  std::vector<fs::path> paths;
  for (const auto& j : found) paths.push_back(j.journal);
  std::vector<fs::path> expected = {cut, listed, bare};
  std::sort(expected.begin(), expected.end());
  ASSERT_EQ(paths, expected);
  for (const auto& j : found) {
    EXPECT_EQ(j.completeFrames, 40u) << j.journal;
    if (j.journal == bare) {
      EXPECT_FALSE(j.described);
      EXPECT_EQ(j.description.fileName, "clip");
    } else {
      EXPECT_TRUE(j.described);
      EXPECT_EQ(j.description.saveFolder, save);
      EXPECT_EQ(j.description.settings.overlayText, "字");
    }
  }
  const auto entry = [&](const fs::path& p) {
    return *std::find_if(found.begin(), found.end(), [&](auto& j) { return j.journal == p; });
  };

  // Saved under the next free name, never over the older file; the cut frame is dropped.
  const PackageResult recovered = RecoverJournal(entry(cut), {}, view);
  ASSERT_TRUE(recovered.ok) << recovered.error;
  EXPECT_EQ(recovered.recordingFile, save / "录像2.ORec");
  EXPECT_EQ(readFileBytes(save / "录像1.ORec"), "older recording");
  EXPECT_EQ(framesIn(recovered.recordingFile, root / "play1"), 40u);
  EXPECT_EQ(readFileBytes(root / "play1" / "Config"), MakeRecordingConfig({5, "1", "2", "字"}).serialize());
  EXPECT_FALSE(fs::exists(cut));
  EXPECT_FALSE(fs::exists(JournalSettingsPath(cut)));

  // Without a save folder of its own it needs one from the caller.
  EXPECT_FALSE(RecoverJournal(entry(bare), {}, view).ok);
  EXPECT_TRUE(fs::exists(bare));
  const PackageResult named = RecoverJournal(entry(bare), root / "Elsewhere", view);
  ASSERT_TRUE(named.ok) << named.error;
  EXPECT_EQ(named.recordingFile, root / "Elsewhere" / "clip.ORec");

  EXPECT_TRUE(DiscardJournal(listed));
  EXPECT_FALSE(fs::exists(listed));
  EXPECT_FALSE(DiscardJournal(live.journalPath()));  // still recording
  EXPECT_TRUE(FindUnfinishedJournals(caches).empty());
  EXPECT_EQ(ReadUnfinishedJournalList(), std::vector<fs::path>{live.journalPath()});
  live.clear();
  EXPECT_TRUE(PruneUnfinishedJournalList().empty());
}

TEST_F(JournalFixture, AFailedPackingKeepsTheJournalAndTheNextRecordingStartsFresh) {
  fs::create_directories(save);
  writeFileBytes(save / "录像1.ORec", "older recording");
  codec::RecordingStream stream;
  const JournalStart begun = BeginJournal(stream, cache, description("录像1", 1000));
  ASSERT_TRUE(begun.ok) << begun.error;
  stream.append(bytesOf(recorded));
  PackageRequest request = requestFor("录像1");
  request.writeArchive = [](const fs::path& path, auto, auto) {
    writeFileBytes(path, "half an archive");
    return platform::ZipWriteResult{false, "disk full"};
  };
  const PackageResult result = PackageRecording(stream, request, view);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.keptJournal, begun.journal);
  EXPECT_NE(result.message.find(begun.journal.string()), std::string::npos) << result.message;
  EXPECT_NE(result.message.find("ostrel recover"), std::string::npos) << result.message;
  EXPECT_EQ(readFileBytes(begun.journal), recorded);
  EXPECT_EQ(readFileBytes(save / "录像1.ORec"), "older recording");
  EXPECT_FALSE(fs::exists(cache / "录像1Temp"));
  EXPECT_EQ(ReadUnfinishedJournalList(), std::vector<fs::path>{begun.journal});

  EXPECT_TRUE(stream.empty());
  EXPECT_FALSE(stream.journaling());
  const JournalStart next = BeginJournal(stream, cache, description("录像2", 1000));
  ASSERT_TRUE(next.ok) << next.error;
  EXPECT_NE(next.journal, begun.journal);
  EXPECT_EQ(stream.size(), 0u);
  stream.clear();
}

TEST_F(JournalFixture, PackingKilledMidArchiveLeavesTheOlderFileAndTheJournal) {
  fs::create_directories(save);
  writeFileBytes(save / "录像1.ORec", "older recording");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    codec::RecordingStream stream;
    if (!BeginJournal(stream, cache, description("录像1", 1000)).ok) _exit(3);
    stream.append(bytesOf(recorded));
    PackageRequest request = requestFor("录像1");
    request.writeArchive = [](const fs::path& path, auto members, auto progress) {
      // Write a real archive, cut it, and die before it is complete.
      platform::writeZipArchive(path, members, progress);
      fs::resize_file(path, fs::file_size(path) / 2);
      raise(SIGKILL);
      return platform::ZipWriteResult{true, {}};
    };
    PackageRecording(stream, request, view);
    _exit(4);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;

  EXPECT_EQ(readFileBytes(save / "录像1.ORec"), "older recording");
  for (const auto& item : fs::directory_iterator(save)) {
    if (item.path().extension() == ".ORec") {
      EXPECT_EQ(item.path(), save / "录像1.ORec");
    }
  }
  const std::vector<fs::path> caches = {cache};
  const std::vector<UnfinishedJournal> found = FindUnfinishedJournals(caches);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].completeFrames, 40u);
  const PackageResult recovered = RecoverJournal(found[0], {}, view);
  ASSERT_TRUE(recovered.ok) << recovered.error;
  EXPECT_EQ(framesIn(recovered.recordingFile, root / "play"), 40u);
  EXPECT_EQ(readFileBytes(save / "录像1.ORec"), "older recording");
  std::vector<fs::path> left;
  for (const auto& item : fs::directory_iterator(save)) left.push_back(item.path().filename());
  std::vector<fs::path> expected = {"录像1.ORec", recovered.recordingFile.filename()};
  std::sort(left.begin(), left.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(left, expected) << "the half-written temporary of the killed pack is cleared away";
}

TEST(JournalSettingsFile, RoundTripsAnyText) {
  const JournalDescription d{
      "名 with\nnewline\\", "/tmp/保存", {25, "-3", "x=y", "行1\r\n行2"}, 3, 1765432100};
  const auto parsed = ParseJournalDescription(SerializeJournalDescription(d));
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->fileName, d.fileName);
  EXPECT_EQ(parsed->saveFolder, d.saveFolder);
  EXPECT_EQ(parsed->settings.frameRate, 25);
  EXPECT_EQ(parsed->settings.overlayX, "-3");
  EXPECT_EQ(parsed->settings.overlayY, "x=y");
  EXPECT_EQ(parsed->settings.overlayText, d.settings.overlayText);
  EXPECT_EQ(parsed->compressionKind, 3);
  EXPECT_EQ(parsed->startTime, d.startTime);
  EXPECT_FALSE(ParseJournalDescription("file-name=x\n").has_value());  // not one of ours
}

}  // namespace
}  // namespace ostrel::recording
