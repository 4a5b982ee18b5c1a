#include "playback/RecordingSummary.h"

#include <algorithm>

#include "codec/StreamFormat.h"
#include "playback/FrameDecoder.h"
#include "playback/ImageHeader.h"

namespace ostrel::playback {

namespace {

void countRegion(const codec::RegionPiece& piece, RecordingSummary& summary) {
  const auto header = peekImageHeader(piece.payload);
  if (!header) {
    ++summary.unknownRegions;
    return;
  }
  switch (header->type) {
    case platform::ImageType::Png:
      ++summary.pngRegions;
      break;
    case platform::ImageType::Jpeg:
      ++summary.jpegRegions;
      break;
    case platform::ImageType::Bmp:
      ++summary.bmpRegions;
      break;
    case platform::ImageType::Unknown:
      ++summary.unknownRegions;
      return;
  }
  const int64_t right = int64_t{piece.x} + header->width;
  const int64_t bottom = int64_t{piece.y} + header->height;
  summary.boundingWidth = static_cast<int>(std::clamp<int64_t>(right, summary.boundingWidth, INT32_MAX));
  summary.boundingHeight = static_cast<int>(std::clamp<int64_t>(bottom, summary.boundingHeight, INT32_MAX));
}

}  // namespace

bool summariseRecords(FrameRecordReader& records, RecordingSummary& summary) {
  records.rewind();
  std::vector<uint8_t> record;
  for (;;) {
    const auto result = records.next(&record);
    if (result == FrameRecordReader::Result::Error) {
      records.rewind();
      return false;
    }
    if (result == FrameRecordReader::Result::End) break;
    ++summary.frames;
    if (records.lastRecordOversized()) ++summary.oversizedFrames;
    if (record.empty() && !records.lastRecordOversized()) ++summary.emptyFrames;
    // The same pieces the frame decoder draws and skips.
    for (const auto& slice : codec::splitRegionPieces(record)) {
      if (slice.bytes.size() <= codec::REGION_HEADER_SIZE || !passesMarkerTest(slice.bytes)) {
        ++summary.unframedPieces;
        continue;
      }
      const auto int16At = [&slice](std::size_t at) {
        return static_cast<int16_t>(slice.bytes[at] | (slice.bytes[at + 1] << 8));
      };
      countRegion({int16At(2), int16At(6), slice.bytes.subspan(codec::REGION_HEADER_SIZE)}, summary);
    }
  }
  records.rewind();
  return true;
}

}  // namespace ostrel::playback
