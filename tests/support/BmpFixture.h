#pragma once

#include <cstdint>
#include <vector>

namespace ostrel::test {

using ByteRows = std::vector<std::vector<uint8_t>>;

inline void put16(std::vector<uint8_t>& out, std::size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void put32(std::vector<uint8_t>& out, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// A bitmap file as region payloads carry it: the size field holds only the
// pixel-data size. `rows` are in file order, padding included.
struct BmpSpec {
  int width = 3;
  int height = 2;  // negative: top-down
  int bitCount = 32;
  uint32_t compression = 0;
  std::vector<uint8_t> table;  // colour table or bit-field masks, as stored
  ByteRows rows;
};

inline std::vector<uint8_t> makeBmp(const BmpSpec& s) {
  std::vector<uint8_t> pixels;
  for (const auto& r : s.rows) pixels.insert(pixels.end(), r.begin(), r.end());
  std::vector<uint8_t> out(54);
  out[0] = 'B';
  out[1] = 'M';
  put32(out, 2, static_cast<uint32_t>(pixels.size()));
  put32(out, 10, static_cast<uint32_t>(54 + s.table.size()));
  put32(out, 14, 40);
  put32(out, 18, static_cast<uint32_t>(s.width));
  put32(out, 22, static_cast<uint32_t>(s.height));
  put16(out, 26, 1);
  put16(out, 28, static_cast<uint32_t>(s.bitCount));
  put32(out, 30, s.compression);
  out.insert(out.end(), s.table.begin(), s.table.end());
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

}  // namespace ostrel::test
