#include "playback/ReadOnlyFile.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace ostrel::playback {

platform::UniqueFd openRegularFileForReading(const std::filesystem::path& path) {
  platform::UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  struct stat info {};
  if (file && (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))) file.reset();
  return file;
}

}  // namespace ostrel::playback
