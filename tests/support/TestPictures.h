#pragma once

#include <cstdint>
#include <vector>

#include "platform/image/ImageCodec.h"

namespace ostrel::test {

// A BGRX picture owned by the test, with a view onto it.
struct TestPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgrx;

  platform::BgrxView view() const {
    return {bgrx.data(), width, height, static_cast<std::ptrdiff_t>(width) * 4};
  }
};

// Smooth gradients with (unless `blocks` is false) hard-edged blocks:
// compresses like screen content. The fourth byte is set to `filler`.
inline TestPicture makeTestPicture(int width, int height, uint8_t filler = 0x00, bool blocks = true) {
  TestPicture p{width, height, std::vector<uint8_t>(static_cast<std::size_t>(width) * height * 4)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* px = &p.bgrx[(static_cast<std::size_t>(y) * width + x) * 4];
      const bool block = blocks && (x / 8 + y / 8) % 3 == 0;
      px[0] = static_cast<uint8_t>(block ? 200 : x * 255 / (width > 1 ? width - 1 : 1));
      px[1] = static_cast<uint8_t>(block ? 60 : y * 255 / (height > 1 ? height - 1 : 1));
      px[2] = static_cast<uint8_t>(block ? 30 : (x + y) * 255 / (width + height));
      px[3] = filler;
    }
  return p;
}

// The same pixels as a decoder gives them back: fourth byte 0xFF.
inline std::vector<uint8_t> asDecoded(const TestPicture& p) {
  std::vector<uint8_t> out = p.bgrx;
  for (std::size_t i = 3; i < out.size(); i += 4) out[i] = 0xFF;
  return out;
}

}  // namespace ostrel::test
