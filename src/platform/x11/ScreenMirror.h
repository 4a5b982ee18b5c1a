#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/ScreenRect.h"

namespace ostrel::platform {

// A copy of the whole screen in BGRX that knows which of its pixels may be
// out of date. Each row keeps one stale column span; a span only ever covers
// too much, never too little, so reading it back can waste work but never
// hand out old pixels.
class ScreenMirror {
 public:
  struct Span {
    int left = 0;
    int right = 0;  // exclusive; empty when right <= left
    bool empty() const { return right <= left; }
  };

  // Sizes the mirror for a screen and marks all of it stale. False (and an
  // empty mirror) when the screen is too large to keep a copy of.
  bool reset(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }

  // Marks `area` (clipped to the screen) as changed on the screen.
  void markStale(const ScreenRect& area);
  Span staleSpan(int row) const { return stale_[static_cast<std::size_t>(row)]; }
  // One rectangle around the stale pixels inside `area`; empty when none are.
  ScreenRect staleBounds(const ScreenRect& area) const;
  // `area` was just read from the screen. A row's span shrinks where it lies
  // inside, or sticks out on one side only; a span that sticks out on both
  // sides stays whole, as one span cannot hold two pieces.
  void markFresh(const ScreenRect& area);

  uint8_t* row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * width_ * 4; }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint8_t> pixels_;
  std::vector<Span> stale_;
};

}  // namespace ostrel::platform
