#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "platform/image/ImageCodec.h"

namespace ostrel::playback {

struct ImageHeader {
  platform::ImageType type = platform::ImageType::Unknown;
  int width = 0;
  int height = 0;
};

// Type and size of a region's image read from its header alone, without
// decoding any pixels, so a recording of any length can be summarised fast.
// Nothing when the header is not there or is cut short.
std::optional<ImageHeader> peekImageHeader(std::span<const uint8_t> bytes);

}  // namespace ostrel::playback
