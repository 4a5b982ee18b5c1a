#pragma once

#include <cstdint>
#include <vector>

#include "platform/ScreenRect.h"

namespace ostrel::codec {

// The generator that picks each frame's first sampled row.
class FrameRandom {
 public:
  void seed(uint32_t value) { state_ = value; }
  int next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFF);
  }

 private:
  uint32_t state_ = 0;
};

// Changed stretches of one sampled row, left to right. Left and right count
// 16-pixel blocks (left = first block - 1, right = last block); top and bottom
// are the pixel rows y - half and y + half - 1.
using LineGroup = std::vector<ScreenRect>;

// Compares one scanned row with its reference row (both `stride` bytes) and,
// when they differ, appends the row's line group to `groups`. Blocks that differ
// with up to five unchanged blocks between them share a rectangle.
void collectLineGroup(const uint8_t* scanned, const uint8_t* reference, int stride, int screenWidth,
                      int blockBytes, int y, int half, std::vector<LineGroup>& groups);

// Merges the line groups (consumed) into the frame's change regions in pixels,
// clipped to the W × H screen, in the order their seeds were taken.
void mergeLineGroups(std::vector<LineGroup>& groups, int screenWidth, int screenHeight, int half,
                     std::vector<ScreenRect>& regions);

}  // namespace ostrel::codec
