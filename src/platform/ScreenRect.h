#pragma once

#include <cstdint>

namespace ostrel {

// A rectangle in screen pixels; right and bottom are exclusive.
struct ScreenRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  int32_t width() const { return right - left; }
  int32_t height() const { return bottom - top; }
  bool operator==(const ScreenRect&) const = default;
};

}  // namespace ostrel
