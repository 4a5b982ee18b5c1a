// What `ostrel record` records on a real X server, `ostrel export` gives back:
// exactly for PNG and BMP, within JPEG's loss.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "display/RootPainter.h"
#include "platform/image/ImageCodec.h"
#include "support/OstrelProcess.h"
#include "support/ScratchFolder.h"
#include "support/XvfbServer.h"

namespace ostrel {
namespace {

namespace fs = std::filesystem;

using testing::runOstrel;

TEST(RecordExport, ExportOfARecordingEqualsTheRecordedScreen) {
  constexpr int kWidth = 320, kHeight = 240;
  // The pointer sits in this corner; the recorder draws it into the picture.
  constexpr int kPointerX = 300, kPointerY = 220;
  struct Case {
    const char* kind;
    int maximum;
    double mean;
  };
  for (const Case& test : {Case{"png", 0, 0.0}, Case{"bmp", 0, 0.0}, Case{"jpeg", 160, 3.0}}) {
    SCOPED_TRACE(test.kind);
    test::XvfbServer server({kWidth, kHeight});
    ASSERT_TRUE(server.running()) << server.error();
    test::RootPainter painter(server.display());
    ASSERT_TRUE(painter.connected());
    const std::vector<uint32_t> expected = painter.paint([](int x, int y) {
      const bool block = x > 40 && x < 120 && y > 60 && y < 100;
      return test::RootPainter::Channels{block ? 255u : uint32_t(x), block ? 255u : uint32_t(y), 128};
    });
    painter.warpPointer(kPointerX, kPointerY);
    painter.sync();

    testing::ScratchFolder folder;
    const fs::path recording = folder / "clip.ORec";
    ASSERT_EQ(runOstrel(server.display(), folder / "cache",
                        {"record", "--out", recording.string(), "--seconds", "2", "--fps", "10", "--kind",
                         test.kind}),
              0);
    const fs::path picture = folder / "last.png";
    ASSERT_EQ(runOstrel(server.display(), folder / "cache",
                        {"export", recording.string(), "--size", "320x240", "--out", picture.string()}),
              0);

    const std::string png = testing::readFileBytes(picture);
    const auto image =
        platform::decodeImage(std::span(reinterpret_cast<const uint8_t*>(png.data()), png.size()));
    ASSERT_TRUE(image.has_value());
    ASSERT_EQ(image->width, kWidth);
    ASSERT_EQ(image->height, kHeight);
    int maximum = 0;
    int64_t sum = 0, count = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        if (x >= kPointerX - 40 && y >= kPointerY - 40) continue;
        const uint32_t want = expected[static_cast<std::size_t>(y) * kWidth + x];
        const uint8_t* got = &image->bgrx[(static_cast<std::size_t>(y) * kWidth + x) * 4];
        for (int channel = 0; channel < 3; ++channel) {
          const int delta = std::abs(static_cast<int>((want >> (8 * channel)) & 0xFF) - got[channel]);
          maximum = std::max(maximum, delta);
          sum += delta;
          ++count;
        }
      }
    }
    EXPECT_LE(maximum, test.maximum);
    EXPECT_LE(static_cast<double>(sum) / static_cast<double>(count), test.mean)
        << "largest error " << maximum;
  }
}

}  // namespace
}  // namespace ostrel
