#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace ostrel::platform {

// How the X server lays out the pixels of a ZPixmap image of the root window.
struct ServerPixelFormat {
  int depth = 24;
  int bitsPerPixel = 32;
  int scanlinePad = 32;  // bits; every row is padded to a multiple of this
  bool lsbFirst = true;  // image byte order
  uint32_t redMask = 0xff0000;
  uint32_t greenMask = 0x00ff00;
  uint32_t blueMask = 0x0000ff;
};

// Turns rows of server pixels into 32-bit BGRX rows (X = 0) for true-colour
// visuals of any channel width at 16, 24 or 32 bits per pixel.
class PixelConverter {
 public:
  // Empty for layouts it cannot read (palette visuals, odd pixel sizes).
  static std::optional<PixelConverter> create(const ServerPixelFormat& format);

  // Bytes one row of `width` pixels takes in the server's image.
  std::size_t serverRowBytes(int width) const;

  void convertRow(const uint8_t* source, int width, uint8_t* bgrx) const;

 private:
  struct Channel {
    int shift = 0;
    std::vector<uint8_t> to8Bits;  // channel value -> 0..255
  };

  PixelConverter() = default;
  uint32_t readPixel(const uint8_t* p) const;

  ServerPixelFormat format_;
  int bytesPerPixel_ = 4;
  bool plainBgrx_ = false;  // the server already stores BGRX: copy and clear X
  Channel red_, green_, blue_;
};

}  // namespace ostrel::platform
