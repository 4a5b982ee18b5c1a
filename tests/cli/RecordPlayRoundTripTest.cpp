// A recording made by the recorder's own grabber and packer plays back, through
// `ostrel export`, as exactly the screen it recorded (within JPEG's loss).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/PlaybackCommands.h"
#include "codec/FrameGrabber.h"
#include "codec/RecordingStream.h"
#include "platform/fake/FakeScreen.h"
#include "platform/image/ImageCodec.h"
#include "recording/PackageRecording.h"
#include "support/ScratchFolder.h"

namespace ostrel::cli {
namespace {

namespace fs = std::filesystem;

struct SilentPackagingView : recording::PackagingView {
  void setHint(std::string_view) override {}
  void setProgress(int) override {}
  void showResult(const recording::PackageResult&) override {}
};

// Gradient background with a few solid blocks, so every compression kind has
// both smooth areas and hard edges to carry.
void paintDesktop(platform::FakeScreen& screen, int shift) {
  for (int y = 0; y < screen.height(); ++y)
    for (int x = 0; x < screen.width(); ++x)
      screen.setPixel(x, y, static_cast<uint32_t>(((x + shift) & 0xFF) | ((y & 0xFF) << 8) | (0x80 << 16)));
  screen.fill({16 + shift, 32, 96 + shift, 80}, 0x00FFFFFF);
  screen.fill({200, 120 + shift, 260, 190}, 0x00102030);
}

struct Difference {
  int maximum = 0;
  double mean = 0;
};

Difference compare(const platform::FakeScreen& screen, const platform::DecodedImage& picture) {
  Difference difference;
  int64_t sum = 0;
  for (int y = 0; y < screen.height(); ++y) {
    for (int x = 0; x < screen.width(); ++x) {
      const uint32_t expected = screen.pixel(x, y);
      const uint8_t* got = &picture.bgrx[(static_cast<std::size_t>(y) * picture.width + x) * 4];
      for (int channel = 0; channel < 3; ++channel) {
        const int delta = std::abs(static_cast<int>((expected >> (8 * channel)) & 0xFF) - got[channel]);
        difference.maximum = std::max(difference.maximum, delta);
        sum += delta;
      }
    }
  }
  difference.mean = static_cast<double>(sum) / (3.0 * screen.width() * screen.height());
  return difference;
}

TEST(RecordPlayRoundTrip, ExportShowsTheRecordedScreen) {
  struct Case {
    const char* name;
    codec::CompressionKind kind;
    int maximum;
    double mean;
  };
  const std::vector<Case> cases = {
      {"png", codec::CompressionKind::Png, 0, 0.0},
      {"bmp", codec::CompressionKind::Bmp, 0, 0.0},
      {"jpeg", codec::CompressionKind::Jpeg, 96, 3.0},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    testing::ScratchFolder folder;
    platform::FakeScreen screen(320, 200);
    paintDesktop(screen, 0);
    codec::FrameGrabber grabber(screen);
    ASSERT_TRUE(grabber.Init(32, 15, false, 90, static_cast<int>(test.kind)));

    codec::RecordingStream stream;
    const auto tick = [&] {
      const auto record = grabber.CaptureFrame();
      stream.append(record);
      stream.append(codec::FRAME_SEPARATOR);
    };
    for (int i = 0; i < 40; ++i) tick();  // builds the picture up from black
    paintDesktop(screen, 8);              // a change the next ticks carry
    for (int i = 0; i < 40; ++i) tick();

    recording::PackageRequest request;
    request.cacheFolder = folder / "cache";
    request.saveFolder = folder / "save";
    request.fileName = "录像1";
    SilentPackagingView view;
    const auto packaged = recording::PackageRecording(stream, request, view);
    ASSERT_TRUE(packaged.ok) << packaged.error;

    const fs::path out = folder / "last.png";
    std::vector<std::string> words = {
        "export", packaged.recordingFile.string(), "--size", "320x200", "--out", out.string()};
    std::vector<char*> args;
    for (auto& word : words) args.push_back(word.data());
    ASSERT_EQ(runExport(args), 0);

    const std::string png = testing::readFileBytes(out);
    const auto picture =
        platform::decodeImage(std::span(reinterpret_cast<const uint8_t*>(png.data()), png.size()));
    ASSERT_TRUE(picture.has_value());
    ASSERT_EQ(picture->width, 320);
    ASSERT_EQ(picture->height, 200);
    const Difference difference = compare(screen, *picture);
    EXPECT_LE(difference.maximum, test.maximum);
    EXPECT_LE(difference.mean, test.mean);
  }
}

}  // namespace
}  // namespace ostrel::cli
