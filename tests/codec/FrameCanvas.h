#pragma once

// Test-side readers of what the grabber writes: a small bitmap-file decoder
// written from the file layout alone, and a canvas that applies frame records.
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "codec/StreamFormat.h"

namespace ostrel::codec::testing {

inline uint32_t read32(Bytes b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
inline uint16_t read16(Bytes b, std::size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

// A decoded picture as 0x00RRGGBB values, top-down.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

inline std::optional<Picture> decodeBmp(Bytes b) {
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return std::nullopt;
  const uint32_t offset = read32(b, 10);
  const int w = static_cast<int>(read32(b, 18)), h = static_cast<int>(read32(b, 22));
  const int bits = read16(b, 28);
  if (w <= 0 || h <= 0 || w > 20000 || h > 20000) return std::nullopt;
  const std::size_t rowBytes = ((static_cast<std::size_t>(w) * bits + 31) >> 5) << 2;
  if (b.size() < offset + rowBytes * h) return std::nullopt;
  Picture p{w, h, std::vector<uint32_t>(static_cast<std::size_t>(w) * h)};
  for (int row = 0; row < h; ++row) {
    const uint8_t* r = b.data() + offset + rowBytes * (h - 1 - row);
    for (int x = 0; x < w; ++x) {
      uint32_t value = 0;
      switch (bits) {
        case 32:
        case 24: {
          const uint8_t* q = r + x * (bits / 8);
          value = q[0] | (q[1] << 8) | (q[2] << 16);
          break;
        }
        case 16: {
          const unsigned v = r[2 * x] | (r[2 * x + 1] << 8);
          const auto e = [](unsigned c) { return (c << 3) | (c >> 2); };
          value = e(v & 31) | (e((v >> 5) & 31) << 8) | (e((v >> 10) & 31) << 16);
          break;
        }
        default: {
          const int index = bits == 8   ? r[x]
                            : bits == 4 ? (r[x / 2] >> (x % 2 ? 0 : 4)) & 15
                                        : (r[x / 8] >> (7 - x % 8)) & 1;
          const uint8_t* entry = b.data() + 54 + 4 * index;
          value = entry[0] | (entry[1] << 8) | (entry[2] << 16);
        }
      }
      p.pixels[static_cast<std::size_t>(row) * w + x] = value;
    }
  }
  return p;
}

// Applies frame records the way a reader does: split at trailers, draw each
// bitmap at its position. Counts what could not be drawn.
struct Canvas {
  int width;
  int height;
  std::vector<uint32_t> pixels;
  int undrawable = 0;
  Canvas(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, 0) {}

  void apply(Bytes record) {
    for (const RegionSlice& slice : splitRegionPieces(record)) {
      const auto picture = slice.framed ? decodeBmp(slice.piece.payload) : std::nullopt;
      if (!picture) {
        ++undrawable;
        continue;
      }
      for (int y = 0; y < picture->height; ++y)
        for (int x = 0; x < picture->width; ++x) {
          const int cx = slice.piece.x + x, cy = slice.piece.y + y;
          if (cx >= 0 && cy >= 0 && cx < width && cy < height)
            pixels[static_cast<std::size_t>(cy) * width + cx] = picture->at(x, y);
        }
    }
  }
};

}  // namespace ostrel::codec::testing
