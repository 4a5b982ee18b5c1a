#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "platform/image/ImageCodec.h"

// One decoder per format behind decodeImage. Each checks the header's sizes
// against the limits and the bytes at hand before it allocates anything.
namespace ostrel::platform::detail {

std::optional<DecodedImage> decodePng(std::span<const uint8_t> bytes, const DecodeLimits& limits);
std::optional<DecodedImage> decodeJpeg(std::span<const uint8_t> bytes, const DecodeLimits& limits);
std::optional<DecodedImage> decodeBmp(std::span<const uint8_t> bytes, const DecodeLimits& limits);

// True when a picture of width × height is allowed (both sides positive).
inline bool withinLimits(int64_t width, int64_t height, const DecodeLimits& limits) {
  return width > 0 && height > 0 && width <= limits.maxSide && height <= limits.maxSide &&
         width * height <= limits.maxPixels;
}

// The fourth byte of every decoded pixel: opaque, so the picture can be shown
// as a 0xFFRRGGBB image without a copy.
inline constexpr uint8_t kOpaque = 0xFF;

}  // namespace ostrel::platform::detail
