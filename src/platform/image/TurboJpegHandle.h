#pragma once

#include <turbojpeg.h>

#include <memory>

namespace ostrel::platform {

struct TurboJpegDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using TurboJpegHandle = std::unique_ptr<void, TurboJpegDeleter>;

struct TurboJpegBufferDeleter {
  void operator()(unsigned char* buffer) const { tjFree(buffer); }
};
using TurboJpegBuffer = std::unique_ptr<unsigned char, TurboJpegBufferDeleter>;

// TurboJPEG handles are not thread-safe; regions are encoded and decoded on
// several threads, so each thread keeps its own pair.
inline tjhandle threadCompressor() {
  thread_local TurboJpegHandle handle(tjInitCompress());
  return handle.get();
}

inline TurboJpegHandle& threadDecompressorSlot() {
  thread_local TurboJpegHandle handle(tjInitDecompress());
  return handle;
}

inline tjhandle threadDecompressor() { return threadDecompressorSlot().get(); }

// A decode that failed, or was given up after the header, leaves the handle
// in a state that fails the next good picture: start that one afresh.
inline void resetThreadDecompressor() { threadDecompressorSlot().reset(tjInitDecompress()); }

}  // namespace ostrel::platform
