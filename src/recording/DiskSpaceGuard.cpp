#include "recording/DiskSpaceGuard.h"

#include "platform/files/FreeDiskSpace.h"

namespace ostrel::recording {

namespace {

namespace fs = std::filesystem;

std::string megabytesDown(uint64_t bytes) { return std::to_string(bytes / kBytesPerMegabyte) + " MB"; }

// To the nearest: a need of 200 MB plus a few bytes reads as 200 MB.
std::string megabytesNearest(uint64_t bytes) {
  return std::to_string((bytes + kBytesPerMegabyte / 2) / kBytesPerMegabyte) + " MB";
}

std::string folderTooFull(std::string_view role, const fs::path& folder, uint64_t freeBytes,
                          uint64_t neededBytes) {
  std::string text(role);
  text.append("“").append(folder.string()).append("”只剩 ").append(megabytesDown(freeBytes));
  text.append(" 可用空间，至少需要 ").append(megabytesNearest(neededBytes)).append("。");
  return text;
}

uint64_t saturatingAdd(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

}  // namespace

FreeSpaceProbe PlatformFreeSpaceProbe() { return platform::FreeDiskBytes; }

std::vector<WatchedFolder> RecordingFolders(const fs::path& cacheFolder, const fs::path& saveFolder,
                                            uint64_t streamBytes, uint64_t residentBytes) {
  // Resident memory is counted in whole chunks; a short stream has fewer bytes than that.
  const uint64_t unwritten = residentBytes < streamBytes ? residentBytes : streamBytes;
  return {{kCacheFolderRole, cacheFolder, unwritten}, {kSaveFolderRole, saveFolder, streamBytes}};
}

DiskSpaceGuard::DiskSpaceGuard(FreeSpaceProbe probe, uint64_t minFreeBytes)
    : probe_(probe ? std::move(probe) : PlatformFreeSpaceProbe()), minFreeBytes_(minFreeBytes) {}

std::optional<std::string> DiskSpaceGuard::shortage(std::span<const WatchedFolder> folders) const {
  for (const WatchedFolder& folder : folders) {
    const std::optional<uint64_t> freeBytes = probe_(folder.path);
    if (!freeBytes) continue;
    const uint64_t needed = saturatingAdd(folder.pendingBytes, minFreeBytes_);
    if (*freeBytes < needed) return folderTooFull(folder.role, folder.path, *freeBytes, needed);
  }
  return std::nullopt;
}

std::optional<std::string> ArchiveRoomShortage(const FreeSpaceProbe& probe, const fs::path& saveFolder,
                                               std::span<const platform::ZipMemberSource> members) {
  const std::optional<uint64_t> freeBytes = (probe ? probe : PlatformFreeSpaceProbe())(saveFolder);
  if (!freeBytes) return std::nullopt;
  uint64_t memberBytes = 0;
  for (const platform::ZipMemberSource& member : members) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(member.file, ec);
    if (!ec) memberBytes = saturatingAdd(memberBytes, size);
  }
  const uint64_t needed = saturatingAdd(memberBytes, saturatingAdd(memberBytes / 1000, kArchiveMarginBytes));
  if (*freeBytes >= needed) return std::nullopt;
  return folderTooFull(kSaveFolderRole, saveFolder, *freeBytes, needed);
}

bool CheckInterval::elapse(int64_t elapsedMs) {
  gatheredMs_ += elapsedMs > 0 ? elapsedMs : 0;
  if (gatheredMs_ < intervalMs_) return false;
  gatheredMs_ = 0;
  return true;
}

}  // namespace ostrel::recording
