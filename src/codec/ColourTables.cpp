#include "codec/ColourTables.h"

#include <climits>

namespace ostrel::codec {

namespace {

void putRgb(uint8_t* entry, uint32_t rgb) {
  entry[0] = static_cast<uint8_t>(rgb & 0xFF);
  entry[1] = static_cast<uint8_t>((rgb >> 8) & 0xFF);
  entry[2] = static_cast<uint8_t>((rgb >> 16) & 0xFF);
  entry[3] = 0;
}

constexpr uint32_t kSixteen[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                   0x008080, 0x808080, 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00,
                                   0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
constexpr uint32_t kLow[10] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080,
                               0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0, 0xA6CAF0};
constexpr uint32_t kHigh[10] = {0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00,
                                0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

}  // namespace

void ColourTables::loadDefaults() {
  putRgb(&palette2[0], 0x000000);
  putRgb(&palette2[4], 0xFFFFFF);
  for (int i = 0; i < 16; ++i) putRgb(&palette16[i * 4], kSixteen[i]);
  for (int i = 0; i < 10; ++i) putRgb(&palette256[i * 4], kLow[i]);
  for (int i = 10; i < 246; ++i) {
    const uint32_t red = 32u * (i % 8), green = 32u * ((i / 8) % 8), blue = 64u * (i / 64);
    putRgb(&palette256[i * 4], (red << 16) | (green << 8) | blue);
  }
  for (int i = 0; i < 10; ++i) putRgb(&palette256[(246 + i) * 4], kHigh[i]);
}

std::span<const uint8_t> ColourTables::forDepth(int bitsPerPixel) const {
  switch (bitsPerPixel) {
    case 8:
      return palette256;
    case 4:
      return palette16;
    case 1:
      return palette2;
    default:
      return {};
  }
}

int nearestEntry(std::span<const uint8_t> table, uint8_t blue, uint8_t green, uint8_t red) {
  int best = 0;
  int bestDistance = INT_MAX;
  for (std::size_t i = 0; i + 3 < table.size(); i += 4) {
    const int db = table[i] - blue, dg = table[i + 1] - green, dr = table[i + 2] - red;
    const int distance = db * db + dg * dg + dr * dr;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = static_cast<int>(i / 4);
      if (distance == 0) break;
    }
  }
  return best;
}

}  // namespace ostrel::codec
