#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/ScreenRect.h"
#include "platform/image/ImageCodec.h"

namespace ostrel::playback {

// The picture that frame records paint on: frame-sized, top-down rows of
// 32-bit BGRX pixels whose fourth byte is always 0xFF (so a widget can show it
// as a 0xFFRRGGBB image without a copy). It starts black and only regions
// change it.
class BackBuffer {
 public:
  // Allocates a black picture of width × height; false when that size is not
  // allowed (zero, negative, or beyond the decoder's limits) or memory fails.
  bool create(int width, int height);
  void release();

  int width() const { return width_; }
  int height() const { return height_; }
  std::size_t stride() const { return static_cast<std::size_t>(width_) * 4; }
  const uint8_t* pixels() const { return pixels_.data(); }
  std::span<const uint8_t> bytes() const { return pixels_; }

  // Copies `image` with its top-left pixel at (x, y), clipped at the edges;
  // returns the area that was written, empty when none.
  ScreenRect draw(const platform::DecodedImage& image, int x, int y);

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint8_t> pixels_;
};

}  // namespace ostrel::playback
