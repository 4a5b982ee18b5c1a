// Hostile region payloads: bytes go through the region splitter, the image
// decoders (PNG, JPEG, BMP) and the frame decoder. The first byte picks the
// road in, so that the fuzzer reaches the decoders with and without the
// region framing.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "codec/StreamFormat.h"
#include "platform/image/ImageCodec.h"
#include "playback/FrameDecoder.h"

namespace {

// A small good picture of each compressed kind: whatever a hostile payload
// did to a decoder, the next good one must still decode.
const std::vector<std::vector<uint8_t>>& goodPictures() {
  static const auto pictures = [] {
    std::vector<uint8_t> bgrx(16 * 8 * 4, 0x80);
    const ostrel::platform::BgrxView view{bgrx.data(), 16, 8, 16 * 4};
    std::vector<std::vector<uint8_t>> encoded(2);
    FUZZ_CHECK(ostrel::platform::encodeJpeg(view, 90, encoded[0]));
    FUZZ_CHECK(ostrel::platform::encodePng(view, encoded[1]));
    return encoded;
  }();
  return pictures;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const ostrel::codec::Bytes rest(data + 1, size - 1);
  ostrel::playback::FrameDecoder decoder;
  decoder.Init(64, 48, true, 6);
  switch (data[0] % 3) {
    case 0: {
      const auto image = ostrel::platform::decodeImage(rest, {1024, 1 << 20});
      if (image)
        FUZZ_CHECK(image->width > 0 && image->height > 0 && image->width <= 1024 && image->height <= 1024 &&
                   image->bgrx.size() == static_cast<std::size_t>(image->width) * image->height * 4);
      for (const auto& good : goodPictures()) FUZZ_CHECK(ostrel::platform::decodeImage(good).has_value());
      break;
    }
    case 1:
      for (const auto& slice : ostrel::codec::splitRegionPieces(rest))
        FUZZ_CHECK(slice.bytes.data() >= rest.data() &&
                   slice.bytes.data() + slice.bytes.size() <= rest.data() + rest.size());
      decoder.ApplyFrame(rest);
      break;
    case 2: {
      // One byte of position, then one region's payload.
      if (rest.empty()) break;
      std::vector<uint8_t> record;
      const int x = static_cast<int8_t>(rest[0]);
      ostrel::codec::appendRegionRecord(record, x, x / 2, rest.subspan(1));
      const auto applied = decoder.ApplyFrame(record);
      const auto& c = applied.changed;
      FUZZ_CHECK(c.left >= 0 && c.top >= 0 && c.right <= 64 && c.bottom <= 48);
      break;
    }
  }
  return 0;
}
