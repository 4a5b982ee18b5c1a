#include "playback/FrameDecoder.h"

#include <algorithm>

#include "platform/image/ImageCodec.h"

namespace ostrel::playback {
namespace {

int16_t readInt16(codec::Bytes bytes, std::size_t at) {
  return static_cast<int16_t>(bytes[at] | (bytes[at + 1] << 8));
}

ScreenRect unite(const ScreenRect& a, const ScreenRect& b) {
  if (a.width() <= 0 || a.height() <= 0) return b;
  if (b.width() <= 0 || b.height() <= 0) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

}  // namespace

bool passesMarkerTest(codec::Bytes piece) {
  int parts = 0;
  std::size_t start = 0;
  while (parts < 3) {
    const std::size_t at = codec::findSequence(piece, codec::REGION_MARKER, start);
    if (at == piece.size()) {
      if (start < piece.size()) ++parts;
      break;
    }
    ++parts;
    start = at + codec::REGION_MARKER.size();
  }
  return parts >= 3;
}

bool FrameDecoder::Init(int frameWidth, int frameHeight, bool stretch, int interpolationMode) {
  if (initialised_) return false;
  if (!backBuffer_.create(frameWidth, frameHeight)) return false;
  stretch_ = stretch;
  interpolationMode_ = interpolationMode;
  initialised_ = true;
  return true;
}

AppliedFrame FrameDecoder::ApplyFrame(codec::Bytes record) {
  AppliedFrame result;
  if (!initialised_ || record.size() <= codec::REGION_HEADER_SIZE) return result;
  for (const codec::RegionSlice& slice : codec::splitRegionPieces(record)) {
    const codec::Bytes piece = slice.bytes;
    // The marker test alone would let a piece shorter than the position
    // fields through; such a piece has no payload to draw either.
    if (piece.size() <= codec::REGION_HEADER_SIZE || !passesMarkerTest(piece)) {
      ++result.regionsSkipped;
      continue;
    }
    const int x = readInt16(piece, 2);
    const int y = readInt16(piece, 6);
    // A region that starts past the right or bottom edge cannot show: do not
    // spend a decode on it (recordings of a larger screen have many).
    if (x >= backBuffer_.width() || y >= backBuffer_.height()) continue;
    const auto image = platform::decodeImage(piece.subspan(codec::REGION_HEADER_SIZE));
    if (!image) {
      ++result.regionsSkipped;
      continue;
    }
    ++result.regionsDrawn;
    result.changed = unite(result.changed, backBuffer_.draw(*image, x, y));
  }
  return result;
}

void FrameDecoder::Close() {
  if (!initialised_) return;
  initialised_ = false;
  backBuffer_.release();
}

}  // namespace ostrel::playback
