#include <gtest/gtest.h>

#include <cstring>

#include "codec/FrameGrabber.h"
#include "display/RootPainter.h"
#include "platform/x11/X11ScreenSource.h"
#include "support/XvfbServer.h"

namespace ostrel::codec {
namespace {

using test::RootPainter;

TEST(FrameGrabberOnX11, ReferenceImageBecomesTheScreen) {
  test::XvfbServer server(test::XvfbOptions{.width = 500, .height = 300});
  ASSERT_TRUE(server.running()) << server.error();
  RootPainter painter(server.display());
  ASSERT_TRUE(painter.connected());
  const std::vector<uint32_t> expected = painter.paint([](int x, int y) {
    return RootPainter::Channels{static_cast<uint32_t>(x * 3 + y), static_cast<uint32_t>(x ^ y),
                                 static_cast<uint32_t>((x / 16) * 40 + y / 8)};
  });
  std::string error;
  auto screen = platform::X11ScreenSource::open({.display = server.display()}, &error);
  ASSERT_NE(screen, nullptr) << error;

  const auto referenceMatches = [&](const FrameGrabber& grabber) {
    int wrong = 0;
    for (int y = 0; y < 300; ++y)
      for (int x = 0; x < 500; ++x) {
        uint32_t value;
        std::memcpy(&value, grabber.workBitmap().referenceRow(y) + 4 * x, 4);
        wrong += (value & 0xFFFFFF) != (expected[std::size_t(y) * 500 + x] & 0xFFFFFF);
      }
    return wrong;
  };

  FrameGrabber full(*screen);
  ASSERT_TRUE(full.Init(32, 15, false, 90, 3));
  EXPECT_FALSE(full.CaptureFullFrame().empty());
  EXPECT_EQ(referenceMatches(full), 0);

  // Frame by frame the sampled rows find everything; the cursor is never kept.
  painter.warpPointer(250, 150);
  painter.sync();
  FrameGrabber grabber(*screen);
  ASSERT_TRUE(grabber.Init(32, 15, false, 90, 2));
  int frames = 0;
  while (!grabber.CaptureFrame().empty()) ASSERT_LT(++frames, 100);
  EXPECT_EQ(referenceMatches(grabber), 0);
}

}  // namespace
}  // namespace ostrel::codec
