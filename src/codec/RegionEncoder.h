#pragma once

#include <cstdint>
#include <vector>

#include "codec/ColourTables.h"
#include "codec/StreamFormat.h"
#include "codec/WorkBitmap.h"
#include "platform/ScreenRect.h"

namespace ostrel::codec {

// Settings every region of a recording is encoded with.
struct RegionSettings {
  CompressionKind kind = CompressionKind::Png;
  int quality = 30;  // JPEG quality 0..100
};

// Turns rectangles of the reference image into region records. Holds only
// scratch memory, so one encoder per thread lets regions be encoded side by side.
class RegionEncoder {
 public:
  // Appends the record(s) for `area` of the reference image to `out`; nothing
  // when the area is empty. A payload that would contain the frame separator
  // or the region trailer is made again with other settings of the same kind,
  // or the area is sent as horizontal bands, so every record stays readable.
  void encode(const WorkBitmap& bitmap, const ColourTables& tables, const RegionSettings& settings,
              const ScreenRect& area, std::vector<uint8_t>& out);

 private:
  void encodeSafely(const WorkBitmap& bitmap, const ColourTables& tables, const RegionSettings& settings,
                    const ScreenRect& area, std::vector<uint8_t>& out);
  bool encodeOnce(const WorkBitmap& bitmap, const ColourTables& tables, const RegionSettings& settings,
                  const ScreenRect& area, int attempt, std::vector<uint8_t>& out);

  std::vector<uint8_t> bgrx_;
};

// The bytes of a bitmap file (headers, colour table, bottom-up rows copied
// straight from the reference image) for `area`, appended to `out`. With
// `checkFraming`, stops and returns false as soon as the bytes would hold the
// frame separator or the region trailer.
bool appendBmpPayload(const WorkBitmap& bitmap, const ColourTables& tables, const ScreenRect& area,
                      std::vector<uint8_t>& out, bool checkFraming = false);

}  // namespace ostrel::codec
