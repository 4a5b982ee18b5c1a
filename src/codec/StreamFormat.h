#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

// The recording stream: frame records each followed by FRAME_SEPARATOR; a frame
// record is region records back to back, each ended by REGION_TRAILER. There is
// no header, no length field and no escaping.
namespace ostrel::codec {

using Bytes = std::span<const uint8_t>;

inline constexpr std::array<uint8_t, 10> FRAME_SEPARATOR = {0x0B, 0x16, 0x21, 0x0B, 0x16,
                                                            0x21, 0x6F, 0xDE, 0x4D, 0x0A};
inline constexpr std::array<uint8_t, 2> REGION_MARKER = {0xFF, 0xFF};
inline constexpr std::array<uint8_t, 11> REGION_TRAILER = {0x02, 0x04, 0x05, 0x04, 0x05, 0x08,
                                                           0x08, 0x06, 0x09, 0x00, 0x00};

// Bytes of a region record before its payload: marker, x, marker, y, marker.
inline constexpr std::size_t REGION_HEADER_SIZE = 10;

// Values of the recording's compression kind, as stored by the settings form.
enum class CompressionKind : int { Jpeg = 1, Png = 2, Bmp = 3 };

// Offset of the first occurrence of `needle` in `haystack` at or after `from`,
// or haystack.size() when there is none.
std::size_t findSequence(Bytes haystack, Bytes needle, std::size_t from = 0);

// Splits a stream into frame records: every separator ends one record (empty
// records count), bytes after the last separator form one more record.
std::vector<Bytes> splitFrameRecords(Bytes stream);

// One region piece of a frame record, with the position read from it.
struct RegionPiece {
  int16_t x = 0;
  int16_t y = 0;
  Bytes payload;
};

// Splits a frame record into its region pieces. Records of 10 bytes or fewer
// hold none; an empty remainder after the last trailer is no piece. Pieces
// whose markers do not frame x and y are returned with `framed` false so the
// caller can skip them and go on.
struct RegionSlice {
  bool framed = false;
  RegionPiece piece;
  Bytes bytes;  // the whole piece as cut from the record, framed or not
};
std::vector<RegionSlice> splitRegionPieces(Bytes frameRecord);

// Appends one complete region record for `payload` at (x, y) to `out`;
// x and y are stored as their low 16 bits.
void appendRegionRecord(std::vector<uint8_t>& out, int x, int y, Bytes payload);

// True when `payload` holds bytes a reader would cut it at.
bool payloadBreaksFraming(Bytes payload);

}  // namespace ostrel::codec
