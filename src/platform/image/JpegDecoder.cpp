#include <limits>
#include <new>

#include "platform/image/ImageDecoders.h"
#include "platform/image/TurboJpegHandle.h"

namespace ostrel::platform::detail {
namespace {

std::optional<DecodedImage> decodeWith(tjhandle handle, std::span<const uint8_t> bytes,
                                       const DecodeLimits& limits) {
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  if (tjDecompressHeader3(handle, bytes.data(), static_cast<unsigned long>(bytes.size()), &width, &height,
                          &subsampling, &colorspace) != 0)
    return std::nullopt;
  if (!withinLimits(width, height, limits)) return std::nullopt;
  // A Huffman-coded scan spends at least one bit on every 8 × 8 block, so
  // fewer bytes than that cannot be the picture; refused before allocating,
  // or a header of a few bytes would cost a picture of the largest allowed
  // size and its whole decode (a stream cut short is decoded to its end).
  if (static_cast<uint64_t>(bytes.size()) * 512 <
      static_cast<uint64_t>(width) * static_cast<uint64_t>(height))
    return std::nullopt;

  DecodedImage image;
  image.width = width;
  image.height = height;
  try {
    image.bgrx.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  // The decoder stops at the end-of-image marker, so slack after it is never
  // read. A stream cut short still gives its decoded part (TurboJPEG reports
  // that as a warning), as a viewer would show it. Progressive streams with
  // absurd numbers of scans are refused rather than decoded for minutes.
  if (tjDecompress2(handle, bytes.data(), static_cast<unsigned long>(bytes.size()), image.bgrx.data(), width,
                    0, height, TJPF_BGRX, TJFLAG_LIMITSCANS) != 0 &&
      tjGetErrorCode(handle) != TJERR_WARNING)
    return std::nullopt;
  return image;
}

}  // namespace

std::optional<DecodedImage> decodeJpeg(std::span<const uint8_t> bytes, const DecodeLimits& limits) {
  if (bytes.size() > std::numeric_limits<unsigned long>::max()) return std::nullopt;
  tjhandle handle = threadDecompressor();
  if (!handle) return std::nullopt;
  auto image = decodeWith(handle, bytes, limits);
  if (!image) resetThreadDecompressor();
  return image;
}

}  // namespace ostrel::platform::detail
