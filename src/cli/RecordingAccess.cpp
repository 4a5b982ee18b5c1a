#include "cli/RecordingAccess.h"

#include <stdlib.h>

#include <system_error>

#include "playback/FileTitle.h"
#include "playback/ZipRecordingUnpacker.h"

namespace ostrel::cli {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  std::error_code error;
  std::string pattern = (fs::temp_directory_path(error) / "ostrel-XXXXXX").string();
  if (!error && ::mkdtemp(pattern.data())) path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  if (valid()) fs::remove_all(path_, ignored);
}

playback::OpenedRecording openRecordingFile(const fs::path& file) {
  ScratchFolder scratch;
  if (!scratch.valid()) {
    playback::OpenedRecording failed;
    failed.error = "No temporary folder to unpack " + file.string() + " into.";
    return failed;
  }
  playback::ZipRecordingUnpacker unpacker;
  // The screen size only places a missing overlay off screen; no screen here.
  return playback::openRecording(unpacker, file, playback::unpackFolderFor(scratch.path(), file), {0, 0});
}

}  // namespace ostrel::cli
