#include "recording/UnfinishedJournalList.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <string>

#include "platform/files/FileIo.h"
#include "platform/files/XdgFolders.h"
#include "recording/JournalSettingsFile.h"

namespace ostrel::recording {

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kMaxListBytes = 1 << 20;

std::vector<fs::path> parseList(const std::string& text) {
  std::vector<fs::path> entries;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.front() == '/') entries.emplace_back(fs::path(line).lexically_normal());
  }
  return entries;
}

// Runs `change` on the list under the list's lock file and writes the result
// back when it differs; the list is rewritten whole, so it is never half-written.
bool updateList(const std::function<void(std::vector<fs::path>&)>& change,
                std::vector<fs::path>* after = nullptr) {
  const fs::path list = UnfinishedJournalListPath();
  if (list.empty()) return false;
  std::error_code ec;
  fs::create_directories(list.parent_path(), ec);
  const fs::path lockPath = list.string() + ".lock";
  platform::UniqueFd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!lock || ::flock(lock.get(), LOCK_EX) != 0) return false;
  std::string text;
  std::vector<fs::path> entries;
  if (platform::readWholeFile(list, text, kMaxListBytes)) entries = parseList(text);
  const std::vector<fs::path> before = entries;
  change(entries);
  if (after) *after = entries;
  if (entries == before) return true;
  std::string out;
  for (const fs::path& entry : entries) out.append(entry.string()).append("\n");
  return WriteFileAtomically(list, out);
}

}  // namespace

fs::path UnfinishedJournalListPath() {
  const fs::path state = platform::xdgProgramFolder("XDG_STATE_HOME", ".local/state");
  return state.empty() ? state : state / "unfinished-journals";
}

std::vector<fs::path> ReadUnfinishedJournalList() {
  std::string text;
  const fs::path list = UnfinishedJournalListPath();
  if (list.empty() || !platform::readWholeFile(list, text, kMaxListBytes)) return {};
  return parseList(text);
}

bool AddUnfinishedJournal(const fs::path& journal) {
  const fs::path entry = fs::absolute(journal).lexically_normal();
  return updateList([&entry](std::vector<fs::path>& entries) {
    if (std::find(entries.begin(), entries.end(), entry) == entries.end()) entries.push_back(entry);
  });
}

bool RemoveUnfinishedJournal(const fs::path& journal) {
  const fs::path entry = fs::absolute(journal).lexically_normal();
  return updateList([&entry](std::vector<fs::path>& entries) { std::erase(entries, entry); });
}

std::vector<fs::path> PruneUnfinishedJournalList() {
  std::vector<fs::path> left;
  if (!updateList(
          [](std::vector<fs::path>& entries) {
            std::erase_if(entries, [](const fs::path& entry) {
              struct stat st {};
              return ::lstat(entry.c_str(), &st) != 0 && errno == ENOENT;
            });
          },
          &left)) {
    return ReadUnfinishedJournalList();
  }
  return left;
}

}  // namespace ostrel::recording
