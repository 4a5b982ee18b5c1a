#include "platform/fake/FakeScreen.h"

#include <algorithm>
#include <cstring>

namespace ostrel::platform {

FakeScreen::FakeScreen(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * height_, 0),
      reportedSize_{width_, height_} {}

void FakeScreen::fill(const ScreenRect& area, uint32_t bgrx) {
  const int left = std::max(area.left, 0), right = std::min(area.right, width_);
  const int top = std::max(area.top, 0), bottom = std::min(area.bottom, height_);
  for (int y = top; y < bottom; ++y)
    std::fill_n(pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_ + left, std::max(right - left, 0),
                bgrx);
}

ScreenSize FakeScreen::virtualScreenSize() { return failing_ ? ScreenSize{} : reportedSize_; }

bool FakeScreen::grab(const ScreenRect& area, PixelTarget target) {
  ++counts_.grabCalls;
  lastArea_ = area;
  if (failing_ || target.firstRow == nullptr) return false;
  const int left = std::max(area.left, 0), right = std::min(area.right, width_);
  const int top = std::max(area.top, 0), bottom = std::min(area.bottom, height_);
  if (left >= right || top >= bottom) return true;
  const std::size_t rowBytes = static_cast<std::size_t>(right - left) * 4;
  for (int y = top; y < bottom; ++y) {
    uint8_t* out = target.firstRow + (y - area.top) * target.stride + (left - area.left) * 4;
    std::memcpy(out, &pixels_[static_cast<std::size_t>(y) * width_ + left], rowBytes);
  }
  counts_.pixels += static_cast<int64_t>(right - left) * (bottom - top);
  return true;
}

bool FakeScreen::grabRows(std::span<const int> rows, std::span<const PixelTarget> targets) {
  ++counts_.rowBatches;
  lastRows_.assign(rows.begin(), rows.end());
  if (failing_ || rows.size() != targets.size()) return false;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const int y = rows[i];
    if (y < 0 || y >= height_ || targets[i].firstRow == nullptr) continue;
    std::memcpy(targets[i].firstRow, &pixels_[static_cast<std::size_t>(y) * width_],
                static_cast<std::size_t>(width_) * 4);
    ++counts_.rows;
    counts_.pixels += width_;
  }
  return true;
}

bool FakeScreen::queryCursor(CursorInfo& cursor) {
  ++counts_.cursorQueries;
  if (failing_ || !cursor_.exists) {
    cursor.exists = false;
    return false;
  }
  cursor.exists = true;
  cursor.serial = cursor_.serial;
  cursor.x = cursor_.x;
  cursor.y = cursor_.y;
  cursor.hotX = cursor_.hotX;
  cursor.hotY = cursor_.hotY;
  cursor.width = cursor_.width;
  cursor.height = cursor_.height;
  // Copy into the caller's storage so an unchanged cursor costs no allocation.
  cursor.argb.assign(cursor_.argb.begin(), cursor_.argb.end());
  return true;
}

}  // namespace ostrel::platform
