#include "codec/WorkBitmap.h"

#include <new>

namespace ostrel::codec {

namespace {
// Positions are stored as 16-bit values, so larger screens cannot be recorded anyway.
constexpr int kMaxSide = 32767;
}  // namespace

bool WorkBitmap::allocate(int width, int height, int bitsPerPixel) {
  release();
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
  const int stride = bitmapRowBytes(width, bitsPerPixel);
  const std::size_t bytes = static_cast<std::size_t>(stride) * (2 * static_cast<std::size_t>(height) + 1);
  try {
    bits_.assign(bytes, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  width_ = width;
  height_ = height;
  bitsPerPixel_ = bitsPerPixel;
  stride_ = stride;
  return true;
}

void WorkBitmap::release() {
  std::vector<uint8_t>().swap(bits_);
  width_ = height_ = bitsPerPixel_ = stride_ = 0;
}

}  // namespace ostrel::codec
