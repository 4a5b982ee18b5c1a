#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ostrel::platform {

// Rows of 32-bit BGRX pixels (the fourth byte carries no transparency);
// `stride` may be negative for bottom-up memory.
struct BgrxView {
  const uint8_t* firstRow = nullptr;
  int width = 0;
  int height = 0;
  std::ptrdiff_t stride = 0;
};

// Not a PNG filter type: each row gets whichever of SUB and UP leaves the
// smaller residue. Costs about a fifth more time than one fixed filter and
// keeps the size near libpng's on gradients, where SUB alone falls behind.
inline constexpr int kAdaptiveFilter = 5;

struct PngEncodeOptions {
  int deflateLevel = 1;          // libdeflate level, 0..12
  int filter = kAdaptiveFilter;  // PNG filter type for every row (0 none, 1 sub, 2 up, 3 average, 4 paeth)
};

// Appends a complete PNG (RGB, 8 bits per channel) of `image` to `out`.
bool encodePng(const BgrxView& image, std::vector<uint8_t>& out, const PngEncodeOptions& options = {});

// Appends a complete baseline JPEG of `image` at `quality` (0..100) to `out`.
bool encodeJpeg(const BgrxView& image, int quality, std::vector<uint8_t>& out);

enum class ImageType { Unknown, Png, Jpeg, Bmp };

// Recognises the image type from the payload's own first bytes.
ImageType detectImageType(std::span<const uint8_t> bytes);

// Limits checked against an image's header before anything is allocated.
struct DecodeLimits {
  int maxSide = 16384;
  int64_t maxPixels = 64LL * 1024 * 1024;
};

// A decoded picture: top-down rows of 32-bit BGRX pixels, 4 × width bytes each.
struct DecodedImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgrx;
};

// Decodes a PNG, JPEG or BMP image; bytes after the image's end are ignored.
// Returns nothing for data that does not decode or breaks the limits.
std::optional<DecodedImage> decodeImage(std::span<const uint8_t> bytes, const DecodeLimits& limits = {});

}  // namespace ostrel::platform
