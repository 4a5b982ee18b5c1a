#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace ostrel::codec {

// The colour tables of the work bitmap at 1, 4 and 8 bits per pixel; each
// entry is 4 bytes: blue, green, red, 0.
struct ColourTables {
  std::array<uint8_t, 1024> palette256{};
  std::array<uint8_t, 64> palette16{};
  std::array<uint8_t, 8> palette2{};

  // Replaces all three with the default tables.
  void loadDefaults();

  // The table a bitmap of `bitsPerPixel` carries; empty at 16, 24 and 32.
  std::span<const uint8_t> forDepth(int bitsPerPixel) const;
};

// Index of the entry of `table` nearest to the colour (Euclidean distance in
// RGB; the lowest index wins a tie).
int nearestEntry(std::span<const uint8_t> table, uint8_t blue, uint8_t green, uint8_t red);

}  // namespace ostrel::codec
