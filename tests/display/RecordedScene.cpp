#include "display/RecordedScene.h"

#include <algorithm>
#include <cstdlib>
#include <span>

#include "platform/image/ImageCodec.h"
#include "support/ScratchFolder.h"

namespace ostrel::test {

std::vector<uint32_t> RecordedScene::paint(RootPainter& painter, uint32_t blue) {
  std::vector<uint32_t> painted = painter.paint([blue](int x, int y) {
    const bool block = x > 40 && x < 120 && y > 60 && y < 100;
    return RootPainter::Channels{block ? 255u : uint32_t(x), block ? 255u : uint32_t(y), blue};
  });
  painter.warpPointer(kPointerX, kPointerY);
  painter.sync();
  return painted;
}

PictureDifference compareWithScene(const std::filesystem::path& png, const std::vector<uint32_t>& painted) {
  PictureDifference difference;
  const std::string bytes = ostrel::testing::readFileBytes(png);
  const auto image =
      platform::decodeImage(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  constexpr int kWidth = RecordedScene::kWidth, kHeight = RecordedScene::kHeight;
  if (!image || image->width != kWidth || image->height != kHeight) {
    difference.error =
        "the exported picture is missing or not " + std::to_string(kWidth) + "x" + std::to_string(kHeight);
    return difference;
  }
  int64_t sum = 0, count = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (x >= RecordedScene::kPointerX - 40 && y >= RecordedScene::kPointerY - 40) continue;
      const uint32_t want = painted[static_cast<std::size_t>(y) * kWidth + x];
      const uint8_t* got = &image->bgrx[(static_cast<std::size_t>(y) * kWidth + x) * 4];
      for (int channel = 0; channel < 3; ++channel) {
        const int delta = std::abs(static_cast<int>((want >> (8 * channel)) & 0xFF) - got[channel]);
        difference.maximum = std::max(difference.maximum, delta);
        difference.differing += delta != 0;
        sum += delta;
        ++count;
      }
    }
  }
  difference.mean = static_cast<double>(sum) / static_cast<double>(count);
  return difference;
}

}  // namespace ostrel::test
