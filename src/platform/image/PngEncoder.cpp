// PNG writer: the few chunks a viewer needs (IHDR, one IDAT, IEND) around a
// zlib stream from libdeflate. One fixed filter (or a choice of two per row)
// keeps the filter pass a few tight loops; libdeflate at level 1 does the rest
// faster than libpng.
#include <libdeflate.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/image/ImageCodec.h"

namespace ostrel::platform {
namespace {

struct CompressorDeleter {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorDeleter>;

// A compressor holds a few hundred kilobytes of tables: keep one per level and
// thread, since regions are encoded on several threads at once.
libdeflate_compressor* compressorFor(int level) {
  thread_local std::array<Compressor, 13> compressors;
  if (level < 0 || level > 12) return nullptr;
  auto& slot = compressors[static_cast<std::size_t>(level)];
  if (!slot) slot.reset(libdeflate_alloc_compressor(level));
  return slot.get();
}

constexpr std::array<uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

void put32(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value >> 24);
  at[1] = static_cast<uint8_t>(value >> 16);
  at[2] = static_cast<uint8_t>(value >> 8);
  at[3] = static_cast<uint8_t>(value);
}

// Writes length, type and CRC around `dataSize` bytes already placed at
// chunkStart + 8.
void closeChunk(uint8_t* chunkStart, const char* type, std::size_t dataSize) {
  put32(chunkStart, static_cast<uint32_t>(dataSize));
  std::memcpy(chunkStart + 4, type, 4);
  const uint32_t crc = libdeflate_crc32(0, chunkStart + 4, dataSize + 4);
  put32(chunkStart + 8 + dataSize, crc);
}

uint8_t paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = p > a ? p - a : a - p;
  const int pb = p > b ? p - b : b - p;
  const int pc = p > c ? p - c : c - p;
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}

// BGRX row to RGB.
void toRgb(const uint8_t* bgrx, int width, uint8_t* rgb) {
  for (int x = 0; x < width; ++x, bgrx += 4, rgb += 3) {
    rgb[0] = bgrx[2];
    rgb[1] = bgrx[1];
    rgb[2] = bgrx[0];
  }
}

// Filters one RGB row (`cur`, with `prev` the row above or zeros) into `out`.
void filterRow(int filter, const uint8_t* cur, const uint8_t* prev, std::size_t n, uint8_t* out) {
  switch (filter) {
    case 0:
      std::memcpy(out, cur, n);
      break;
    case 1:
      for (std::size_t i = 0; i < n && i < 3; ++i) out[i] = cur[i];
      for (std::size_t i = 3; i < n; ++i) out[i] = static_cast<uint8_t>(cur[i] - cur[i - 3]);
      break;
    case 2:
      for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(cur[i] - prev[i]);
      break;
    case 3:
      for (std::size_t i = 0; i < n; ++i) {
        const int left = i >= 3 ? cur[i - 3] : 0;
        out[i] = static_cast<uint8_t>(cur[i] - ((left + prev[i]) >> 1));
      }
      break;
    case 4:
      for (std::size_t i = 0; i < n; ++i) {
        const int left = i >= 3 ? cur[i - 3] : 0;
        const int upLeft = i >= 3 ? prev[i - 3] : 0;
        out[i] = static_cast<uint8_t>(cur[i] - paeth(left, prev[i], upLeft));
      }
      break;
  }
}

// The common case gets its own loop: convert and filter in one pass.
void subFilterRow(const uint8_t* bgrx, int width, uint8_t* out) {
  uint8_t r = 0, g = 0, b = 0;
  for (int x = 0; x < width; ++x, bgrx += 4, out += 3) {
    out[0] = static_cast<uint8_t>(bgrx[2] - r);
    out[1] = static_cast<uint8_t>(bgrx[1] - g);
    out[2] = static_cast<uint8_t>(bgrx[0] - b);
    r = bgrx[2];
    g = bgrx[1];
    b = bgrx[0];
  }
}

// Sum of the filtered bytes read as signed values: the usual estimate of how
// well a row will compress.
uint32_t cost(const uint8_t* line, std::size_t n) {
  uint32_t sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += static_cast<uint32_t>(std::abs(static_cast<int8_t>(line[i])));
  return sum;
}

}  // namespace

bool encodePng(const BgrxView& image, std::vector<uint8_t>& out, const PngEncodeOptions& options) {
  if (!image.firstRow || image.width <= 0 || image.height <= 0) return false;
  if (options.filter < 0 || options.filter > kAdaptiveFilter) return false;
  libdeflate_compressor* compressor = compressorFor(options.deflateLevel);
  if (!compressor) return false;

  const std::size_t rgbRow = static_cast<std::size_t>(image.width) * 3;
  const std::size_t lineSize = rgbRow + 1;
  const std::size_t rawSize = lineSize * static_cast<std::size_t>(image.height);
  if (rawSize / lineSize != static_cast<std::size_t>(image.height)) return false;

  // Scratch kept per thread: a full-screen region would otherwise cost a
  // multi-megabyte allocation per call.
  thread_local std::vector<uint8_t> filtered;
  thread_local std::vector<uint8_t> rows;
  filtered.resize(rawSize);
  if (options.filter == 1) {
    for (int y = 0; y < image.height; ++y) {
      uint8_t* line = filtered.data() + lineSize * static_cast<std::size_t>(y);
      line[0] = 1;
      subFilterRow(image.firstRow + image.stride * y, image.width, line + 1);
    }
  } else if (options.filter == kAdaptiveFilter) {
    rows.assign(rgbRow * 3 + 1, 0);  // current and previous RGB row, the UP candidate
    uint8_t* cur = rows.data();
    uint8_t* prev = rows.data() + rgbRow;
    uint8_t* up = rows.data() + rgbRow * 2;
    for (int y = 0; y < image.height; ++y) {
      const uint8_t* source = image.firstRow + image.stride * y;
      toRgb(source, image.width, cur);
      uint8_t* line = filtered.data() + lineSize * static_cast<std::size_t>(y);
      line[0] = 1;
      subFilterRow(source, image.width, line + 1);
      up[0] = 2;
      filterRow(2, cur, prev, rgbRow, up + 1);
      if (cost(up + 1, rgbRow) < cost(line + 1, rgbRow)) std::memcpy(line, up, lineSize);
      std::swap(cur, prev);
    }
  } else {
    rows.assign(rgbRow * 2, 0);  // current and previous RGB row
    uint8_t* cur = rows.data();
    uint8_t* prev = rows.data() + rgbRow;
    for (int y = 0; y < image.height; ++y) {
      toRgb(image.firstRow + image.stride * y, image.width, cur);
      uint8_t* line = filtered.data() + lineSize * static_cast<std::size_t>(y);
      line[0] = static_cast<uint8_t>(options.filter);
      filterRow(options.filter, cur, prev, rgbRow, line + 1);
      std::swap(cur, prev);
    }
  }

  const std::size_t bound = libdeflate_zlib_compress_bound(compressor, rawSize);
  const std::size_t start = out.size();
  constexpr std::size_t kIhdrChunk = 12 + 13;
  constexpr std::size_t kIendChunk = 12;
  out.resize(start + kSignature.size() + kIhdrChunk + 12 + bound + kIendChunk);
  uint8_t* p = out.data() + start;
  std::memcpy(p, kSignature.data(), kSignature.size());
  p += kSignature.size();

  uint8_t* ihdr = p + 8;
  put32(ihdr, static_cast<uint32_t>(image.width));
  put32(ihdr + 4, static_cast<uint32_t>(image.height));
  ihdr[8] = 8;   // bits per channel
  ihdr[9] = 2;   // colour type RGB
  ihdr[10] = 0;  // deflate
  ihdr[11] = 0;  // adaptive filtering (one filter type per row)
  ihdr[12] = 0;  // not interlaced
  closeChunk(p, "IHDR", 13);
  p += kIhdrChunk;

  const std::size_t packed = libdeflate_zlib_compress(compressor, filtered.data(), rawSize, p + 8, bound);
  if (packed == 0 || packed > 0x7FFFFFFF) {
    out.resize(start);
    return false;
  }
  closeChunk(p, "IDAT", packed);
  p += 12 + packed;

  closeChunk(p, "IEND", 0);
  p += kIendChunk;
  out.resize(static_cast<std::size_t>(p - out.data()));
  return true;
}

}  // namespace ostrel::platform
