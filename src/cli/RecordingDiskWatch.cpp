#include "cli/RecordingDiskWatch.h"

#include <charconv>
#include <cstdlib>
#include <string_view>

#include "platform/files/FileIo.h"

namespace ostrel::cli {

namespace {

namespace fs = std::filesystem;

std::optional<uint64_t> freeBytesFromFile(const fs::path& file) {
  std::string text;
  if (!platform::readWholeFile(file, text, 64)) return std::nullopt;
  const std::size_t end = text.find_last_not_of(" \t\r\n");
  const std::string_view digits(text.data(), end == std::string::npos ? 0 : end + 1);
  uint64_t bytes = 0;
  const auto [stop, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), bytes);
  if (ec != std::errc() || stop != digits.data() + digits.size()) return std::nullopt;
  return bytes;
}

}  // namespace

recording::FreeSpaceProbe commandLineFreeSpaceProbe() {
  const char* file = std::getenv("OSTREL_FREE_SPACE_FILE");
  if (!file || !*file) return recording::PlatformFreeSpaceProbe();
  return [path = fs::path(file)](const fs::path&) { return freeBytesFromFile(path); };
}

RecordingDiskWatch::RecordingDiskWatch(fs::path cacheFolder, fs::path saveFolder,
                                       const codec::RecordingStream& stream)
    : cacheFolder_(std::move(cacheFolder)),
      saveFolder_(std::move(saveFolder)),
      stream_(stream),
      guard_(commandLineFreeSpaceProbe()) {}

std::optional<std::string> RecordingDiskWatch::shortage() const {
  return guard_.shortage(
      recording::RecordingFolders(cacheFolder_, saveFolder_, stream_.size(), stream_.residentBytes()));
}

std::optional<std::string> RecordingDiskWatch::afterTick(int64_t periodMs) {
  if (!interval_.elapse(periodMs)) return std::nullopt;
  return shortage();
}

}  // namespace ostrel::cli
