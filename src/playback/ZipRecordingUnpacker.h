#pragma once

#include "platform/zip/ZipReader.h"
#include "playback/PlayerInterfaces.h"

namespace ostrel::playback {

// What a recording file may hold, member by member: a settings file of a few
// lines, a WAVE file no larger than its 32-bit sizes allow, a data file up to
// the total limit, and nothing large besides.
platform::UnzipLimits recordingUnzipLimits();

// Unpacks recording files with the checked ZIP reader.
class ZipRecordingUnpacker : public RecordingUnpacker {
 public:
  explicit ZipRecordingUnpacker(platform::UnzipLimits limits = recordingUnzipLimits())
      : limits_(std::move(limits)) {}

  UnpackResult unpack(const std::filesystem::path& archive, const std::filesystem::path& folder) override;

 private:
  platform::UnzipLimits limits_;
};

}  // namespace ostrel::playback
