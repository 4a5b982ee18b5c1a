#include "platform/x11/PixelConverter.h"

#include <bit>
#include <cstring>

namespace ostrel::platform {

namespace {

// A channel mask must be one run of at most 16 set bits; a table per channel
// then scales any width to 8 bits with rounding.
bool buildChannel(uint32_t mask, int& shift, std::vector<uint8_t>& table) {
  if (mask == 0) return false;
  shift = std::countr_zero(mask);
  const uint32_t run = mask >> shift;
  if ((run & (run + 1)) != 0) return false;
  const int width = std::popcount(run);
  if (width > 16) return false;
  table.resize(std::size_t{run} + 1);
  for (uint32_t v = 0; v <= run; ++v) table[v] = static_cast<uint8_t>((v * 255 + run / 2) / run);
  return true;
}

}  // namespace

std::optional<PixelConverter> PixelConverter::create(const ServerPixelFormat& format) {
  if (format.bitsPerPixel != 16 && format.bitsPerPixel != 24 && format.bitsPerPixel != 32)
    return std::nullopt;
  if (format.scanlinePad != 8 && format.scanlinePad != 16 && format.scanlinePad != 32) return std::nullopt;
  PixelConverter converter;
  converter.format_ = format;
  converter.bytesPerPixel_ = format.bitsPerPixel / 8;
  if (!buildChannel(format.redMask, converter.red_.shift, converter.red_.to8Bits) ||
      !buildChannel(format.greenMask, converter.green_.shift, converter.green_.to8Bits) ||
      !buildChannel(format.blueMask, converter.blue_.shift, converter.blue_.to8Bits)) {
    return std::nullopt;
  }
  const uint32_t all = format.redMask | format.greenMask | format.blueMask;
  const uint64_t pixelRange = (uint64_t{1} << format.bitsPerPixel) - 1;
  if (all > pixelRange) return std::nullopt;
  if ((format.redMask & format.greenMask) | (format.redMask & format.blueMask) |
      (format.greenMask & format.blueMask)) {
    return std::nullopt;
  }
  converter.plainBgrx_ = std::endian::native == std::endian::little && format.lsbFirst &&
                         format.bitsPerPixel == 32 && format.redMask == 0xff0000 &&
                         format.greenMask == 0x00ff00 && format.blueMask == 0x0000ff;
  return converter;
}

std::size_t PixelConverter::serverRowBytes(int width) const {
  const std::size_t bits = static_cast<std::size_t>(width) * static_cast<std::size_t>(format_.bitsPerPixel);
  const std::size_t pad = static_cast<std::size_t>(format_.scanlinePad);
  return (bits + pad - 1) / pad * pad / 8;
}

uint32_t PixelConverter::readPixel(const uint8_t* p) const {
  uint32_t value = 0;
  if (format_.lsbFirst) {
    for (int i = bytesPerPixel_ - 1; i >= 0; --i) value = (value << 8) | p[i];
  } else {
    for (int i = 0; i < bytesPerPixel_; ++i) value = (value << 8) | p[i];
  }
  return value;
}

void PixelConverter::convertRow(const uint8_t* source, int width, uint8_t* bgrx) const {
  if (plainBgrx_) {
    // The common case (depth 24 in 32-bit pixels): a copy that the compiler
    // vectorises, clearing the unused byte so grabs never carry server noise.
    for (int x = 0; x < width; ++x) {
      uint32_t pixel;
      std::memcpy(&pixel, source + 4 * x, 4);
      pixel &= 0x00ffffffu;
      std::memcpy(bgrx + 4 * x, &pixel, 4);
    }
    return;
  }
  for (int x = 0; x < width; ++x) {
    const uint32_t pixel = readPixel(source + static_cast<std::ptrdiff_t>(x) * bytesPerPixel_);
    uint8_t* out = bgrx + 4 * x;
    out[0] = blue_.to8Bits[(pixel & format_.blueMask) >> blue_.shift];
    out[1] = green_.to8Bits[(pixel & format_.greenMask) >> green_.shift];
    out[2] = red_.to8Bits[(pixel & format_.redMask) >> red_.shift];
    out[3] = 0;
  }
}

}  // namespace ostrel::platform
