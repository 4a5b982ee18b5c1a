#include "recording/RecordingNames.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <set>
#include <vector>

namespace ostrel::recording {

namespace {

constexpr std::string_view kNamePrefix = "录像";

bool endsWithExtension(std::string_view name, std::string_view& stem) {
  if (name.size() < kRecordingExtension.size()) return false;
  const std::string_view tail = name.substr(name.size() - kRecordingExtension.size());
  for (std::size_t i = 0; i < tail.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(tail[i]) != lower(kRecordingExtension[i])) return false;
  }
  stem = name.substr(0, name.size() - kRecordingExtension.size());
  return true;
}

// N of a stem "录像N" written the way the name rule writes it (no leading zero), else 0.
unsigned long recordingNumber(std::string_view stem) {
  if (!stem.starts_with(kNamePrefix)) return 0;
  const std::string_view digits = stem.substr(kNamePrefix.size());
  if (digits.empty() || digits.front() == '0') return 0;
  unsigned long n = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
  return ec == std::errc() && end == digits.data() + digits.size() ? n : 0;
}

std::vector<std::string_view> splitComponents(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t start = 1;  // past the leading "/"
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  if (!parts.empty() && parts.back().empty()) parts.pop_back();  // a trailing "/" adds nothing
  return parts;
}

}  // namespace

std::string NextFreeRecordingName(const std::filesystem::path& folder) {
  std::set<unsigned long> taken;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->is_directory(typeError)) continue;
    const std::string name = it->path().filename().string();
    std::string_view stem;
    if (endsWithExtension(name, stem)) {
      if (const unsigned long n = recordingNumber(stem)) taken.insert(n);
    }
  }
  unsigned long n = 1;
  while (taken.count(n)) ++n;
  return std::string(kNamePrefix) + std::to_string(n);
}

bool FolderExists(std::string_view path) {
  if (path.empty() || path.back() == '/') return false;
  struct stat st {};
  return ::stat(std::string(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateFolderPath(std::string_view path) {
  if (path.empty() || path.front() != '/' || path.find('\0') != std::string_view::npos) return false;
  const std::vector<std::string_view> parts = splitComponents(path);
  if (parts.empty()) return false;
  for (std::string_view part : parts) {
    if (part.empty() || part == "." || part == "..") return false;
  }
  std::string current;
  for (std::string_view part : parts) {
    current += '/';
    current += part;
    struct stat st {};
    if (::stat(current.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
    if (::mkdir(current.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (::stat(current.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  }
  return true;
}

bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

std::filesystem::path RecordingFilePath(const std::filesystem::path& saveFolder, std::string_view fileName) {
  return saveFolder / (std::string(fileName) + std::string(kRecordingExtension));
}

bool RecordingFileExists(const std::filesystem::path& saveFolder, std::string_view fileName) {
  std::error_code ec;
  for (std::filesystem::directory_iterator it(saveFolder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::string_view stem;
    if (endsWithExtension(name, stem) && stem == fileName) return true;
  }
  return false;
}

}  // namespace ostrel::recording
