#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "codec/StreamFormat.h"
#include "recording/RecordingController.h"

namespace ostrel::recording {
namespace {

struct ItemState {
  bool visible = true;
  bool enabled = true;
  bool operator==(const ItemState&) const = default;
};

// A main window with the form's start-up state.
struct FakeView : RecordingView {
  std::map<ControlItem, ItemState> items = {{ControlItem::Start, {true, true}},
                                            {ControlItem::Stop, {false, true}},
                                            {ControlItem::Pause, {true, false}},
                                            {ControlItem::Resume, {false, true}}};
  bool tabsEnabled = true;
  std::string frameRate = "8";
  int kind = 2;
  bool layered = false;
  bool sound = false;

  bool isItemVisible(ControlItem item) const override { return items.at(item).visible; }
  void setItemVisible(ControlItem item, bool visible) override { items[item].visible = visible; }
  void setItemEnabled(ControlItem item, bool enabled) override { items[item].enabled = enabled; }
  void setModeTabsEnabled(bool enabled) override { tabsEnabled = enabled; }
  std::string frameRateText() const override { return frameRate; }
  int compressionKind() const override { return kind; }
  bool layeredCaptureChecked() const override { return layered; }
  bool recordSoundChecked() const override { return sound; }

  std::vector<std::pair<std::string, std::string>> problems;  // caption, text
  void reportProblem(std::string_view caption, std::string_view text) override {
    problems.emplace_back(caption, text);
  }
};

struct FakeTimer : RecordTimer {
  int period = 0;
  void setPeriod(int ms) override { period = ms; }
};

struct FakeBlinker : TrayBlinker {
  std::vector<int32_t> calls;
  void SetTrayBlinking(int32_t count) override { calls.push_back(count); }
};

struct FakeCapture : FrameCapture {
  std::vector<CaptureSettings> inits;
  std::vector<std::vector<uint8_t>> frames;  // handed out in turn, then empty records
  std::size_t next = 0;
  std::vector<uint8_t> current;
  bool Init(const CaptureSettings& s) override {
    inits.push_back(s);
    return true;
  }
  std::span<const uint8_t> CaptureFrame() override {
    current = next < frames.size() ? frames[next++] : std::vector<uint8_t>{};
    return current;
  }
};

struct FakeStream : StreamSink {
  std::vector<std::vector<uint8_t>> appends;
  void append(std::span<const uint8_t> b) override { appends.emplace_back(b.begin(), b.end()); }
};

struct FakeSound : SoundControl {
  std::vector<std::string> calls;
  bool Start() override { return calls.push_back("start"), true; }
  bool Pause() override { return calls.push_back("pause"), true; }
  bool Resume() override { return calls.push_back("resume"), true; }
};

struct FakePackager : RecordingPackager {
  int runs = 0;
  std::function<void()> whilePacking;  // runs as the final message box would let a hotkey run
  void PackageRecording() override {
    ++runs;
    if (whilePacking) whilePacking();
  }
};

struct FakeDiskSpace : DiskSpaceMonitor {
  std::optional<std::string> reason;  // set: the disk is short
  int asked = 0;
  std::optional<std::string> shortage() override {
    ++asked;
    return reason;
  }
};

struct Rig {
  FakeView view;
  FakeTimer timer;
  FakeBlinker blinker;
  FakeCapture capture;
  FakeStream stream;
  FakeSound sound;
  FakePackager packager;
  FakeDiskSpace disk;
  RecordingController controller{{view, timer, blinker, capture, stream, sound, packager, disk}};
};

// One row of the state table: Start, Stop, Pause, Resume items, mode tabs, timer period.
struct Row {
  ItemState start, stop, pause, resume;
  bool tabs;
  int period;
};
const Row kIdle{{true, true}, {false, true}, {true, false}, {false, true}, true, 0};
const Row kRecording{{false, true}, {true, true}, {true, true}, {false, true}, false, 125};
const Row kPaused{{false, true}, {true, true}, {false, true}, {true, true}, false, 0};

void expectRow(const Rig& rig, const Row& row, const std::string& where) {
  EXPECT_EQ(rig.view.items.at(ControlItem::Start), row.start) << where << ": start item";
  EXPECT_EQ(rig.view.items.at(ControlItem::Stop), row.stop) << where << ": stop item";
  EXPECT_EQ(rig.view.items.at(ControlItem::Pause), row.pause) << where << ": pause item";
  EXPECT_EQ(rig.view.items.at(ControlItem::Resume), row.resume) << where << ": resume item";
  EXPECT_EQ(rig.view.tabsEnabled, row.tabs) << where << ": mode tabs";
  EXPECT_EQ(rig.timer.period, row.period) << where << ": timer period";
}

TEST(RecordingController, FollowsTheStateTable) {
  using RC = RecordingController;
  using Op = void (RC::*)();
  struct Step {
    const char* name;
    Op op;
    const Row* after;
    int packagesSoFar;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
  };
  const std::vector<Case> cases = {
      {"start, pause, resume, stop",
       {{"start", &RC::StartRecording, &kRecording, 0},
        {"pause", &RC::PauseRecording, &kPaused, 0},
        {"resume", &RC::ResumeRecording, &kRecording, 0},
        {"stop", &RC::StopRecording, &kIdle, 1}}},
      {"stop while paused returns to the idle row",
       {{"start", &RC::StartRecording, &kRecording, 0},
        {"pause", &RC::PauseRecording, &kPaused, 0},
        {"stop", &RC::StopRecording, &kIdle, 1}}},
      {"hotkeys: pause/resume ignored while idle, start/stop while paused packages",
       {{"toggle pause while idle", &RC::TogglePauseResume, &kIdle, 0},
        {"toggle start", &RC::ToggleStartStop, &kRecording, 0},
        {"toggle pause", &RC::TogglePauseResume, &kPaused, 0},
        {"toggle resume", &RC::TogglePauseResume, &kRecording, 0},
        {"toggle pause again", &RC::TogglePauseResume, &kPaused, 0},
        {"toggle stop while paused", &RC::ToggleStartStop, &kIdle, 1}}},
      {"commands outside their row change nothing",
       {{"stop while idle", &RC::StopRecording, &kIdle, 0},
        {"resume while idle", &RC::ResumeRecording, &kIdle, 0},
        {"start", &RC::StartRecording, &kRecording, 0},
        {"start again", &RC::StartRecording, &kRecording, 0},
        {"resume while recording", &RC::ResumeRecording, &kRecording, 0},
        {"pause", &RC::PauseRecording, &kPaused, 0},
        {"pause again", &RC::PauseRecording, &kPaused, 0}}},
  };
  for (const auto& c : cases) {
    Rig rig;
    expectRow(rig, kIdle, std::string(c.name) + " / at start");
    for (const auto& step : c.steps) {
      (rig.controller.*step.op)();
      const std::string where = std::string(c.name) + " / after " + step.name;
      expectRow(rig, *step.after, where);
      EXPECT_EQ(rig.packager.runs, step.packagesSoFar) << where;
    }
  }
}

TEST(RecordingController, StartHandsTheFormSettingsToTheGrabberAndBlinks) {
  Rig rig;
  rig.view.kind = 1;
  rig.view.layered = true;
  rig.controller.StartRecording();
  ASSERT_EQ(rig.capture.inits.size(), 1u);
  const CaptureSettings& s = rig.capture.inits[0];
  EXPECT_EQ(s.bitsPerPixel, 32);
  EXPECT_EQ(s.lineStep, 15);
  EXPECT_TRUE(s.layeredCapture);
  EXPECT_EQ(s.jpegQuality, 90);
  EXPECT_EQ(s.compressionKind, 1);

  rig.controller.PauseRecording();
  rig.controller.ResumeRecording();
  rig.controller.StopRecording();
  EXPECT_EQ(rig.blinker.calls, (std::vector<int32_t>{-1, 0, -1, 0}));
  EXPECT_TRUE(rig.sound.calls.empty()) << "sound box unchecked: the recorder is never touched";
}

TEST(RecordingController, SoundRecorderFollowsTheCheckBoxReadAtEachStep) {
  Rig rig;
  rig.view.sound = true;
  rig.controller.StartRecording();
  rig.controller.PauseRecording();
  rig.view.sound = false;
  rig.controller.ResumeRecording();
  EXPECT_EQ(rig.sound.calls, (std::vector<std::string>{"start", "pause"}));
}

TEST(RecordingController, PeriodIsReadAfreshAtStartAndResume) {
  const std::vector<std::pair<std::string, int>> cases = {{"8", 125},  {"3", 333}, {"1", 1000}, {"25", 40},
                                                          {"0", 1000}, {"", 1000}, {"99", 40}};
  for (const auto& [text, period] : cases) {
    Rig rig;
    rig.view.frameRate = text;
    rig.controller.StartRecording();
    EXPECT_EQ(rig.timer.period, period) << "start at \"" << text << "\"";
    rig.controller.PauseRecording();
    rig.view.frameRate = "3";
    rig.controller.ResumeRecording();
    EXPECT_EQ(rig.timer.period, 333) << "resume after \"" << text << "\"";
  }
}

TEST(RecordingController, EveryTickAppendsItsRecordAndOneSeparatorInOnePiece) {
  Rig rig;
  rig.capture.frames = {{1, 2, 3}, {}};
  rig.controller.StartRecording();
  for (int i = 0; i < 3; ++i) rig.controller.OnRecordTick();

  const std::vector<uint8_t> sep(codec::FRAME_SEPARATOR.begin(), codec::FRAME_SEPARATOR.end());
  std::vector<uint8_t> first = {1, 2, 3};
  first.insert(first.end(), sep.begin(), sep.end());
  ASSERT_EQ(rig.stream.appends.size(), 3u);
  EXPECT_EQ(rig.stream.appends[0], first);
  EXPECT_EQ(rig.stream.appends[1], sep) << "an empty record still appends the separator";
  EXPECT_EQ(rig.stream.appends[2], sep);
}

TEST(RecordingController, StartOrStopArrivingWhilePackagingIsIgnored) {
  Rig rig;
  rig.packager.whilePacking = [&] {
    rig.controller.ToggleStartStop();
    rig.controller.StartRecording();
    rig.controller.StopRecording();
    rig.controller.TogglePauseResume();
  };
  rig.controller.StartRecording();
  rig.controller.StopRecording();
  EXPECT_EQ(rig.packager.runs, 1);
  EXPECT_EQ(rig.capture.inits.size(), 1u) << "no nested recording was started";
  expectRow(rig, kIdle, "after packaging");
  EXPECT_FALSE(rig.controller.isPacking());

  rig.packager.whilePacking = nullptr;
  rig.controller.ToggleStartStop();
  expectRow(rig, kRecording, "a start after packaging works again");
}

TEST(RecordingController, FinishBeforeExitPackagesARunningOrPausedRecordingOnly) {
  Rig idle;
  idle.controller.FinishBeforeExit();
  EXPECT_EQ(idle.packager.runs, 0);

  Rig paused;
  paused.controller.StartRecording();
  paused.controller.PauseRecording();
  paused.controller.FinishBeforeExit();
  EXPECT_EQ(paused.packager.runs, 1);
  expectRow(paused, kIdle, "after exit while paused");
}

using Problems = std::vector<std::pair<std::string, std::string>>;

TEST(RecordingController, AShortDiskRefusesTheStartBeforeAnythingIsSetUp) {
  Rig rig;
  rig.disk.reason = "保存文件夹“/v”只剩 12 MB 可用空间，至少需要 200 MB。";
  rig.controller.StartRecording();
  rig.controller.ToggleStartStop();
  EXPECT_TRUE(rig.capture.inits.empty());
  EXPECT_TRUE(rig.blinker.calls.empty());
  EXPECT_EQ(rig.packager.runs, 0);
  expectRow(rig, kIdle, "after a refused start");
  const std::pair<std::string, std::string> refused = {"磁盘空间不足", "无法开始录制：" + *rig.disk.reason};
  EXPECT_EQ(rig.view.problems, (Problems{refused, refused}));

  rig.disk.reason.reset();
  rig.controller.StartRecording();
  expectRow(rig, kRecording, "a start with room");
}

TEST(RecordingController, FreeSpaceIsAskedAboutOnceASecondOfRecording) {
  // Frame rate, and the ticks in one check interval (1000 ms gathered from the period).
  const std::vector<std::pair<std::string, int>> cases = {{"8", 8}, {"25", 25}, {"3", 4}, {"1", 1}, {"7", 8}};
  for (const auto& [rate, ticksPerCheck] : cases) {
    Rig rig;
    rig.view.frameRate = rate;
    rig.controller.StartRecording();
    EXPECT_EQ(rig.disk.asked, 1) << rate << ": once at the start";
    for (int i = 0; i < 3 * ticksPerCheck - 1; ++i) rig.controller.OnRecordTick();
    EXPECT_EQ(rig.disk.asked, 3) << rate;
    rig.controller.OnRecordTick();
    EXPECT_EQ(rig.disk.asked, 4) << rate;
  }
}

TEST(RecordingController, ARecordingWhoseDiskRunsShortStopsPackagesAndThenSaysWhy) {
  Rig rig;
  rig.capture.frames = {{1}, {2}, {3}, {4}, {5}, {6}, {7}, {8}, {9}, {10}, {11}, {12}};
  std::size_t appendsWhenPackaged = 0;
  rig.packager.whilePacking = [&] {
    appendsWhenPackaged = rig.stream.appends.size();
    EXPECT_TRUE(rig.view.problems.empty()) << "the recording is saved before any message waits for the user";
  };
  rig.controller.StartRecording();
  for (int i = 0; i < 5; ++i) rig.controller.OnRecordTick();
  rig.disk.reason = "缓存文件夹“/c”只剩 150 MB 可用空间，至少需要 200 MB。";
  // Ticks go on only while the timer runs.
  for (int i = 0; i < 11 && rig.timer.period != 0; ++i) rig.controller.OnRecordTick();

  EXPECT_EQ(rig.packager.runs, 1);
  EXPECT_EQ(appendsWhenPackaged, 8u) << "stopped at the check one second in, with that tick's frame";
  EXPECT_EQ(rig.stream.appends[7][0], 8);
  expectRow(rig, kIdle, "after the disk ran short");
  EXPECT_EQ(rig.blinker.calls.back(), 0);
  EXPECT_EQ(rig.view.problems, (Problems{{"磁盘空间不足", "录制已自动停止：" + *rig.disk.reason}}));

  // A paused recording that finds the disk short on resuming is packaged the same way.
  Rig paused;
  paused.controller.StartRecording();
  paused.controller.PauseRecording();
  paused.disk.reason = "short";
  paused.controller.ResumeRecording();
  EXPECT_EQ(paused.packager.runs, 1);
  expectRow(paused, kIdle, "after resuming onto a short disk");
  EXPECT_EQ(paused.view.problems, (Problems{{"磁盘空间不足", "录制已自动停止：short"}}));
}

}  // namespace
}  // namespace ostrel::recording
