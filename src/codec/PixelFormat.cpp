#include "codec/PixelFormat.h"

#include <cstring>

#include "codec/ColourTables.h"

namespace ostrel::codec {

namespace {

// Screens are mostly runs of one colour: remember the last look-up.
class NearestCache {
 public:
  explicit NearestCache(std::span<const uint8_t> table) : table_(table) {}
  int operator()(const uint8_t* p) {
    const uint32_t key = p[0] | (p[1] << 8) | (p[2] << 16);
    if (!valid_ || key != key_) {
      index_ = nearestEntry(table_, p[0], p[1], p[2]);
      key_ = key;
      valid_ = true;
    }
    return index_;
  }

 private:
  std::span<const uint8_t> table_;
  bool valid_ = false;
  uint32_t key_ = 0;
  int index_ = 0;
};

void putIndex(uint8_t* row, int x, int bitsPerPixel, int index) {
  if (bitsPerPixel == 8) {
    row[x] = static_cast<uint8_t>(index);
  } else if (bitsPerPixel == 4) {
    uint8_t& byte = row[x >> 1];
    byte = (x & 1) ? static_cast<uint8_t>((byte & 0xF0) | (index & 0x0F))
                   : static_cast<uint8_t>((byte & 0x0F) | ((index & 0x0F) << 4));
  } else {
    uint8_t& byte = row[x >> 3];
    const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
    byte = index ? static_cast<uint8_t>(byte | bit) : static_cast<uint8_t>(byte & ~bit);
  }
}

int getIndex(const uint8_t* row, int x, int bitsPerPixel) {
  if (bitsPerPixel == 8) return row[x];
  if (bitsPerPixel == 4) return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
  return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

uint8_t expand5(unsigned value) { return static_cast<uint8_t>((value << 3) | (value >> 2)); }

}  // namespace

void storePixels(const uint8_t* bgrx, int count, uint8_t* row, int x0, int bitsPerPixel,
                 std::span<const uint8_t> table) {
  switch (bitsPerPixel) {
    case 32:
      std::memcpy(row + static_cast<std::ptrdiff_t>(x0) * 4, bgrx, static_cast<std::size_t>(count) * 4);
      return;
    case 24: {
      uint8_t* out = row + static_cast<std::ptrdiff_t>(x0) * 3;
      for (int i = 0; i < count; ++i, bgrx += 4, out += 3) {
        out[0] = bgrx[0];
        out[1] = bgrx[1];
        out[2] = bgrx[2];
      }
      return;
    }
    case 16: {
      uint8_t* out = row + static_cast<std::ptrdiff_t>(x0) * 2;
      for (int i = 0; i < count; ++i, bgrx += 4, out += 2) {
        const unsigned value = ((bgrx[2] >> 3) << 10) | ((bgrx[1] >> 3) << 5) | (bgrx[0] >> 3);
        out[0] = static_cast<uint8_t>(value & 0xFF);
        out[1] = static_cast<uint8_t>(value >> 8);
      }
      return;
    }
    default: {
      NearestCache nearest(table);
      for (int i = 0; i < count; ++i, bgrx += 4) putIndex(row, x0 + i, bitsPerPixel, nearest(bgrx));
      return;
    }
  }
}

void loadPixels(const uint8_t* row, int x0, int count, int bitsPerPixel, std::span<const uint8_t> table,
                uint8_t* bgrx) {
  switch (bitsPerPixel) {
    case 32:
      std::memcpy(bgrx, row + static_cast<std::ptrdiff_t>(x0) * 4, static_cast<std::size_t>(count) * 4);
      return;
    case 24: {
      const uint8_t* in = row + static_cast<std::ptrdiff_t>(x0) * 3;
      for (int i = 0; i < count; ++i, bgrx += 4, in += 3) {
        bgrx[0] = in[0];
        bgrx[1] = in[1];
        bgrx[2] = in[2];
        bgrx[3] = 0;
      }
      return;
    }
    case 16: {
      const uint8_t* in = row + static_cast<std::ptrdiff_t>(x0) * 2;
      for (int i = 0; i < count; ++i, bgrx += 4, in += 2) {
        const unsigned value = in[0] | (in[1] << 8);
        bgrx[0] = expand5(value & 0x1F);
        bgrx[1] = expand5((value >> 5) & 0x1F);
        bgrx[2] = expand5((value >> 10) & 0x1F);
        bgrx[3] = 0;
      }
      return;
    }
    default:
      for (int i = 0; i < count; ++i, bgrx += 4) {
        const std::size_t entry = static_cast<std::size_t>(getIndex(row, x0 + i, bitsPerPixel)) * 4;
        if (entry + 3 < table.size()) {
          std::memcpy(bgrx, &table[entry], 3);
        } else {
          bgrx[0] = bgrx[1] = bgrx[2] = 0;
        }
        bgrx[3] = 0;
      }
      return;
  }
}

}  // namespace ostrel::codec
