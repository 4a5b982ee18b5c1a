#pragma once

#include "playback/PlayerInterfaces.h"

namespace ostrel::playback {

// Unpacks recording files with the checked ZIP reader.
class ZipRecordingUnpacker : public RecordingUnpacker {
 public:
  UnpackResult unpack(const std::filesystem::path& archive, const std::filesystem::path& folder) override;
};

}  // namespace ostrel::playback
