#include "platform/files/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace ostrel::platform {

bool writeAll(int fd, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

bool pwriteAll(int fd, std::span<const uint8_t> bytes, uint64_t offset) {
  while (!bytes.empty()) {
    const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(n));
    offset += static_cast<uint64_t>(n);
  }
  return true;
}

bool preadAll(int fd, std::span<uint8_t> into, uint64_t offset) {
  while (!into.empty()) {
    const ssize_t n = ::pread(fd, into.data(), into.size(), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    into = into.subspan(static_cast<std::size_t>(n));
    offset += static_cast<uint64_t>(n);
  }
  return true;
}

bool copyFileRange(int from, int to, uint64_t length) {
  loff_t inOffset = 0;
  uint64_t left = length;
  while (left > 0) {
    const ssize_t n = ::copy_file_range(from, &inOffset, to, nullptr, left, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    left -= static_cast<uint64_t>(n);
  }
  if (left == 0) return true;
  // Kernels and file systems without copy_file_range: plain reads and writes.
  std::vector<uint8_t> buffer(1 << 20);
  while (left > 0) {
    const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(left, buffer.size()));
    if (!preadAll(from, std::span(buffer).first(n), static_cast<uint64_t>(inOffset))) return false;
    if (!writeAll(to, std::span(buffer).first(n))) return false;
    inOffset += static_cast<loff_t>(n);
    left -= n;
  }
  return true;
}

bool writeWholeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!fd) return false;
  return writeAll(fd.get(), bytes) && fd.close();
}

bool readWholeFile(const std::filesystem::path& path, std::string& out, uint64_t limit) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return false;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (static_cast<uint64_t>(st.st_size) > limit) return false;
  out.resize(static_cast<std::size_t>(st.st_size));
  return preadAll(fd.get(), std::span(reinterpret_cast<uint8_t*>(out.data()), out.size()), 0);
}

bool syncToDisk(const std::filesystem::path& path) {
  UniqueFd fd(::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_CLOEXEC));
  return fd && ::fsync(fd.get()) == 0;
}

std::string errnoText() { return std::strerror(errno); }

}  // namespace ostrel::platform
