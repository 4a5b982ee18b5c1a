#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/zip/ZipWriter.h"

// Free-space rules of the recorder: a recording does not start, and a running
// one stops, while a folder it writes into is running out of room; packing
// does not start an archive the save folder cannot hold.
namespace ostrel::recording {

inline constexpr uint64_t kBytesPerMegabyte = uint64_t{1} << 20;
// The room a folder keeps beyond what the recording still has to write there.
inline constexpr uint64_t kMinFreeDiskBytes = 200 * kBytesPerMegabyte;
// How often a running recording asks the file systems.
inline constexpr int64_t kDiskCheckIntervalMs = 1000;
// Room for the archive's headers and for deflate's worst case on pictures
// that are already compressed: it adds a little, it does not shrink them.
inline constexpr uint64_t kArchiveMarginBytes = kBytesPerMegabyte;

inline constexpr std::string_view kDiskSpaceCaption = "磁盘空间不足";
inline constexpr std::string_view kCacheFolderRole = "缓存文件夹";
inline constexpr std::string_view kSaveFolderRole = "保存文件夹";
inline constexpr std::string_view kNotStartedText = "无法开始录制：";
inline constexpr std::string_view kStoppedText = "录制已自动停止：";

// Free bytes on the file system of a path; nothing when it cannot be asked.
using FreeSpaceProbe = std::function<std::optional<uint64_t>(const std::filesystem::path&)>;

// The platform's probe; every empty probe in this layer stands for it.
FreeSpaceProbe PlatformFreeSpaceProbe();

// A folder a recording writes into, and how many bytes packing the recording
// now would still write there.
struct WatchedFolder {
  std::string_view role;  // kCacheFolderRole or kSaveFolderRole
  std::filesystem::path path;
  uint64_t pendingBytes = 0;
};

// The cache and save folders of a recording whose stream holds `streamBytes`
// and keeps `residentBytes` of memory: what is still in memory goes into the
// cache folder as the data file, the whole stream into the archive.
std::vector<WatchedFolder> RecordingFolders(const std::filesystem::path& cacheFolder,
                                            const std::filesystem::path& saveFolder, uint64_t streamBytes,
                                            uint64_t residentBytes);

class DiskSpaceGuard {
 public:
  explicit DiskSpaceGuard(FreeSpaceProbe probe = {}, uint64_t minFreeBytes = kMinFreeDiskBytes);

  // The reason, for the user, when a folder has less free than its pending
  // bytes plus the threshold: which folder, how much is free, in MB. Nothing
  // when all have room. A folder whose file system cannot be asked counts as
  // having room: an unknown is no reason to refuse or end a recording.
  std::optional<std::string> shortage(std::span<const WatchedFolder> folders) const;

  const FreeSpaceProbe& probe() const { return probe_; }

 private:
  FreeSpaceProbe probe_;
  uint64_t minFreeBytes_;
};

// The reason, for the user, when the save folder cannot hold an archive of
// these members without any shrinking; nothing when it can or cannot be asked.
std::optional<std::string> ArchiveRoomShortage(const FreeSpaceProbe& probe,
                                               const std::filesystem::path& saveFolder,
                                               std::span<const platform::ZipMemberSource> members);

// Says when a periodic check is due from the time handed to it tick by tick,
// so a capture tick asks the file system about once per interval, not per
// frame, without a clock of its own.
class CheckInterval {
 public:
  explicit CheckInterval(int64_t intervalMs = kDiskCheckIntervalMs) : intervalMs_(intervalMs) {}

  // Adds `elapsedMs`; true when a whole interval has gathered since the last true or restart.
  bool elapse(int64_t elapsedMs);
  void restart() { gatheredMs_ = 0; }

 private:
  int64_t intervalMs_;
  int64_t gatheredMs_ = 0;
};

}  // namespace ostrel::recording
