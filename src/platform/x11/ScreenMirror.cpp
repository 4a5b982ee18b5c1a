#include "platform/x11/ScreenMirror.h"

#include <algorithm>

namespace ostrel::platform {

namespace {

// 8192 × 8192 pixels (256 MiB): beyond that grabbing directly is the better deal.
constexpr std::size_t kMaxPixels = std::size_t{8192} * 8192;

}  // namespace

bool ScreenMirror::reset(int width, int height) {
  width_ = 0;
  height_ = 0;
  pixels_.clear();
  stale_.clear();
  if (width <= 0 || height <= 0 || std::size_t(width) * std::size_t(height) > kMaxPixels) return false;
  pixels_.assign(std::size_t(width) * std::size_t(height) * 4, 0);
  stale_.assign(std::size_t(height), Span{0, width});
  width_ = width;
  height_ = height;
  return true;
}

void ScreenMirror::markStale(const ScreenRect& area) {
  const int left = std::max(area.left, 0);
  const int right = std::min(area.right, width_);
  if (left >= right) return;
  for (int y = std::max(area.top, 0); y < std::min(area.bottom, height_); ++y) {
    Span& span = stale_[std::size_t(y)];
    span = span.empty() ? Span{left, right} : Span{std::min(span.left, left), std::max(span.right, right)};
  }
}

ScreenRect ScreenMirror::staleBounds(const ScreenRect& area) const {
  ScreenRect bounds{width_, height_, 0, 0};
  const int top = std::max(area.top, 0);
  const int bottom = std::min(area.bottom, height_);
  for (int y = top; y < bottom; ++y) {
    const Span& span = stale_[std::size_t(y)];
    const int left = std::max(span.left, area.left);
    const int right = std::min(span.right, area.right);
    if (left >= right) continue;
    bounds = {std::min(bounds.left, left), std::min(bounds.top, y), std::max(bounds.right, right),
              std::max(bounds.bottom, y + 1)};
  }
  if (bounds.left >= bounds.right) return {};
  return bounds;
}

void ScreenMirror::markFresh(const ScreenRect& area) {
  const int top = std::max(area.top, 0);
  const int bottom = std::min(area.bottom, height_);
  for (int y = top; y < bottom; ++y) {
    Span& span = stale_[std::size_t(y)];
    if (span.empty() || span.right <= area.left || span.left >= area.right) continue;
    const bool outLeft = span.left < area.left;
    const bool outRight = span.right > area.right;
    if (outLeft && outRight) continue;
    if (outLeft) {
      span.right = area.left;
    } else if (outRight) {
      span.left = area.right;
    } else {
      span = {};
    }
  }
}

}  // namespace ostrel::platform
