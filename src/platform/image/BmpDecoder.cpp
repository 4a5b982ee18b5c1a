// Our own reader for uncompressed bitmap files, as region payloads carry them.
// Writers of such payloads store only the pixel-data size in the file header's
// size field, so that field is never read: the size comes from width, height
// and bit count, checked against the bytes at hand.
#include <array>
#include <bit>
#include <new>

#include "platform/image/ImageDecoders.h"

namespace ostrel::platform::detail {
namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr std::size_t kFileHeaderSize = 14;

uint32_t le32(std::span<const uint8_t> b, std::size_t at) {
  return uint32_t{b[at]} | (uint32_t{b[at + 1]} << 8) | (uint32_t{b[at + 2]} << 16) |
         (uint32_t{b[at + 3]} << 24);
}
uint16_t le16(std::span<const uint8_t> b, std::size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

// One colour channel of a 16- or 32-bit pixel, widened to 8 bits by repeating
// its bit pattern (5-bit 31 becomes 255, 16 becomes 132).
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  static std::optional<Channel> fromMask(uint32_t mask) {
    Channel c;
    c.mask = mask;
    if (mask == 0) return c;
    c.shift = std::countr_zero(mask);
    c.bits = std::popcount(mask);
    if ((mask >> c.shift) != (c.bits == 32 ? 0xFFFFFFFFu : (1u << c.bits) - 1)) return std::nullopt;
    return c;
  }

  uint8_t read(uint32_t pixel) const {
    if (bits == 0) return 0;
    uint32_t value = (pixel & mask) >> shift;
    if (bits >= 8) return static_cast<uint8_t>(value >> (bits - 8));
    uint32_t wide = 0;
    int filled = 0;
    for (; filled < 8; filled += bits) wide = (wide << bits) | value;
    return static_cast<uint8_t>(wide >> (filled - 8));
  }
};

struct Header {
  int width = 0;
  int height = 0;
  bool topDown = false;
  int bitCount = 0;
  std::size_t dataOffset = 0;
  std::size_t rowSize = 0;
  std::array<Channel, 3> rgb;        // for 16 and 32 bits
  bool standard32 = false;           // 32 bits in blue, green, red, X order
  std::span<const uint8_t> palette;  // 4 bytes per entry, for 1, 4 and 8 bits
};

bool knownInfoHeaderSize(uint32_t size) {
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

std::optional<Header> readHeader(std::span<const uint8_t> bytes, const DecodeLimits& limits) {
  if (bytes.size() < kFileHeaderSize + 40) return std::nullopt;
  const uint32_t infoSize = le32(bytes, 14);
  if (!knownInfoHeaderSize(infoSize) || bytes.size() < kFileHeaderSize + infoSize) return std::nullopt;

  Header h;
  const int64_t width = static_cast<int32_t>(le32(bytes, 18));
  const int64_t height = static_cast<int32_t>(le32(bytes, 22));
  h.topDown = height < 0;
  const int64_t rows = h.topDown ? -height : height;
  if (!withinLimits(width, rows, limits)) return std::nullopt;
  h.width = static_cast<int>(width);
  h.height = static_cast<int>(rows);
  h.bitCount = le16(bytes, 28);
  const uint32_t compression = le32(bytes, 30);

  std::size_t tableStart = kFileHeaderSize + infoSize;
  switch (h.bitCount) {
    case 1:
    case 4:
    case 8: {
      if (compression != kBiRgb) return std::nullopt;
      const uint32_t full = 1u << h.bitCount;
      const uint32_t used = le32(bytes, 46);
      const std::size_t entries = used == 0 || used > full ? full : used;
      if (bytes.size() < tableStart || bytes.size() - tableStart < entries * 4) return std::nullopt;
      h.palette = bytes.subspan(tableStart, entries * 4);
      break;
    }
    case 24:
      if (compression != kBiRgb) return std::nullopt;
      break;
    case 16:
    case 32: {
      std::array<uint32_t, 3> masks = h.bitCount == 16 ? std::array<uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                                                       : std::array<uint32_t, 3>{0xFF0000, 0xFF00, 0xFF};
      if (compression == kBiBitfields) {
        // The masks follow a 40-byte header, or sit inside a longer one.
        const std::size_t at = kFileHeaderSize + 40;
        if (bytes.size() < at + 12) return std::nullopt;
        for (std::size_t i = 0; i < 3; ++i) masks[i] = le32(bytes, at + 4 * i);
        if (infoSize == 40) tableStart += 12;
      } else if (compression != kBiRgb) {
        return std::nullopt;
      }
      for (std::size_t i = 0; i < 3; ++i) {
        const auto channel = Channel::fromMask(masks[i]);
        if (!channel) return std::nullopt;
        h.rgb[i] = *channel;
      }
      h.standard32 = h.bitCount == 32 && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF;
      break;
    }
    default:
      return std::nullopt;
  }

  // Sides are at most limits.maxSide, so none of this can overflow.
  h.dataOffset = le32(bytes, 10);
  h.rowSize = ((static_cast<std::size_t>(h.width) * h.bitCount + 31) >> 5) << 2;
  const std::size_t lastRowBytes = (static_cast<std::size_t>(h.width) * h.bitCount + 7) >> 3;
  const std::size_t needed = h.rowSize * static_cast<std::size_t>(h.height - 1) + lastRowBytes;
  if (h.dataOffset < kFileHeaderSize + infoSize || h.dataOffset > bytes.size() ||
      bytes.size() - h.dataOffset < needed)
    return std::nullopt;
  return h;
}

bool decodeRow(const Header& h, const uint8_t* src, uint8_t* out) {
  const int w = h.width;
  switch (h.bitCount) {
    case 1:
    case 4:
    case 8: {
      const std::size_t entries = h.palette.size() / 4;
      const int perByte = 8 / h.bitCount;
      const unsigned valueMask = (1u << h.bitCount) - 1;
      for (int x = 0; x < w; ++x, out += 4) {
        const int shift = 8 - h.bitCount * (x % perByte + 1);
        const unsigned index = (src[x / perByte] >> shift) & valueMask;
        if (index >= entries) return false;  // a colour the table does not hold
        const uint8_t* entry = h.palette.data() + index * 4;
        out[0] = entry[0];
        out[1] = entry[1];
        out[2] = entry[2];
        out[3] = kOpaque;
      }
      return true;
    }
    case 24:
      for (int x = 0; x < w; ++x, src += 3, out += 4) {
        out[0] = src[0];
        out[1] = src[1];
        out[2] = src[2];
        out[3] = kOpaque;
      }
      return true;
    case 32:
      if (h.standard32) {
        for (int x = 0; x < w; ++x, src += 4, out += 4) {
          out[0] = src[0];
          out[1] = src[1];
          out[2] = src[2];
          out[3] = kOpaque;
        }
        return true;
      }
      [[fallthrough]];
    default: {
      const int bytesPerPixel = h.bitCount / 8;
      for (int x = 0; x < w; ++x, src += bytesPerPixel, out += 4) {
        const uint32_t pixel = bytesPerPixel == 2 ? le16({src, 2}, 0) : le32({src, 4}, 0);
        out[0] = h.rgb[2].read(pixel);
        out[1] = h.rgb[1].read(pixel);
        out[2] = h.rgb[0].read(pixel);
        out[3] = kOpaque;
      }
      return true;
    }
  }
}

}  // namespace

std::optional<DecodedImage> decodeBmp(std::span<const uint8_t> bytes, const DecodeLimits& limits) {
  const auto header = readHeader(bytes, limits);
  if (!header) return std::nullopt;
  DecodedImage image;
  image.width = header->width;
  image.height = header->height;
  try {
    image.bgrx.resize(static_cast<std::size_t>(header->width) * static_cast<std::size_t>(header->height) * 4);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  const std::size_t outRow = static_cast<std::size_t>(header->width) * 4;
  for (int y = 0; y < header->height; ++y) {
    const int sourceRow = header->topDown ? y : header->height - 1 - y;
    const uint8_t* src =
        bytes.data() + header->dataOffset + header->rowSize * static_cast<std::size_t>(sourceRow);
    if (!decodeRow(*header, src, image.bgrx.data() + outRow * static_cast<std::size_t>(y)))
      return std::nullopt;
  }
  return image;
}

}  // namespace ostrel::platform::detail
