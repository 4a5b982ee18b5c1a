#pragma once

#include <filesystem>
#include <utility>

namespace ostrel::playback {

// An open POSIX file descriptor, closed when the handle goes. Keeping the
// descriptor lets a file be read after its name was removed.
class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(int fd) : fd_(fd) {}
  FileHandle(FileHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle();

  // Opens a regular file read-only without following a symbolic link at its name.
  static FileHandle openForReading(const std::filesystem::path& path);

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

}  // namespace ostrel::playback
