#pragma once

#include <filesystem>
#include <string>

#include "playback/Player.h"

namespace ostrel::cli {

// A private folder under the system's temporary folder for unpacking, removed
// with everything in it when the object goes.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  bool valid() const { return !path_.empty(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Opens a recording for the command line: unpacked in a private scratch
// folder, the data file kept open after the folder is gone.
playback::OpenedRecording openRecordingFile(const std::filesystem::path& file);

}  // namespace ostrel::cli
