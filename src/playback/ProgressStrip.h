#pragma once

#include <cstdint>

#include "platform/ScreenRect.h"

// The thin progress bar along the bottom of the control window's pause
// button: where it lies and how much of it is filled. Pure geometry, so it is
// checked without any widget.
namespace ostrel::playback {

// Colours as 0x00BBGGRR values.
inline constexpr uint32_t kStripBackgroundColour = 0x0000FF;  // red
inline constexpr uint32_t kStripFillColour = 0x00FF00;        // green

// 0xRRGGBB of a 0x00BBGGRR colour, for toolkits that take that order.
constexpr uint32_t rgbOfColourRef(uint32_t colour) {
  return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

struct StripRects {
  ScreenRect background;  // the whole bar
  ScreenRect fill;        // its filled start; empty at 0 % or less
};

// For a button of width × height: the bar is 2 pixels high, 4 pixels in from
// each side, its top 8 pixels above the bottom edge. The fill is
// (width − 8) / 100 × percent pixels, truncated; above 100 % the whole bar.
StripRects progressStripRects(int width, int height, int percent);

}  // namespace ostrel::playback
