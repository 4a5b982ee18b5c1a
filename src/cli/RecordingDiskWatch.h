#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "codec/RecordingStream.h"
#include "recording/DiskSpaceGuard.h"

namespace ostrel::cli {

// The free-space probe of `ostrel record`: the real file systems, unless
// OSTREL_FREE_SPACE_FILE names a file whose content is the free bytes to
// report for every folder. The file is read at every check, so a test can
// lower the figure while the recorder runs.
recording::FreeSpaceProbe commandLineFreeSpaceProbe();

// Watches the cache and save folders of a command-line recording.
class RecordingDiskWatch {
 public:
  RecordingDiskWatch(std::filesystem::path cacheFolder, std::filesystem::path saveFolder,
                     const codec::RecordingStream& stream);

  // Why recording cannot go on, for the user; nothing while there is room.
  std::optional<std::string> shortage() const;
  // Called after each recorded tick of `periodMs`: asks about once a second.
  std::optional<std::string> afterTick(int64_t periodMs);

  const recording::FreeSpaceProbe& probe() const { return guard_.probe(); }

 private:
  std::filesystem::path cacheFolder_;
  std::filesystem::path saveFolder_;
  const codec::RecordingStream& stream_;
  recording::DiskSpaceGuard guard_;
  recording::CheckInterval interval_;
};

}  // namespace ostrel::cli
