#include "playback/FileTitle.h"

namespace ostrel::playback {

std::string FileTitle(const std::filesystem::path& path) {
  std::string name = path.filename().string();
  if (const auto dot = name.rfind('.'); dot != std::string::npos) name.resize(dot);
  return name;
}

std::filesystem::path unpackFolderFor(const std::filesystem::path& cacheFolder,
                                      const std::filesystem::path& recordingPath) {
  return cacheFolder / "Play" / (FileTitle(recordingPath) + "Temp");
}

}  // namespace ostrel::playback
