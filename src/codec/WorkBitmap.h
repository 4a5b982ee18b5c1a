#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ostrel::codec {

// Row size in bytes of a bottom-up bitmap row: whole 32-bit words.
inline int bitmapRowBytes(int width, int bitsPerPixel) { return ((width * bitsPerPixel + 31) >> 5) << 2; }

// The grabber's one pixel store: a bottom-up bitmap of W columns and 2H + 1
// rows. Device row 0 is unused, device rows 1..H hold the reference image
// (what the recording has transmitted), device rows H+1..2H the freshly
// scanned rows. Device row d lies at memory row 2H - d.
class WorkBitmap {
 public:
  // Zero-filled storage for a W × H screen; false when it cannot be had.
  bool allocate(int width, int height, int bitsPerPixel);
  void release();
  bool empty() const { return bits_.empty(); }

  int width() const { return width_; }
  int height() const { return height_; }
  int bitsPerPixel() const { return bitsPerPixel_; }
  int stride() const { return stride_; }

  uint8_t* bits() { return bits_.data(); }
  const uint8_t* bits() const { return bits_.data(); }
  uint8_t* deviceRow(int d) { return bits_.data() + static_cast<std::ptrdiff_t>(2 * height_ - d) * stride_; }
  const uint8_t* deviceRow(int d) const {
    return bits_.data() + static_cast<std::ptrdiff_t>(2 * height_ - d) * stride_;
  }
  // Reference row of screen row y: memory row 2H - 1 - y.
  uint8_t* referenceRow(int y) { return deviceRow(y + 1); }
  const uint8_t* referenceRow(int y) const { return deviceRow(y + 1); }
  // Scan row of screen row y: memory row H - 1 - y.
  uint8_t* scanRow(int y) { return deviceRow(height_ + 1 + y); }
  const uint8_t* scanRow(int y) const { return deviceRow(height_ + 1 + y); }

 private:
  int width_ = 0;
  int height_ = 0;
  int bitsPerPixel_ = 0;
  int stride_ = 0;
  std::vector<uint8_t> bits_;
};

}  // namespace ostrel::codec
