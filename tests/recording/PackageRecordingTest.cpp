#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "codec/StreamFormat.h"
#include "platform/zip/ZipReader.h"
#include "recording/PackageRecording.h"
#include "recording/RecordingConfig.h"
#include "recording/RecordingJournal.h"
#include "recording/UnfinishedJournalList.h"
#include "support/ScratchFolder.h"

namespace ostrel::recording {
namespace {

namespace fs = std::filesystem;
using testing::readFileBytes;
using testing::ScratchFolder;
using testing::writeFileBytes;

const std::string kVideo = "[\xCA\xD3\xC6\xB5\xC9\xE8\xD6\xC3]\r\n\xD6\xDC\xC6\xDA=";  // [视频设置] 周期=
const std::string kOverlay = "[\xD7\xD4\xC9\xE8\xD0\xC5\xCF\xA2]\r\n";                 // [自设信息]
const std::string kText = "\xC4\xDA\xC8\xDD=";                                         // 内容=

TEST(RecordingConfig, BytesAreWhatTheProfileWriterMakes) {
  struct Case {
    RecordingSettings settings;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {{}, kVideo + "125\r\n" + kOverlay + "X=0\r\nY=0\r\n" + kText + "\r\n"},
      {{25, "10", "-20", "测试文字"},
       kVideo + "40\r\n" + kOverlay + "X=10\r\nY=-20\r\n" + kText + "\xB2\xE2\xCA\xD4\xCE\xC4\xD7\xD6\r\n"},
      {{0, "a", "", "x😀"}, kVideo + "1000\r\n" + kOverlay + "X=a\r\nY=\r\n" + kText + "x?\r\n"},
      {{99, "0", "0", ""}, kVideo + "40\r\n" + kOverlay + "X=0\r\nY=0\r\n" + kText + "\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MakeRecordingConfig(c.settings).serialize(), c.bytes) << c.settings.frameRate;
  }
}

TEST(RecordingConfig, ParsesBackToTheFormsTexts) {
  const auto written = platform::IniDocument::parse(MakeRecordingConfig({8, "10", "20", "你好"}).serialize());
  EXPECT_EQ(written.get(kVideoSection, kPeriodKey), "125");
  EXPECT_EQ(written.get(kOverlaySection, kOverlayXKey), "10");
  EXPECT_EQ(written.get(kOverlaySection, kOverlayYKey), "20");
  EXPECT_EQ(written.get(kOverlaySection, kOverlayTextKey), "你好");
}

TEST(FormatKilobytes, ThreeDecimalsAndGroupedThousands) {
  const std::pair<int64_t, const char*> cases[] = {
      {1234567, "1,205.632"},
      {0, "0.000"},
      {-1, "-0.001"},
      {1024, "1.000"},
      {1023, "0.999"},
      {1024 * 1000, "1,000.000"},
      {1073741824, "1,048,576.000"},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(FormatKilobytes(bytes), text) << bytes;
}

class RecordingView : public PackagingView {
 public:
  std::vector<std::string> events;
  std::vector<int> positions;
  PackageResult shown;
  void setHint(std::string_view text) override { events.push_back(std::string(text)); }
  void setProgress(int position) override { positions.push_back(position); }
  void refreshPreview() override { events.push_back("preview"); }
  void showResult(const PackageResult& result) override {
    events.push_back("result");
    shown = result;
  }
};

std::vector<uint8_t> sampleRecording(int frames) {
  std::vector<uint8_t> stream;
  for (int i = 0; i < frames; ++i) {
    if (i % 3 != 1) {
      std::vector<uint8_t> payload(100 + i * 37, static_cast<uint8_t>(i));
      codec::appendRegionRecord(stream, i * 16, i, payload);
    }
    stream.insert(stream.end(), codec::FRAME_SEPARATOR.begin(), codec::FRAME_SEPARATOR.end());
  }
  return stream;
}

struct PackageFixture : ::testing::Test {
  ScratchFolder root;
  void SetUp() override { setenv("XDG_STATE_HOME", (root / "state").c_str(), 1); }
  fs::path cache = root / "TempFiles";
  fs::path save = root / "SaveFiles";
  codec::RecordingStream stream{4096};
  std::vector<uint8_t> recorded = sampleRecording(300);
  RecordingView view;
  bool grabberClosed = false;

  PackageRequest request(const std::string& name = "录像1") {
    PackageRequest r;
    r.cacheFolder = cache;
    r.saveFolder = save;
    r.fileName = name;
    r.settings = {10, "5", "6", "文字"};
    r.closeGrabber = [this] { grabberClosed = true; };
    return r;
  }
};

TEST_F(PackageFixture, RoundTripGivesTheSameRecords) {
  for (const bool journalled : {false, true}) {
    SCOPED_TRACE(journalled ? "journal" : "memory");
    ScratchFolder run;
    cache = run / "TempFiles";
    save = run / "SaveFiles";
    view = {};
    fs::create_directories(cache);
    writeFileBytes(cache / "unrelated", "kept");
    if (journalled) {
      const JournalStart start = BeginJournal(stream, cache, {"录像1", save, request().settings, 2, 0});
      ASSERT_TRUE(start.ok) << start.error;
      EXPECT_EQ(ReadUnfinishedJournalList(), std::vector<fs::path>{start.journal});
    }
    stream.append(recorded);

    const PackageResult result = PackageRecording(stream, request(), view);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(grabberClosed);
    EXPECT_TRUE(stream.empty());
    EXPECT_FALSE(stream.journaling());
    EXPECT_EQ(result.recordingFile, save / "录像1.ORec");
    EXPECT_EQ(result.sizeBytes, static_cast<int64_t>(fs::file_size(save / "录像1.ORec")));
    EXPECT_EQ(result.message, "生成Orec完毕,大小:" + FormatKilobytes(result.sizeBytes) + "Kb");
    EXPECT_EQ(result.caption, "生成完毕");
    EXPECT_EQ(result.nextFileName, "录像2");
    EXPECT_EQ(view.events, (std::vector<std::string>{"preview", "正在生成录制文件...", "正在写出配置文件...",
                                                     "正在保存为OREC文件...", "result"}));
    ASSERT_GE(view.positions.size(), 3u);
    EXPECT_EQ(view.positions[0], 10);
    EXPECT_EQ(view.positions[1], 20);
    EXPECT_EQ(view.positions.back(), 120);
    EXPECT_TRUE(std::is_sorted(view.positions.begin(), view.positions.end()));
    // Only what the step wrote is gone (the journal too); the cache keeps everything else.
    EXPECT_EQ(std::distance(fs::directory_iterator(cache), {}), 1);
    EXPECT_EQ(readFileBytes(cache / "unrelated"), "kept");
    EXPECT_EQ(std::distance(fs::directory_iterator(save), {}), 1);
    EXPECT_TRUE(ReadUnfinishedJournalList().empty());

    const platform::UnzipResult unpacked = platform::unpackZipArchive(result.recordingFile, run / "play");
    ASSERT_TRUE(unpacked.ok) << unpacked.error;
    EXPECT_EQ(unpacked.written,
              (std::vector<fs::path>{run / "play" / "录制文件Temp", run / "play" / "Config"}));
    codec::RecordingStream loaded;
    ASSERT_TRUE(loaded.loadFromFile(run / "play" / "录制文件Temp"));
    std::vector<std::vector<uint8_t>> expected;
    for (codec::Bytes r : codec::splitFrameRecords(recorded)) expected.emplace_back(r.begin(), r.end());
    EXPECT_EQ(loaded.split(codec::FRAME_SEPARATOR), expected);
    EXPECT_EQ(readFileBytes(run / "play" / "Config"), MakeRecordingConfig(request().settings).serialize());
  }
}

TEST_F(PackageFixture, AnEmptyRecordingStillMakesAFileAndSoundIsAdded) {
  PackageRequest r = request();
  r.saveSound = [](const fs::path& path) {
    writeFileBytes(path, "RIFF....WAVE");
    return true;
  };
  const PackageResult result = PackageRecording(stream, r, view);
  ASSERT_TRUE(result.ok) << result.error;
  const platform::UnzipResult unpacked = platform::unpackZipArchive(result.recordingFile, root / "play");
  ASSERT_TRUE(unpacked.ok) << unpacked.error;
  EXPECT_EQ(unpacked.written, (std::vector<fs::path>{root / "play" / "录制文件Temp", root / "play" / "Config",
                                                     root / "play" / "Music"}));
  EXPECT_EQ(fs::file_size(root / "play" / "录制文件Temp"), 0u);
}

TEST_F(PackageFixture, AFailedArchiveKeepsTheDataAndTheOlderRecording) {
  fs::create_directories(save);
  writeFileBytes(save / "录像1.ORec", "older recording");
  stream.append(recorded);
  PackageRequest r = request();
  r.writeArchive = [](const fs::path& path, auto, auto) {
    writeFileBytes(path, "half an archive");
    return platform::ZipWriteResult{false, "disk full"};
  };
  const PackageResult result = PackageRecording(stream, r, view);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.caption, "生成失败");
  EXPECT_EQ(result.keptFolder, cache / "录像1Temp");
  EXPECT_NE(result.message.find((cache / "录像1Temp").string()), std::string::npos) << result.message;
  EXPECT_NE(result.message.find("disk full"), std::string::npos);
  EXPECT_EQ(readFileBytes(save / "录像1.ORec"), "older recording");
  EXPECT_EQ(std::distance(fs::directory_iterator(save), {}), 1);  // no temporary left
  const std::string kept = readFileBytes(cache / "录像1Temp" / "录制文件Temp");
  EXPECT_EQ(kept, std::string(recorded.begin(), recorded.end()));
  EXPECT_TRUE(fs::exists(cache / "录像1Temp" / "Config"));

  // The next recording of the same name does not touch the kept files.
  codec::RecordingStream next;
  next.append(recorded);
  const PackageResult second = PackageRecording(next, request(), view);
  ASSERT_TRUE(second.ok) << second.error;
  EXPECT_EQ(readFileBytes(cache / "录像1Temp" / "录制文件Temp"), kept);
  EXPECT_FALSE(fs::exists(cache / "录像1Temp2"));
  EXPECT_NE(readFileBytes(save / "录像1.ORec"), "older recording");
}

TEST_F(PackageFixture, AnUnusableCacheOrNameKeepsTheStream) {
  writeFileBytes(root / "blocker", "a file where the cache should be");
  stream.append(recorded);
  for (const auto& [cacheFolder, name] : std::vector<std::pair<fs::path, std::string>>{
           {root / "blocker" / "TempFiles", "录像1"}, {cache, "../../escape"}, {cache, ""}}) {
    PackageRequest r = request(name);
    r.cacheFolder = cacheFolder;
    const PackageResult result = PackageRecording(stream, r, view);
    EXPECT_FALSE(result.ok) << name;
    EXPECT_TRUE(result.keptFolder.empty());
    EXPECT_EQ(result.caption, "生成失败");
    EXPECT_EQ(stream.bytes(), recorded);
  }
  EXPECT_FALSE(fs::exists(root / "escape"));
  EXPECT_FALSE(fs::exists(root / "escape.ORec"));
}

TEST_F(PackageFixture, ASaveFolderWithoutRoomForTheArchiveFailsBeforeItAndKeepsEverything) {
  const uint64_t megabyte = uint64_t{1} << 20;
  const uint64_t dataBytes = recorded.size();
  struct Case {
    const char* name;
    std::optional<uint64_t> freeBytes;
    bool ok;
  };
  const std::vector<Case> cases = {
      {"nothing free", 0, false},
      {"room for the data but not for Config and the margin", dataBytes + 100, false},
      {"room for the data, Config and the margin", dataBytes + 2 * megabyte, true},
      {"a file system that cannot be asked", std::nullopt, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(root.path());
    fs::create_directories(save);
    writeFileBytes(save / "录像1.ORec", "older recording");
    stream.append(recorded);
    PackageRequest r = request();
    std::vector<fs::path> asked;
    r.freeSpace = [&](const fs::path& folder) {
      asked.push_back(folder);
      return c.freeBytes;
    };
    const PackageResult result = PackageRecording(stream, r, view);
    EXPECT_EQ(asked, std::vector<fs::path>{save});
    ASSERT_EQ(result.ok, c.ok) << result.error;
    if (c.ok) continue;
    EXPECT_EQ(result.caption, "生成失败");
    EXPECT_EQ(result.keptFolder, cache / "录像1Temp");
    EXPECT_NE(result.message.find("保存文件夹“" + save.string() + "”只剩 "), std::string::npos)
        << result.message;
    EXPECT_EQ(readFileBytes(save / "录像1.ORec"), "older recording");
    EXPECT_EQ(std::distance(fs::directory_iterator(save), {}), 1) << "no archive was begun";
    EXPECT_EQ(readFileBytes(cache / "录像1Temp" / "录制文件Temp"),
              std::string(recorded.begin(), recorded.end()));
    EXPECT_TRUE(fs::exists(cache / "录像1Temp" / "Config"));
  }
}

}  // namespace
}  // namespace ostrel::recording
