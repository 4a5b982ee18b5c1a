// The frame grabber over a real X server: what it records must be what was on the screen.
#include <gtest/gtest.h>

#include "codec/FrameCanvas.h"
#include "codec/FrameGrabber.h"
#include "display/RootPainter.h"
#include "platform/x11/X11ScreenSource.h"
#include "support/XvfbServer.h"

namespace ostrel::codec {
namespace {

using test::RootPainter;

uint32_t referencePixel(const FrameGrabber& grabber, int x, int y) {
  const uint8_t* p = grabber.workBitmap().referenceRow(y) + 4 * x;
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

int differingPixels(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  int differing = 0;
  for (std::size_t i = 0; i < a.size(); ++i) differing += a[i] != b[i];
  return differing;
}

TEST(FrameGrabberOnX11Test, RecordsThePaintedScreen) {
  constexpr int kWidth = 320, kHeight = 200;
  test::XvfbServer server(test::XvfbOptions{.width = kWidth, .height = kHeight});
  ASSERT_TRUE(server.running()) << server.error();
  RootPainter painter(server.display());
  const std::vector<uint32_t> first = painter.paint([](int x, int y) {
    return RootPainter::Channels{uint32_t(x * 3 + y), uint32_t(x ^ y), uint32_t(200 - y / 2)};
  });
  painter.warpPointer(kWidth - 1, kHeight - 1);

  auto source = platform::X11ScreenSource::open({.display = server.display()});
  ASSERT_NE(source, nullptr);
  FrameGrabber grabber(*source);
  ASSERT_TRUE(grabber.Init(32, 15, false, 90, static_cast<int>(CompressionKind::Bmp)));
  ASSERT_EQ(grabber.screenWidth(), kWidth);
  ASSERT_EQ(grabber.screenHeight(), kHeight);

  // The whole screen as one region: the reference image and the decoded record both equal it.
  testing::Canvas canvas(kWidth, kHeight);
  canvas.apply(grabber.CaptureFullFrame());
  EXPECT_EQ(canvas.undrawable, 0);
  EXPECT_EQ(differingPixels(canvas.pixels, first), 0);
  std::vector<uint32_t> reference(first.size());
  const auto readReference = [&] {
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) reference[std::size_t(y) * kWidth + x] = referencePixel(grabber, x, y);
  };
  readReference();
  EXPECT_EQ(differingPixels(reference, first), 0);

  // A changed screen found through the sampled rows: afterwards the reference
  // image holds the new picture and never the cursor.
  const std::vector<uint32_t> second = painter.paint([](int x, int y) {
    return RootPainter::Channels{uint32_t(255 - x), uint32_t(y * 5 + x), uint32_t(x * y)};
  });
  const std::vector<uint8_t> record = grabber.CaptureFrame();
  EXPECT_FALSE(record.empty());
  canvas.apply(record);
  EXPECT_EQ(canvas.undrawable, 0);
  readReference();
  EXPECT_EQ(differingPixels(reference, second), 0);
}

}  // namespace
}  // namespace ostrel::codec
