#include <gtest/gtest.h>

#include <map>

#include "codec/StreamFormat.h"
#include "playback/FileTitle.h"
#include "playback/PlaybackFixtures.h"
#include "playback/Player.h"

namespace ostrel::playback {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;
using testing::writeFile;

const std::string SEP(codec::FRAME_SEPARATOR.begin(), codec::FRAME_SEPARATOR.end());

// GBK bytes of the settings file's section and key names.
std::string gbk(std::string_view utf8) {
  static const std::map<std::string_view, std::string> table = {
      {"视频设置", "\xCA\xD3\xC6\xB5\xC9\xE8\xD6\xC3"},
      {"周期", "\xD6\xDC\xC6\xDA"},
      {"自设信息", "\xD7\xD4\xC9\xE8\xD0\xC5\xCF\xA2"},
      {"内容", "\xC4\xDA\xC8\xDD"},
  };
  return table.at(utf8);
}

struct FakeView : PlayerView {
  fs::path cache;
  bool controlWindow = true;
  std::vector<std::string> captions, errors;
  std::vector<int> progress;
  std::vector<Overlay> overlays;
  int destroyed = 0;

  fs::path cacheFolder() const override { return cache; }
  ScreenSize screenSize() const override { return {1920, 1080}; }
  void setCaption(const std::string& text) override { captions.push_back(text); }
  bool controlWindowExists() const override { return controlWindow; }
  void drawProgress(int percent) override { progress.push_back(percent); }
  void drawOverlay(const Overlay& overlay) override { overlays.push_back(overlay); }
  void showError(const std::string& text) override { errors.push_back(text); }
  void destroyPlayerWindow() override { ++destroyed; }
};

struct FakeTimer : FrameTimer {
  int period = 0;
  void setPeriod(int milliseconds) override { period = milliseconds; }
};

struct RecordingSink : FrameSink {
  std::vector<std::string> records;
  void ApplyFrame(codec::Bytes record) override { records.emplace_back(record.begin(), record.end()); }
};

// Writes the given members into the folder, as a ZIP reader would.
struct FakeUnpacker : RecordingUnpacker {
  std::map<std::string, std::string> members;
  std::string failure;
  std::vector<fs::path> folders;
  UnpackResult unpack(const fs::path& archive, const fs::path& folder) override {
    folders.push_back(folder);
    if (!failure.empty()) return {false, archive.string() + " is not a recording file (" + failure + ")"};
    fs::create_directories(folder);
    for (const auto& [name, bytes] : members) writeFile(folder / name, bytes);
    return {true, {}};
  }
};

std::string config(int period) {
  return "[" + gbk("视频设置") + "]\r\n" + gbk("周期") + "=" + std::to_string(period) + "\r\n[" +
         gbk("自设信息") + "]\r\nX=10\r\nY=20\r\n" + gbk("内容") + "=\xC4\xE3\xBA\xC3 hi\r\n";
}

class PlayerTest : public ::testing::Test {
 protected:
  PlayerTest() {
    view.cache = cache.path();
    player.state().recordingPath = "/recordings/a.b.ORec";
    // Five records, the 2nd and 4th empty.
    unpacker.members = {{kRecordingDataMember, "r1" + SEP + SEP + "r3" + SEP + SEP + "r5" + SEP},
                        {kSettingsMember, config(100)}};
  }

  void tick(int times) {
    for (int i = 0; i < times; ++i) player.OnFrameTick();
  }

  TempFolder cache;
  FakeView view;
  FakeTimer timer;
  RecordingSink sink;
  FakeUnpacker unpacker;
  Player player{view, timer, sink, unpacker};
};

TEST_F(PlayerTest, FiveRecordsPlayOnePerTickWithCaptionAndProgress) {
  player.PlayRecording();
  EXPECT_EQ(timer.period, 100);
  EXPECT_EQ(player.state().isPlaying, 1);
  EXPECT_EQ(player.state().totalFrames, 5);
  tick(5);
  EXPECT_EQ(sink.records, (std::vector<std::string>{"r1", "", "r3", "", "r5"}));
  std::vector<std::string> captions;
  for (int n = 1; n <= 5; ++n) captions.push_back("播放窗口 当前帧:" + std::to_string(n) + " 总帧数:5");
  EXPECT_EQ(view.captions, captions);
  EXPECT_EQ(view.progress, (std::vector<int>{20, 40, 60, 80, 100}));
  ASSERT_EQ(view.overlays.size(), 5u);
  EXPECT_EQ(view.overlays[0].x, 10);
  EXPECT_EQ(view.overlays[0].y, 20);
  EXPECT_EQ(view.overlays[0].text, "你好 hi");

  tick(1);  // the end: caption stays, bar full, timer stopped, ready to play again
  EXPECT_EQ(view.captions.size(), 5u);
  EXPECT_EQ(view.progress.back(), 120);
  EXPECT_EQ(timer.period, 0);
  EXPECT_EQ(player.state().isPlaying, 0);
  EXPECT_EQ(view.destroyed, 0);
  player.PlayRecording();
  tick(1);
  EXPECT_EQ(sink.records.back(), "r1");
  EXPECT_TRUE(view.errors.empty());
}

TEST_F(PlayerTest, SuspendContinuesAndStopStartsOver) {
  player.PlayRecording();
  tick(2);
  player.SuspendPlayback();
  EXPECT_EQ(timer.period, 0);
  player.PlayRecording();
  EXPECT_EQ(timer.period, 100);
  tick(1);
  EXPECT_EQ(sink.records.back(), "r3");
  EXPECT_EQ(player.state().currentFrame, 3);
  EXPECT_EQ(unpacker.folders.size(), 1u) << "resuming does not load again";

  player.StopPlayback();
  EXPECT_EQ(timer.period, 0);
  player.PlayRecording();
  EXPECT_EQ(unpacker.folders.size(), 2u);
  tick(1);
  EXPECT_EQ(sink.records.back(), "r1");
  EXPECT_EQ(view.captions.back(), "播放窗口 当前帧:1 总帧数:5");
}

TEST_F(PlayerTest, EndWithoutControlWindowClosesThePlayer) {
  player.PlayRecording();
  view.controlWindow = false;
  tick(6);
  EXPECT_EQ(view.destroyed, 1);
  EXPECT_EQ(view.progress.size(), 0u);
  EXPECT_EQ(view.overlays.size(), 5u) << "nothing is drawn after the closing tick";
}

TEST_F(PlayerTest, UnpacksIntoTitleTempAndRemovesItBeforePlaying) {
  const fs::path stale = cache.path() / "Play" / "a.bTemp" / "leftover";
  writeFile(stale, "old");
  player.PlayRecording();
  ASSERT_EQ(unpacker.folders.size(), 1u);
  EXPECT_EQ(unpacker.folders[0], cache.path() / "Play" / "a.bTemp");
  EXPECT_FALSE(fs::exists(unpacker.folders[0]));
  tick(1);
  EXPECT_EQ(sink.records.back(), "r1") << "records are read after the folder is gone";
}

TEST_F(PlayerTest, SettingsDefaults) {
  struct Case {
    const char* name;
    std::string config;
    bool present;
    int period, x, y;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"no settings file", "", false, 0, 1930, 1090, ""},
      {"no period", "[" + gbk("自设信息") + "]\nX=1\nY=2\n", true, 0, 1, 2, ""},
      {"no overlay section", "[" + gbk("视频设置") + "]\n" + gbk("周期") + "=125\n", true, 125, 1930, 1090,
       ""},
      {"period not a number", "[" + gbk("视频设置") + "]\n" + gbk("周期") + "=fast\n", true, 0, 1930, 1090,
       ""},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    unpacker.members.erase(kSettingsMember);
    if (test.present) unpacker.members[kSettingsMember] = test.config;
    player.StopPlayback();
    player.PlayRecording();
    EXPECT_EQ(player.state().framePeriod, test.period);
    EXPECT_EQ(timer.period, test.period) << "period 0 leaves the timer stopped";
    EXPECT_EQ(player.state().overlay.x, test.x);
    EXPECT_EQ(player.state().overlay.y, test.y);
    EXPECT_EQ(player.state().overlay.text, test.text);
    EXPECT_EQ(player.state().totalFrames, 5);
  }
  EXPECT_TRUE(view.errors.empty());
}

TEST_F(PlayerTest, NotARecordingSaysWhyAndPlaysNothing) {
  struct Case {
    const char* name;
    std::string failure;
    bool withData;
    const char* mentions;
  };
  const std::vector<Case> cases = {
      {"not a ZIP", "not a ZIP archive", true, "not a ZIP archive"},
      {"member escapes the folder", "member name leaves the folder", true, "leaves the folder"},
      {"no data member", "", false, "录制文件Temp"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    unpacker.failure = test.failure;
    if (!test.withData) unpacker.members.erase(kRecordingDataMember);
    view.errors.clear();
    player.PlayRecording();
    ASSERT_EQ(view.errors.size(), 1u);
    EXPECT_NE(view.errors[0].find(test.mentions), std::string::npos) << view.errors[0];
    EXPECT_NE(view.errors[0].find("a.b.ORec"), std::string::npos);
    EXPECT_EQ(player.state().isPlaying, 0);
    EXPECT_EQ(timer.period, 0);
    EXPECT_FALSE(fs::exists(cache.path() / "Play" / "a.bTemp"));
  }
  player.state().recordingPath.clear();
  player.PlayRecording();
  EXPECT_EQ(view.errors.size(), 2u);
  player.state().recordingPath = "/recordings/a.b.ORec";
  view.cache = "relative/cache";
  player.PlayRecording();
  ASSERT_EQ(view.errors.size(), 3u);
  EXPECT_NE(view.errors[2].find("relative/cache"), std::string::npos) << view.errors[2];
  EXPECT_EQ(unpacker.folders.size(), 3u) << "nothing is unpacked";
}

TEST(FileTitle, StripsFolderAndLastExtension) {
  EXPECT_EQ(FileTitle("/rec/录像1.ORec"), "录像1");
  EXPECT_EQ(FileTitle("a.b.ORec"), "a.b");
  EXPECT_EQ(FileTitle("/rec/plain"), "plain");
  EXPECT_EQ(unpackFolderFor("/cache", "/x/a.b.ORec"), fs::path("/cache/Play/a.bTemp"));
}

TEST(PlaybackSettings, IntegerTextReadsLikeTheRecorderWroteIt) {
  const std::vector<std::pair<std::string_view, int>> numbers = {
      {"125", 125}, {"  -40", -40}, {"+7x", 7}, {"abc", 0}, {"", 0}, {"99999999999", 2147483647}};
  for (const auto& [text, value] : numbers) EXPECT_EQ(settingInteger(text), value) << text;
}

}  // namespace
}  // namespace ostrel::playback
