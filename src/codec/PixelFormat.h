#pragma once

#include <cstdint>
#include <span>

namespace ostrel::codec {

// Conversion between 32-bit BGRX pixels and the work bitmap's depth: 24 bits
// as B, G, R; 16 bits as 5-5-5; 8, 4 and 1 bits as the index of the nearest
// entry of `table` (packed high bits first, as bitmap rows are).

// Writes `count` BGRX pixels into `row` from pixel x0 on, leaving other pixels as they are.
void storePixels(const uint8_t* bgrx, int count, uint8_t* row, int x0, int bitsPerPixel,
                 std::span<const uint8_t> table);

// Reads `count` pixels of `row` from pixel x0 on as BGRX (fourth byte 0 unless the depth is 32).
void loadPixels(const uint8_t* row, int x0, int count, int bitsPerPixel, std::span<const uint8_t> table,
                uint8_t* bgrx);

}  // namespace ostrel::codec
