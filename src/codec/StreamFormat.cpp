#include "codec/StreamFormat.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace ostrel::codec {

std::size_t findSequence(Bytes haystack, Bytes needle, std::size_t from) {
  if (needle.empty() || from >= haystack.size()) return haystack.size();
  const auto begin = haystack.begin() + static_cast<std::ptrdiff_t>(from);
  const auto it =
      std::search(begin, haystack.end(), std::boyer_moore_horspool_searcher(needle.begin(), needle.end()));
  return static_cast<std::size_t>(it - haystack.begin());
}

std::vector<Bytes> splitFrameRecords(Bytes stream) {
  std::vector<Bytes> records;
  std::size_t start = 0;
  while (start < stream.size()) {
    const std::size_t end = findSequence(stream, FRAME_SEPARATOR, start);
    records.push_back(stream.subspan(start, end - start));
    if (end == stream.size()) return records;
    start = end + FRAME_SEPARATOR.size();
  }
  return records;
}

namespace {

bool hasMarkerAt(Bytes piece, std::size_t offset) {
  return piece[offset] == REGION_MARKER[0] && piece[offset + 1] == REGION_MARKER[1];
}

int16_t readInt16(Bytes piece, std::size_t offset) {
  return static_cast<int16_t>(piece[offset] | (piece[offset + 1] << 8));
}

}  // namespace

std::vector<RegionSlice> splitRegionPieces(Bytes frameRecord) {
  std::vector<RegionSlice> slices;
  if (frameRecord.size() <= REGION_HEADER_SIZE) return slices;
  std::size_t start = 0;
  while (start < frameRecord.size()) {
    const std::size_t end = findSequence(frameRecord, REGION_TRAILER, start);
    const Bytes piece = frameRecord.subspan(start, end - start);
    RegionSlice slice;
    slice.bytes = piece;
    if (piece.size() >= REGION_HEADER_SIZE && hasMarkerAt(piece, 0) && hasMarkerAt(piece, 4) &&
        hasMarkerAt(piece, 8)) {
      slice.framed = true;
      slice.piece = {readInt16(piece, 2), readInt16(piece, 6), piece.subspan(REGION_HEADER_SIZE)};
    }
    slices.push_back(slice);
    if (end == frameRecord.size()) break;
    start = end + REGION_TRAILER.size();
  }
  return slices;
}

void appendRegionRecord(std::vector<uint8_t>& out, int x, int y, Bytes payload) {
  const auto put16 = [&out](int value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
  };
  out.insert(out.end(), REGION_MARKER.begin(), REGION_MARKER.end());
  put16(x);
  out.insert(out.end(), REGION_MARKER.begin(), REGION_MARKER.end());
  put16(y);
  out.insert(out.end(), REGION_MARKER.begin(), REGION_MARKER.end());
  out.insert(out.end(), payload.begin(), payload.end());
  out.insert(out.end(), REGION_TRAILER.begin(), REGION_TRAILER.end());
}

bool payloadBreaksFraming(Bytes payload) {
  return findSequence(payload, FRAME_SEPARATOR) != payload.size() ||
         findSequence(payload, REGION_TRAILER) != payload.size();
}

}  // namespace ostrel::codec
