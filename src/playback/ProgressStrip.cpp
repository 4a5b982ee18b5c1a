#include "playback/ProgressStrip.h"

#include <algorithm>
#include <cmath>

namespace ostrel::playback {

StripRects progressStripRects(int width, int height, int percent) {
  constexpr int kInset = 4;
  constexpr int kFromBottom = 8;
  constexpr int kThickness = 2;
  StripRects rects;
  const int barWidth = std::max(0, width - 2 * kInset);
  const int top = height - kFromBottom;
  rects.background = {kInset, top, kInset + barWidth, top + kThickness};
  if (percent > 0) {
    const int p = std::min(percent, 100);
    const int fillWidth = static_cast<int>(std::trunc(static_cast<double>(barWidth) / 100.0 * p));
    rects.fill = {kInset, top, kInset + fillWidth, top + kThickness};
  }
  return rects;
}

}  // namespace ostrel::playback
