// The player over the real ZIP reader and frame decoder.
#include <gtest/gtest.h>

#include "codec/StreamFormat.h"
#include "platform/zip/ZipWriter.h"
#include "playback/FrameDecoderSink.h"
#include "playback/PlaybackFixtures.h"
#include "playback/Player.h"
#include "playback/ZipRecordingUnpacker.h"

namespace ostrel::playback {
namespace {

namespace fs = std::filesystem;

// One 2 × 2 region of one colour as a 24-bit bitmap payload.
std::vector<uint8_t> solidBmp(uint8_t blue, uint8_t green, uint8_t red) {
  std::vector<uint8_t> out = {'B', 'M', 16, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  40,
                              0,   0,   0,  2, 0, 0, 0, 2, 0, 0, 0,  1, 0, 24, 0};
  out.resize(54, 0);
  for (int row = 0; row < 2; ++row) out.insert(out.end(), {blue, green, red, blue, green, red, 0, 0});
  return out;
}

struct QuietView : PlayerView {
  fs::path cache;
  std::vector<std::string> captions, errors;
  fs::path cacheFolder() const override { return cache; }
  ScreenSize screenSize() const override { return {64, 48}; }
  void setCaption(const std::string& text) override { captions.push_back(text); }
  bool controlWindowExists() const override { return true; }
  void drawProgress(int) override {}
  void drawOverlay(const Overlay&) override {}
  void showError(const std::string& text) override { errors.push_back(text); }
  void destroyPlayerWindow() override {}
};

struct ManualTimer : FrameTimer {
  int period = 0;
  void setPeriod(int milliseconds) override { period = milliseconds; }
};

TEST(PlayerWithDecoder, FiveRecordsChangeThePictureOnTicksOneThreeAndFive) {
  testing::TempFolder folder;
  std::vector<uint8_t> stream;
  const auto separator = [&] {
    stream.insert(stream.end(), codec::FRAME_SEPARATOR.begin(), codec::FRAME_SEPARATOR.end());
  };
  for (int frame = 1; frame <= 5; ++frame) {
    if (frame % 2 == 1)
      codec::appendRegionRecord(stream, frame * 4, 10, solidBmp(0, 0, static_cast<uint8_t>(50 * frame)));
    separator();
  }
  testing::writeFile(folder.path() / "data", std::string(stream.begin(), stream.end()));
  testing::writeFile(folder.path() / "config",
                     "[\xCA\xD3\xC6\xB5\xC9\xE8\xD6\xC3]\r\n\xD6\xDC\xC6\xDA=40\r\n");
  const platform::ZipMemberSource members[] = {{kRecordingDataMember, folder.path() / "data"},
                                               {kSettingsMember, folder.path() / "config"}};
  ASSERT_TRUE(platform::writeZipArchive(folder.path() / "a.b.ORec", members).ok);

  QuietView view;
  view.cache = folder.path() / "cache";
  ManualTimer timer;
  FrameDecoder decoder;
  ASSERT_TRUE(decoder.Init(64, 48, true, 6));
  FrameDecoderSink sink(decoder);
  ZipRecordingUnpacker unpacker;
  Player player(view, timer, sink, unpacker);
  player.state().recordingPath = folder.path() / "a.b.ORec";

  player.PlayRecording();
  ASSERT_TRUE(view.errors.empty()) << view.errors.front();
  EXPECT_EQ(timer.period, 40);
  EXPECT_TRUE(fs::is_directory(view.cache / "Play"));
  EXPECT_FALSE(fs::exists(view.cache / "Play" / "a.bTemp"));
  std::vector<int> changedOnTicks;
  for (int tick = 1; tick <= 5; ++tick) {
    player.OnFrameTick();
    if (sink.lastApplied().changed.width() > 0) changedOnTicks.push_back(tick);
  }
  EXPECT_EQ(changedOnTicks, (std::vector<int>{1, 3, 5}));
  EXPECT_EQ(view.captions.back(), "播放窗口 当前帧:5 总帧数:5");
  const uint8_t* pixel = decoder.backBuffer().pixels() + 10 * decoder.backBuffer().stride() + 20 * 4;
  EXPECT_EQ(pixel[2], 250) << "the fifth record's red square at (20, 10)";
}

}  // namespace
}  // namespace ostrel::playback
