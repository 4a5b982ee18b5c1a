#include "playback/BackBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace ostrel::playback {

bool BackBuffer::create(int width, int height) {
  release();
  const platform::DecodeLimits limits;
  if (width <= 0 || height <= 0 || width > limits.maxSide || height > limits.maxSide ||
      int64_t{width} * height > limits.maxPixels)
    return false;
  try {
    pixels_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (std::size_t i = 3; i < pixels_.size(); i += 4) pixels_[i] = 0xFF;
  width_ = width;
  height_ = height;
  return true;
}

void BackBuffer::release() {
  std::vector<uint8_t>().swap(pixels_);
  width_ = 0;
  height_ = 0;
}

ScreenRect BackBuffer::draw(const platform::DecodedImage& image, int x, int y) {
  // In 64 bits: x and y come from the stream, the sizes from the image.
  const int64_t left = std::max<int64_t>(x, 0);
  const int64_t top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(int64_t{x} + image.width, width_);
  const int64_t bottom = std::min<int64_t>(int64_t{y} + image.height, height_);
  if (left >= right || top >= bottom) return {};
  if (image.bgrx.size() < static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4)
    return {};

  const std::size_t imageStride = static_cast<std::size_t>(image.width) * 4;
  const std::size_t rowBytes = static_cast<std::size_t>(right - left) * 4;
  for (int64_t row = top; row < bottom; ++row) {
    const uint8_t* src = image.bgrx.data() + static_cast<std::size_t>(row - y) * imageStride +
                         static_cast<std::size_t>(left - x) * 4;
    uint8_t* dst =
        pixels_.data() + static_cast<std::size_t>(row) * stride() + static_cast<std::size_t>(left) * 4;
    std::memcpy(dst, src, rowBytes);
  }
  return {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
          static_cast<int32_t>(bottom)};
}

}  // namespace ostrel::playback
