#include "playback/ImageHeader.h"

#include <algorithm>
#include <cstdlib>

namespace ostrel::playback {

namespace {

using platform::ImageType;

uint32_t bigEndian(std::span<const uint8_t> b, std::size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | b[at + static_cast<std::size_t>(i)];
  return value;
}

uint32_t littleEndian(std::span<const uint8_t> b, std::size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | b[at + static_cast<std::size_t>(i)];
  return value;
}

bool startsWith(std::span<const uint8_t> bytes, std::initializer_list<uint8_t> magic) {
  return bytes.size() >= magic.size() && std::equal(magic.begin(), magic.end(), bytes.begin());
}

std::optional<ImageHeader> sized(ImageType type, int64_t width, int64_t height) {
  if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return std::nullopt;
  return ImageHeader{type, static_cast<int>(width), static_cast<int>(height)};
}

std::optional<ImageHeader> pngHeader(std::span<const uint8_t> b) {
  if (b.size() < 24 || !std::equal(b.begin() + 12, b.begin() + 16, "IHDR")) return std::nullopt;
  return sized(ImageType::Png, bigEndian(b, 16, 4), bigEndian(b, 20, 4));
}

std::optional<ImageHeader> bmpHeader(std::span<const uint8_t> b) {
  if (b.size() < 26) return std::nullopt;
  const uint32_t headerSize = littleEndian(b, 14, 4);
  if (headerSize == 12) return sized(ImageType::Bmp, littleEndian(b, 18, 2), littleEndian(b, 20, 2));
  if (headerSize < 40) return std::nullopt;
  const auto height = static_cast<int32_t>(littleEndian(b, 22, 4));
  return sized(ImageType::Bmp, static_cast<int32_t>(littleEndian(b, 18, 4)), std::abs(int64_t{height}));
}

std::optional<ImageHeader> jpegHeader(std::span<const uint8_t> b) {
  std::size_t at = 2;
  while (at + 4 <= b.size()) {
    if (b[at] != 0xFF) return std::nullopt;
    const uint8_t marker = b[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length field
      at += 2;
      continue;
    }
    const bool frameHeader =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frameHeader) {
      if (at + 9 > b.size()) return std::nullopt;
      return sized(ImageType::Jpeg, bigEndian(b, at + 7, 2), bigEndian(b, at + 5, 2));
    }
    if (marker == 0xD9 || marker == 0xDA) return std::nullopt;  // image data before any frame header
    at += 2 + bigEndian(b, at + 2, 2);
  }
  return std::nullopt;
}

}  // namespace

std::optional<ImageHeader> peekImageHeader(std::span<const uint8_t> bytes) {
  if (startsWith(bytes, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return pngHeader(bytes);
  if (startsWith(bytes, {0xFF, 0xD8, 0xFF})) return jpegHeader(bytes);
  if (startsWith(bytes, {'B', 'M'})) return bmpHeader(bytes);
  return std::nullopt;
}

}  // namespace ostrel::playback
