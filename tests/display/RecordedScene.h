#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "display/RootPainter.h"

namespace ostrel::test {

// The screen the recording tests record: a gradient with a white block, the
// pointer parked in the bottom-right corner.
struct RecordedScene {
  static constexpr int kWidth = 320, kHeight = 240;
  static constexpr int kPointerX = 300, kPointerY = 220;

  // Paints it with `blue` in every pixel outside the block; returns the picture painted.
  static std::vector<uint32_t> paint(RootPainter& painter, uint32_t blue);
};

// How far a picture exported by `ostrel export` is from the painted one,
// per colour channel, the corner where the recorder draws the pointer left out.
struct PictureDifference {
  std::string error;  // not empty when the picture could not be read or has another size
  int maximum = 0;
  double mean = 0;
  int64_t differing = 0;  // channel values that differ at all
};
PictureDifference compareWithScene(const std::filesystem::path& png, const std::vector<uint32_t>& painted);

}  // namespace ostrel::test
