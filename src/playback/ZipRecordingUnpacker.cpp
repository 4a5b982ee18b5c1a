#include "playback/ZipRecordingUnpacker.h"

#include "platform/zip/ZipReader.h"

namespace ostrel::playback {

UnpackResult ZipRecordingUnpacker::unpack(const std::filesystem::path& archive,
                                          const std::filesystem::path& folder) {
  platform::UnzipResult result = platform::unpackZipArchive(archive, folder);
  return {result.ok, std::move(result.error)};
}

}  // namespace ostrel::playback
