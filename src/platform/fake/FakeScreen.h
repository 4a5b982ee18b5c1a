#pragma once

#include <cstdint>
#include <vector>

#include "platform/ScreenSource.h"

namespace ostrel::platform {

// An in-memory screen for tests and benchmarks: the caller sets its BGRX
// pixels and its cursor directly, and reads back how much was grabbed.
class FakeScreen final : public ScreenSource {
 public:
  FakeScreen(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }

  // Pixels as 0xXXRRGGBB values, i.e. B, G, R, X in memory; row-major, top-down.
  std::vector<uint32_t>& pixels() { return pixels_; }
  const std::vector<uint32_t>& pixels() const { return pixels_; }
  uint32_t pixel(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }
  void setPixel(int x, int y, uint32_t bgrx) { pixels_[static_cast<std::size_t>(y) * width_ + x] = bgrx; }
  // Fills the part of `area` that lies on the screen.
  void fill(const ScreenRect& area, uint32_t bgrx);

  // The cursor reported by queryCursor; `exists` false reports no cursor.
  CursorInfo& cursor() { return cursor_; }

  // Makes every later call fail, as a vanished display would.
  void setFailing(bool failing) { failing_ = failing; }
  // A reported size of 0 × 0 stands for a screen that cannot be measured.
  void setReportedSize(ScreenSize size) { reportedSize_ = size; }

  // What was read so far: calls and pixels.
  struct GrabCounts {
    int grabCalls = 0;
    int rowBatches = 0;
    int64_t rows = 0;
    int64_t pixels = 0;
    int cursorQueries = 0;
  };
  const GrabCounts& counts() const { return counts_; }
  void resetCounts() { counts_ = {}; }
  // Rows of the last grabRows call and the area of the last grab call.
  const std::vector<int>& lastRows() const { return lastRows_; }
  const ScreenRect& lastArea() const { return lastArea_; }

  bool layeredCapture() const { return layered_; }

  ScreenSize virtualScreenSize() override;
  bool grab(const ScreenRect& area, PixelTarget target) override;
  bool grabRows(std::span<const int> rows, std::span<const PixelTarget> targets) override;
  bool queryCursor(CursorInfo& cursor) override;
  void setLayeredCapture(bool on) override { layered_ = on; }

 private:
  int width_;
  int height_;
  std::vector<uint32_t> pixels_;
  CursorInfo cursor_;
  ScreenSize reportedSize_;
  bool failing_ = false;
  bool layered_ = false;
  GrabCounts counts_;
  std::vector<int> lastRows_;
  ScreenRect lastArea_;
};

}  // namespace ostrel::platform
