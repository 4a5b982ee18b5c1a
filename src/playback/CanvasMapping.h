#pragma once

#include "platform/ScreenRect.h"

// Where the back buffer shows on a stretched canvas. The two factors are
// independent (canvas width / frame width, canvas height / frame height): the
// aspect ratio is not kept.
namespace ostrel::playback {

struct FrameAndCanvas {
  int frameWidth = 0;
  int frameHeight = 0;
  int canvasWidth = 0;
  int canvasHeight = 0;
};

// The canvas pixels that show `bufferRect` of the back buffer, rounded
// outwards, grown by `margin` canvas pixels on each side (a smoothing filter
// reaches that far) and clipped to the canvas. Empty for an empty input or a
// canvas or frame of zero size.
ScreenRect mapToCanvas(const ScreenRect& bufferRect, const FrameAndCanvas& sizes, int margin = 0);

// The back-buffer area, in fractional frame pixels, behind `canvasRect`: what
// a repaint of that canvas area scales from.
struct FrameArea {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
};
FrameArea mapToFrame(const ScreenRect& canvasRect, const FrameAndCanvas& sizes);

}  // namespace ostrel::playback
