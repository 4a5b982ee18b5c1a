// PNG and JPEG payloads read back with the libraries' own decoders, not ours.
#include <gtest/gtest.h>
#include <png.h>
#include <turbojpeg.h>

#include <cstdlib>
#include <vector>

#include "codec/FrameGrabber.h"
#include "platform/fake/FakeScreen.h"

namespace ostrel::codec {
namespace {

// RGB bytes, top-down.
std::vector<uint8_t> decodePngRgb(Bytes payload, int& width, int& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, payload.data(), payload.size())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  return rgb;
}

std::vector<uint8_t> decodeJpegRgb(Bytes payload, int& width, int& height) {
  tjhandle handle = tjInitDecompress();
  int subsampling = 0, colourspace = 0;
  std::vector<uint8_t> rgb;
  if (tjDecompressHeader3(handle, payload.data(), static_cast<unsigned long>(payload.size()), &width, &height,
                          &subsampling, &colourspace) == 0) {
    rgb.resize(static_cast<std::size_t>(width) * height * 3);
    if (tjDecompress2(handle, payload.data(), static_cast<unsigned long>(payload.size()), rgb.data(), width,
                      0, height, TJPF_RGB, 0) != 0)
      rgb.clear();
  }
  tjDestroy(handle);
  return rgb;
}

// A desktop-like picture: flat areas, soft gradients, some sharp glyph-like marks.
void paintDesktop(platform::FakeScreen& screen) {
  for (int y = 0; y < screen.height(); ++y)
    for (int x = 0; x < screen.width(); ++x) {
      uint32_t c = 0xFF000000u | (static_cast<uint32_t>(40 + y) << 16) |
                   (static_cast<uint32_t>(80 + x / 2) << 8) | 200u;
      if (x > 20 && x < 100 && y > 10 && y < 50) c = 0xFFF0F0F0u;
      if (x > 25 && x < 95 && y > 15 && y < 45 && ((x * 7 + y * 3) % 11 < 3)) c = 0xFF101010u;
      screen.setPixel(x, y, c);
    }
}

TEST(RegionPayload, PngAndJpegDecodeToTheScreen) {
  struct Case {
    int kind, depth;
    int maxError;  // per channel; 0 means exact
  };
  const Case cases[] = {{2, 32, 0}, {2, 24, 0}, {2, 16, 8}, {1, 32, 48}, {1, 24, 48}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " depth " << c.depth);
    platform::FakeScreen screen(120, 60);
    paintDesktop(screen);
    FrameGrabber grabber(screen);
    ASSERT_TRUE(grabber.Init(c.depth, 15, false, 90, c.kind));
    const auto record = grabber.CaptureFullFrame();
    const auto slices = splitRegionPieces(record);
    ASSERT_EQ(slices.size(), 1u);
    ASSERT_TRUE(slices[0].framed);
    EXPECT_EQ(slices[0].piece.x, 0);
    int width = 0, height = 0;
    const auto rgb = c.kind == 2 ? decodePngRgb(slices[0].piece.payload, width, height)
                                 : decodeJpegRgb(slices[0].piece.payload, width, height);
    ASSERT_FALSE(rgb.empty());
    ASSERT_EQ(width, 120);
    ASSERT_EQ(height, 60);
    long totalError = 0;
    int worst = 0;
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 120; ++x) {
        const uint32_t p = screen.pixel(x, y);
        const uint8_t want[3] = {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                                 static_cast<uint8_t>(p)};
        for (int ch = 0; ch < 3; ++ch) {
          int expected = want[ch];
          if (c.depth == 16) expected = ((expected >> 3) << 3) | (expected >> 5);
          const int error = std::abs(rgb[(y * 120 + x) * 3 + ch] - expected);
          worst = std::max(worst, error);
          totalError += error;
        }
      }
    EXPECT_LE(worst, c.maxError);
    if (c.kind == 1) {
      EXPECT_LT(static_cast<double>(totalError) / (120 * 60 * 3), 3.0);
    }
  }
}

}  // namespace
}  // namespace ostrel::codec
