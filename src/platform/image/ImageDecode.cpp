#include <algorithm>

#include "platform/image/ImageCodec.h"
#include "platform/image/ImageDecoders.h"

namespace ostrel::platform {

ImageType detectImageType(std::span<const uint8_t> bytes) {
  static constexpr uint8_t kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  static constexpr uint8_t kJpeg[] = {0xFF, 0xD8, 0xFF};
  static constexpr uint8_t kBmp[] = {'B', 'M'};
  const auto startsWith = [bytes](std::span<const uint8_t> magic) {
    return bytes.size() >= magic.size() && std::equal(magic.begin(), magic.end(), bytes.begin());
  };
  if (startsWith(kPng)) return ImageType::Png;
  if (startsWith(kJpeg)) return ImageType::Jpeg;
  if (startsWith(kBmp)) return ImageType::Bmp;
  return ImageType::Unknown;
}

std::optional<DecodedImage> decodeImage(std::span<const uint8_t> bytes, const DecodeLimits& limits) {
  switch (detectImageType(bytes)) {
    case ImageType::Png:
      return detail::decodePng(bytes, limits);
    case ImageType::Jpeg:
      return detail::decodeJpeg(bytes, limits);
    case ImageType::Bmp:
      return detail::decodeBmp(bytes, limits);
    case ImageType::Unknown:
      break;
  }
  return std::nullopt;
}

}  // namespace ostrel::platform
