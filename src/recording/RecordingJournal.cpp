#include "recording/RecordingJournal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "codec/StreamFormat.h"
#include "platform/files/FileIo.h"
#include "platform/text/LocalTimeText.h"
#include "recording/JournalSettingsFile.h"
#include "recording/RecordingNames.h"
#include "recording/UnfinishedJournalList.h"

namespace ostrel::recording {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kScanBlock = std::size_t{4} << 20;
constexpr std::size_t kStampLength = 15;  // yyyymmdd-HHMMSS

bool hasJournalName(const fs::path& path) {
  const std::string name = path.filename().string();
  return name.size() > kJournalExtension.size() && name.ends_with(kJournalExtension);
}

std::string timeStamp(int64_t seconds) { return platform::localTimeText(seconds, "%Y%m%d-%H%M%S"); }

// The recording's file name from a journal's own name: what comes before ".<stamp>".
std::string fileNameOf(const fs::path& journal) {
  std::string name = journal.filename().string();
  name.resize(name.size() - kJournalExtension.size());
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && name.size() - dot - 1 >= kStampLength &&
      std::isdigit(static_cast<unsigned char>(name[dot + 1]))) {
    name.resize(dot);
  }
  return name;
}

// Opens a journal without following links; only regular files with the journal's name.
platform::UniqueFd openJournal(const fs::path& journal, int flags, std::string& error) {
  if (!hasJournalName(journal)) {
    error = journal.string() + " is not a journal";
    return {};
  }
  platform::UniqueFd fd(::open(journal.c_str(), flags | O_NOFOLLOW | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0) {
    error = "cannot open " + journal.string() + ": " + platform::errnoText();
    return {};
  }
  if (!S_ISREG(st.st_mode)) {
    error = journal.string() + " is not a plain file";
    return {};
  }
  return fd;
}

// True when a running recording holds the journal's lock.
bool isLive(int fd) {
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0) return errno == EWOULDBLOCK;
  ::flock(fd, LOCK_UN);
  return false;
}

std::optional<JournalScan> scanOpenJournal(int fd) {
  const codec::Bytes separator = codec::FRAME_SEPARATOR;
  JournalScan scan;
  std::vector<uint8_t> buffer(kScanBlock + separator.size());
  std::size_t carried = 0;  // bytes kept from the previous block, at the front of `buffer`
  uint64_t offset = 0;      // file offset of buffer[0]
  for (;;) {
    const ssize_t n = ::pread(fd, buffer.data() + carried, kScanBlock, static_cast<off_t>(offset + carried));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    const std::size_t filled = carried + static_cast<std::size_t>(n);
    const codec::Bytes data(buffer.data(), filled);
    std::size_t searchFrom = 0;
    for (std::size_t at; (at = codec::findSequence(data, separator, searchFrom)) < filled;) {
      ++scan.frames;
      searchFrom = at + separator.size();
      scan.completeBytes = offset + searchFrom;
    }
    if (n == 0) {
      scan.sizeBytes = offset + filled;
      return scan;
    }
    // Keep the tail that may hold the start of a separator, never a found one.
    const std::size_t keep = std::min(separator.size() - 1, filled - std::min(filled, searchFrom));
    std::copy(buffer.begin() + static_cast<std::ptrdiff_t>(filled - keep),
              buffer.begin() + static_cast<std::ptrdiff_t>(filled), buffer.begin());
    offset += filled - keep;
    carried = keep;
  }
}

void forgetJournalFiles(const fs::path& journal) {
  ::unlink(journal.c_str());
  ::unlink(JournalSettingsPath(journal).c_str());
  RemoveUnfinishedJournal(journal);
}

PackageResult failure(std::string error, const fs::path& journal, PackagingView& view) {
  PackageResult result;
  result.error = std::move(error);
  result.keptJournal = journal;
  result.caption = std::string(kFailedCaption);
  result.message = "恢复失败,录制数据仍在:" + journal.string() + "\n" + result.error;
  view.showResult(result);
  return result;
}

}  // namespace

fs::path JournalSettingsPath(const fs::path& journal) {
  return journal.string() + std::string(kJournalSettingsSuffix);
}

JournalStart BeginJournal(codec::RecordingStream& stream, const fs::path& cacheFolder,
                          const JournalDescription& description) {
  JournalStart start;
  if (!stream.empty() || stream.journaling()) {
    start.error = "a journal is started before the first frame";
    return start;
  }
  if (!IsPlainFileName(description.fileName)) {
    start.error = "the file name \"" + description.fileName + "\" is not one plain file name";
    return start;
  }
  if (!FolderExists(cacheFolder.string()) && !CreateFolderPath(cacheFolder.string())) {
    start.error = "cannot create the cache folder " + cacheFolder.string();
    return start;
  }
  JournalDescription stored = description;
  if (stored.startTime == 0) stored.startTime = static_cast<int64_t>(::time(nullptr));
  const std::string stem = stored.fileName + "." + timeStamp(stored.startTime);
  fs::path journal;
  for (int n = 1; n < 100 && journal.empty(); ++n) {
    const fs::path candidate =
        cacheFolder / (stem + (n == 1 ? "" : "-" + std::to_string(n)) + std::string(kJournalExtension));
    std::error_code ec;
    if (fs::exists(fs::symlink_status(candidate, ec)) ||
        fs::exists(fs::symlink_status(JournalSettingsPath(candidate), ec)))
      continue;
    if (stream.startJournal(candidate)) {
      journal = candidate;
    } else if (!fs::exists(fs::symlink_status(candidate, ec))) {
      start.error = stream.lastError();
      return start;
    }
  }
  if (journal.empty()) {
    start.error = "no free journal name for " + stem + " in " + cacheFolder.string();
    return start;
  }
  std::string error;
  if (!WriteJournalSettings(JournalSettingsPath(journal), stored, &error)) {
    stream.clear();  // a journal nobody could pack is no use
    start.error = error;
    return start;
  }
  if (!AddUnfinishedJournal(journal)) {
    start.warning =
        "the journal " + journal.string() +
        " could not be put on the list of unfinished journals; it is found in its cache folder only";
  }
  start.ok = true;
  start.journal = journal;
  return start;
}

std::optional<JournalScan> ScanJournal(const fs::path& journal) {
  platform::UniqueFd fd(::open(journal.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd) return std::nullopt;
  return scanOpenJournal(fd.get());
}

std::vector<UnfinishedJournal> FindUnfinishedJournals(std::span<const fs::path> cacheFolders) {
  std::vector<fs::path> candidates = PruneUnfinishedJournalList();
  for (const fs::path& folder : cacheFolders) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      if (hasJournalName(it->path())) candidates.push_back(fs::absolute(it->path()).lexically_normal());
    }
  }
  std::set<std::string> seen;
  std::vector<UnfinishedJournal> found;
  for (const fs::path& journal : candidates) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(journal, ec);
    if (!seen.insert((ec ? journal : canonical).string()).second) continue;
    std::string error;
    platform::UniqueFd fd = openJournal(journal, O_RDONLY, error);
    if (!fd || isLive(fd.get())) continue;
    const std::optional<JournalScan> scan = scanOpenJournal(fd.get());
    if (!scan) continue;
    UnfinishedJournal entry;
    entry.journal = journal;
    entry.sizeBytes = scan->sizeBytes;
    entry.completeFrames = scan->frames;
    entry.completeBytes = scan->completeBytes;
    if (auto description = ReadJournalSettings(JournalSettingsPath(journal))) {
      entry.description = std::move(*description);
      entry.described = true;
    } else {
      entry.description.fileName = fileNameOf(journal);
      struct stat st {};
      if (::fstat(fd.get(), &st) == 0) entry.description.startTime = st.st_mtime;
    }
    found.push_back(std::move(entry));
  }
  std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    return a.description.startTime < b.description.startTime;
  });
  return found;
}

JournalTrim TrimJournal(const fs::path& journal) {
  JournalTrim trim;
  platform::UniqueFd fd = openJournal(journal, O_RDWR, trim.error);
  if (!fd) return trim;
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    trim.error = journal.string() + " belongs to a recording that is still running";
    return trim;
  }
  const std::optional<JournalScan> scan = scanOpenJournal(fd.get());
  if (!scan) {
    trim.error = "cannot read " + journal.string() + ": " + platform::errnoText();
    return trim;
  }
  if (scan->completeBytes < scan->sizeBytes) {
    if (::ftruncate(fd.get(), static_cast<off_t>(scan->completeBytes)) != 0 || ::fdatasync(fd.get()) != 0) {
      trim.error = "cannot cut " + journal.string() + ": " + platform::errnoText();
      return trim;
    }
  }
  trim.ok = true;
  trim.frames = scan->frames;
  trim.bytes = scan->completeBytes;
  trim.cutBytes = scan->sizeBytes - scan->completeBytes;
  return trim;
}

PackageResult RecoverJournal(const UnfinishedJournal& journal, const fs::path& saveFolder,
                             PackagingView& view) {
  const JournalTrim trim = TrimJournal(journal.journal);
  if (!trim.ok) return failure(trim.error, journal.journal, view);
  const fs::path folder = saveFolder.empty() ? journal.description.saveFolder : saveFolder;
  if (folder.empty()) return failure("no save folder is known for it", journal.journal, view);
  if (!FolderExists(folder.string())) CreateFolderPath(folder.string());
  const std::string& own = journal.description.fileName;
  const std::string name =
      IsPlainFileName(own) && !RecordingFileExists(folder, own) ? own : NextFreeRecordingName(folder);

  codec::RecordingStream stream;
  if (!stream.adoptJournal(journal.journal)) return failure(stream.lastError(), journal.journal, view);
  PackageRequest request;
  request.cacheFolder = journal.journal.parent_path();
  request.saveFolder = folder;
  request.fileName = name;
  request.settings = journal.description.settings;
  request.replaceExisting = false;
  return PackageRecording(stream, request, view);
}

bool DiscardJournal(const fs::path& journal) {
  if (!hasJournalName(journal)) return false;
  std::string error;
  platform::UniqueFd fd = openJournal(journal, O_RDONLY, error);
  if (fd && ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;
  // Missing already: its settings file and list entry go all the same.
  forgetJournalFiles(journal);
  return true;
}

void ForgetFinishedJournal(const fs::path& journal) { forgetJournalFiles(journal); }

}  // namespace ostrel::recording
