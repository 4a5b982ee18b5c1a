#include "playback/FileHandle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrel::playback {

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

FileHandle::~FileHandle() {
  if (fd_ >= 0) ::close(fd_);
}

FileHandle FileHandle::openForReading(const std::filesystem::path& path) {
  FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  struct stat info {};
  if (file.valid() && (::fstat(file.fd(), &info) != 0 || !S_ISREG(info.st_mode))) return {};
  return file;
}

}  // namespace ostrel::playback
