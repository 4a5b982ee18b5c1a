#include "codec/RegionEncoder.h"

#include <algorithm>
#include <cstring>

#include "codec/FramingCheck.h"
#include "codec/PixelFormat.h"
#include "platform/image/ImageCodec.h"

namespace ostrel::codec {

namespace {

void put16(std::vector<uint8_t>& out, unsigned value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>((value >> (8 * i)) & 0xFF));
}

// The first settings are the normal ones (per-row choice of SUB or UP, about the
// size of a thorough encoder at a third of its time); the others are tried, in
// order, when a payload breaks the framing.
constexpr platform::PngEncodeOptions kPngAttempts[] = {{1, platform::kAdaptiveFilter}, {1, 1}, {1, 0}, {1, 2},
                                                       {2, platform::kAdaptiveFilter}, {6, 1}};
constexpr int kJpegQualitySteps[] = {0, -1, 1, -2, 2, -3};
constexpr int kAttempts = 6;

// Pixels are addressed by whole bytes at 1 and 4 bits per pixel, so cuts between
// columns fall on byte boundaries.
int columnGranularity(int bitsPerPixel) { return bitsPerPixel < 8 ? 8 / bitsPerPixel : 1; }

}  // namespace

bool appendBmpPayload(const WorkBitmap& bitmap, const ColourTables& tables, const ScreenRect& area,
                      std::vector<uint8_t>& out, bool checkFraming) {
  const int bits = bitmap.bitsPerPixel();
  const int w = area.width(), h = area.height();
  const std::size_t rowBytes = static_cast<std::size_t>(bitmapRowBytes(w, bits));
  const std::span<const uint8_t> table = tables.forDepth(bits);
  const uint32_t headerSize = 54 + static_cast<uint32_t>(table.size());
  const std::size_t payloadStart = out.size();
  const std::size_t needed = payloadStart + headerSize + rowBytes * h;
  // Grow geometrically: an exact reserve per region would copy the buffer again and again.
  if (out.capacity() < needed) out.reserve(std::max(needed, 2 * out.capacity()));
  out.push_back('B');
  out.push_back('M');
  put32(out, static_cast<uint32_t>(rowBytes * h));  // pixel data only, as stored files have it
  put32(out, 0);
  put32(out, headerSize);
  put32(out, 40);
  put32(out, static_cast<uint32_t>(w));
  put32(out, static_cast<uint32_t>(h));
  put16(out, 1);
  put16(out, static_cast<unsigned>(bits));
  out.insert(out.end(), 24, 0);
  out.insert(out.end(), table.begin(), table.end());
  if (checkFraming && containsFramingBytes(Bytes(out).subspan(payloadStart))) return false;
  // Bottom row first: the rectangle's rows lie bottom-up in the work bitmap already.
  // Each row is checked while it is still in the cache, together with the tail
  // of the bytes before it, where a sequence could begin.
  const uint8_t* source = bitmap.referenceRow(area.bottom - 1) + ((area.left * bits) >> 3);
  constexpr std::size_t kOverlap = REGION_TRAILER.size() - 1;
  for (int i = 0; i < h; ++i, source += bitmap.stride()) {
    const std::size_t rowStart = out.size();
    out.insert(out.end(), source, source + rowBytes);
    if (checkFraming) {
      const std::size_t from = std::max(payloadStart, rowStart - std::min(rowStart, kOverlap));
      if (containsFramingBytes(Bytes(out).subspan(from))) return false;
    }
  }
  return true;
}

void RegionEncoder::encode(const WorkBitmap& bitmap, const ColourTables& tables,
                           const RegionSettings& settings, const ScreenRect& area,
                           std::vector<uint8_t>& out) {
  const int rowBytes = bitmapRowBytes(area.width(), bitmap.bitsPerPixel());
  if (area.width() <= 0 || area.height() <= 0 || rowBytes <= 0) return;
  encodeSafely(bitmap, tables, settings, area, out);
}

void RegionEncoder::encodeSafely(const WorkBitmap& bitmap, const ColourTables& tables,
                                 const RegionSettings& settings, const ScreenRect& area,
                                 std::vector<uint8_t>& out) {
  const int attempts = settings.kind == CompressionKind::Bmp ? 1 : kAttempts;
  for (int attempt = 0; attempt < attempts; ++attempt)
    if (encodeOnce(bitmap, tables, settings, area, attempt, out)) return;
  // The format has no escaping: cut the area where no payload can hold the bytes.
  if (area.height() > 1) {
    const int middle = area.top + area.height() / 2;
    encodeSafely(bitmap, tables, settings, {area.left, area.top, area.right, middle}, out);
    encodeSafely(bitmap, tables, settings, {area.left, middle, area.right, area.bottom}, out);
    return;
  }
  const int step = columnGranularity(bitmap.bitsPerPixel());
  if (area.width() > step) {
    const int middle = area.left + std::max(step, (area.width() / 2) / step * step);
    encodeSafely(bitmap, tables, settings, {area.left, area.top, middle, area.bottom}, out);
    encodeSafely(bitmap, tables, settings, {middle, area.top, area.right, area.bottom}, out);
    return;
  }
  // Not reachable for real pixel data (a few pixels cannot hold 10 bytes plus a
  // header); keep the record rather than lose the pixels.
  encodeOnce(bitmap, tables, settings, area, -1, out);
}

// Appends one record; false (and nothing appended) when its payload would break
// the framing. Attempt -1 appends whatever comes out.
bool RegionEncoder::encodeOnce(const WorkBitmap& bitmap, const ColourTables& tables,
                               const RegionSettings& settings, const ScreenRect& area, int attempt,
                               std::vector<uint8_t>& out) {
  // Written in place: a full-screen bitmap payload is too big to copy twice.
  const std::size_t start = out.size();
  out.insert(out.end(), REGION_MARKER.begin(), REGION_MARKER.end());
  put16(out, static_cast<unsigned>(area.left));
  out.insert(out.end(), REGION_MARKER.begin(), REGION_MARKER.end());
  put16(out, static_cast<unsigned>(area.top));
  out.insert(out.end(), REGION_MARKER.begin(), REGION_MARKER.end());
  if (settings.kind == CompressionKind::Bmp) {
    if (!appendBmpPayload(bitmap, tables, area, out, attempt >= 0)) {
      out.resize(start);
      return false;
    }
    out.insert(out.end(), REGION_TRAILER.begin(), REGION_TRAILER.end());
    return true;
  }
  platform::BgrxView view{nullptr, area.width(), area.height(), 0};
  if (bitmap.bitsPerPixel() == 32) {
    view.firstRow = bitmap.referenceRow(area.top) + static_cast<std::ptrdiff_t>(area.left) * 4;
    view.stride = -static_cast<std::ptrdiff_t>(bitmap.stride());
  } else {
    const std::size_t rowBytes = static_cast<std::size_t>(area.width()) * 4;
    bgrx_.resize(rowBytes * area.height());
    for (int y = 0; y < area.height(); ++y)
      loadPixels(bitmap.referenceRow(area.top + y), area.left, area.width(), bitmap.bitsPerPixel(),
                 tables.forDepth(bitmap.bitsPerPixel()), &bgrx_[rowBytes * y]);
    view.firstRow = bgrx_.data();
    view.stride = static_cast<std::ptrdiff_t>(rowBytes);
  }
  const int index = std::max(attempt, 0);
  // A failed encoder leaves an empty payload; the record is still written, as readers expect.
  if (settings.kind == CompressionKind::Jpeg) {
    const int quality = std::clamp(settings.quality + kJpegQualitySteps[index], 0, 100);
    platform::encodeJpeg(view, quality, out);
  } else {
    platform::encodePng(view, out, kPngAttempts[index]);
  }
  if (attempt >= 0 && containsFramingBytes(Bytes(out).subspan(start + REGION_HEADER_SIZE))) {
    out.resize(start);
    return false;
  }
  out.insert(out.end(), REGION_TRAILER.begin(), REGION_TRAILER.end());
  return true;
}

}  // namespace ostrel::codec
