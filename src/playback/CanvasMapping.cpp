#include "playback/CanvasMapping.h"

#include <algorithm>
#include <cmath>

namespace ostrel::playback {

ScreenRect mapToCanvas(const ScreenRect& r, const FrameAndCanvas& s, int margin) {
  if (r.width() <= 0 || r.height() <= 0 || s.frameWidth <= 0 || s.frameHeight <= 0 || s.canvasWidth <= 0 ||
      s.canvasHeight <= 0)
    return {};
  const double sx = static_cast<double>(s.canvasWidth) / s.frameWidth;
  const double sy = static_cast<double>(s.canvasHeight) / s.frameHeight;
  const double left = std::floor(r.left * sx) - margin;
  const double top = std::floor(r.top * sy) - margin;
  const double right = std::ceil(r.right * sx) + margin;
  const double bottom = std::ceil(r.bottom * sy) + margin;
  ScreenRect out{static_cast<int32_t>(std::clamp(left, 0.0, double(s.canvasWidth))),
                 static_cast<int32_t>(std::clamp(top, 0.0, double(s.canvasHeight))),
                 static_cast<int32_t>(std::clamp(right, 0.0, double(s.canvasWidth))),
                 static_cast<int32_t>(std::clamp(bottom, 0.0, double(s.canvasHeight)))};
  if (out.width() <= 0 || out.height() <= 0) return {};
  return out;
}

FrameArea mapToFrame(const ScreenRect& r, const FrameAndCanvas& s) {
  if (s.canvasWidth <= 0 || s.canvasHeight <= 0) return {};
  const double fx = static_cast<double>(s.frameWidth) / s.canvasWidth;
  const double fy = static_cast<double>(s.frameHeight) / s.canvasHeight;
  return {r.left * fx, r.top * fy, r.width() * fx, r.height() * fy};
}

}  // namespace ostrel::playback
