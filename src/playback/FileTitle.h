#pragma once

#include <filesystem>
#include <string>

namespace ostrel::playback {

// The file name of `path` without its last extension: "/rec/录像1.ORec" gives
// "录像1", "a.b.ORec" gives "a.b".
std::string FileTitle(const std::filesystem::path& path);

// Where a recording is unpacked while it loads: <cache>/Play/<title>Temp.
std::filesystem::path unpackFolderFor(const std::filesystem::path& cacheFolder,
                                      const std::filesystem::path& recordingPath);

}  // namespace ostrel::playback
