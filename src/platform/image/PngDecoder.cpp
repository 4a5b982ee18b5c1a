// PNG through libpng from memory. libpng reports errors by longjmp, so the
// function holding setjmp keeps no object with a destructor of its own: the
// structs and the pixel memory belong to the caller's frame and are freed
// there whichever way the read ends.
#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <new>

#include "platform/image/ImageDecoders.h"

namespace ostrel::platform::detail {
namespace {

struct MemoryReader {
  const uint8_t* data;
  std::size_t size;
  std::size_t offset;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (length > reader->size - reader->offset) png_error(png, "truncated");
  std::memcpy(out, reader->data + reader->offset, length);
  reader->offset += length;
}

[[noreturn]] void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onWarning(png_structp, png_const_charp) {}

class ReadStructs {
 public:
  ReadStructs() {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (png_) info_ = png_create_info_struct(png_);
  }
  ~ReadStructs() {
    if (png_) png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr);
  }
  ReadStructs(const ReadStructs&) = delete;
  ReadStructs& operator=(const ReadStructs&) = delete;
  bool valid() const { return png_ && info_; }
  png_structp png() const { return png_; }
  png_infop info() const { return info_; }

 private:
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

// Deflate packs at most 1032 bytes into one, so data shorter than that share
// of the pixels' bits cannot hold them, whatever else it says. Checked before
// the picture is allocated: otherwise a header of a few bytes would cost a
// picture of the largest allowed size.
bool bytesCanHoldPng(std::size_t size, uint32_t width, uint32_t height, uint8_t bitDepth,
                     uint8_t colourType) {
  static constexpr int kChannels[] = {1, 0, 3, 1, 2, 0, 4};  // by colour type
  if (colourType >= std::size(kChannels) || kChannels[colourType] == 0) return false;
  const int channels = kChannels[colourType];
  const uint64_t pixelBytes = (uint64_t{width} * height * bitDepth * channels + 7) / 8;
  return uint64_t{size} * 1032 >= pixelBytes;
}

enum class ReadResult { Ok, Failed };

// Everything between setjmp and the last libpng call lives here; the pixel
// memory was sized by the caller from the checked header.
ReadResult readPng(png_structp png, png_infop info, MemoryReader* reader, const DecodeLimits& limits,
                   DecodedImage* image) {
  if (setjmp(png_jmpbuf(png))) return ReadResult::Failed;
  png_set_read_fn(png, reader, readFromMemory);
  png_set_user_limits(png, static_cast<png_uint_32>(limits.maxSide),
                      static_cast<png_uint_32>(limits.maxSide));
  png_set_chunk_malloc_max(png, 8u << 20);  // ancillary chunks are never needed here
  png_read_info(png, info);

  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (!withinLimits(width, height, limits)) return ReadResult::Failed;

  const int colorType = png_get_color_type(png, info);
  const int bitDepth = png_get_bit_depth(png, info);
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (bitDepth == 16) png_set_strip_16(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  // Region pictures are opaque: an alpha channel, where a foreign writer left
  // one, is dropped rather than blended.
  if (colorType & PNG_COLOR_MASK_ALPHA) png_set_strip_alpha(png);
  png_set_bgr(png);
  png_set_filler(png, kOpaque, PNG_FILLER_AFTER);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * 4) return ReadResult::Failed;

  image->width = static_cast<int>(width);
  image->height = static_cast<int>(height);
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  for (int pass = 0; pass < passes; ++pass)
    for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, image->bgrx.data() + rowBytes * y, nullptr);
  // Whatever follows the image data (IEND, slack) is never read.
  return ReadResult::Ok;
}

}  // namespace

std::optional<DecodedImage> decodePng(std::span<const uint8_t> bytes, const DecodeLimits& limits) {
  // The header is read first, without pixel memory, so that the size check
  // comes before the allocation.
  uint32_t width = 0, height = 0;
  if (bytes.size() < 33) return std::nullopt;
  const auto be32 = [&bytes](std::size_t at) {
    return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) | (uint32_t{bytes[at + 2]} << 8) |
           uint32_t{bytes[at + 3]};
  };
  if (std::memcmp(bytes.data() + 12, "IHDR", 4) != 0) return std::nullopt;
  width = be32(16);
  height = be32(20);
  if (!withinLimits(width, height, limits)) return std::nullopt;
  if (!bytesCanHoldPng(bytes.size(), width, height, bytes[24], bytes[25])) return std::nullopt;

  DecodedImage image;
  try {
    image.bgrx.resize(static_cast<std::size_t>(width) * height * 4);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  ReadStructs structs;
  if (!structs.valid()) return std::nullopt;
  MemoryReader reader{bytes.data(), bytes.size(), 0};
  if (readPng(structs.png(), structs.info(), &reader, limits, &image) != ReadResult::Ok) return std::nullopt;
  if (static_cast<uint32_t>(image.width) != width || static_cast<uint32_t>(image.height) != height)
    return std::nullopt;
  return image;
}

}  // namespace ostrel::platform::detail
