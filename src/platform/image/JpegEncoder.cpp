#include <algorithm>

#include "platform/image/ImageCodec.h"
#include "platform/image/TurboJpegHandle.h"

namespace ostrel::platform {

bool encodeJpeg(const BgrxView& image, int quality, std::vector<uint8_t>& out) {
  if (!image.firstRow || image.width <= 0 || image.height <= 0) return false;
  tjhandle handle = threadCompressor();
  if (!handle) return false;

  // Bottom-up memory is handed over from its lowest row with the flag that
  // says so; TurboJPEG wants a positive pitch.
  const unsigned char* source = image.firstRow;
  std::ptrdiff_t pitch = image.stride;
  int flags = 0;
  if (pitch < 0) {
    source = image.firstRow + image.stride * (image.height - 1);
    pitch = -pitch;
    flags |= TJFLAG_BOTTOMUP;
  }
  if (pitch > 0x7FFFFFFF) return false;

  // The output buffer is kept per thread and grown by TurboJPEG as needed, so
  // a frame of regions costs no allocation once it has warmed up.
  thread_local TurboJpegBuffer buffer;
  thread_local unsigned long capacity = 0;
  unsigned char* jpeg = buffer.release();
  unsigned long size = capacity;
  const int status = tjCompress2(handle, source, image.width, static_cast<int>(pitch), image.height,
                                 TJPF_BGRX, &jpeg, &size, TJSAMP_420, std::clamp(quality, 1, 100), flags);
  buffer.reset(jpeg);
  if (status != 0) {
    capacity = 0;
    buffer.reset();
    return false;
  }
  capacity = std::max(capacity, tjBufSize(image.width, image.height, TJSAMP_420));
  out.insert(out.end(), jpeg, jpeg + size);
  return true;
}

}  // namespace ostrel::platform
