#include "platform/files/FreeDiskSpace.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <system_error>

namespace ostrel::platform {

namespace {

namespace fs = std::filesystem;

// The path itself when it exists, else its nearest existing ancestor; a
// relative path runs out at the current folder.
fs::path nearestExisting(fs::path path) {
  std::error_code ec;
  while (!path.empty() && !fs::exists(path, ec)) {
    const fs::path parent = path.parent_path();
    if (parent == path) break;  // the root itself
    path = parent;
  }
  return path.empty() ? fs::path(".") : path;
}

}  // namespace

std::optional<uint64_t> FreeDiskBytes(const fs::path& path) {
  const fs::path asked = nearestExisting(path);
  struct statvfs info {};
  int status = 0;
  do {
    status = ::statvfs(asked.c_str(), &info);
  } while (status != 0 && errno == EINTR);
  if (status != 0) return std::nullopt;
  // f_bavail, not f_bfree: the blocks kept for root are of no use to the recorder.
  return static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize);
}

}  // namespace ostrel::platform
