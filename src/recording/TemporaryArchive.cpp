#include "recording/TemporaryArchive.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/files/FileIo.h"
#include "platform/files/UniqueFd.h"
#include "recording/RecordingNames.h"

namespace ostrel::recording {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kRandomPartLength = 6;  // the XXXXXX of mkostemp

std::string temporaryPrefix(const fs::path& target) { return "." + target.filename().string() + "."; }

// ".<name>.ORec.XXXXXX", the extension in any case, as WriteArchiveInPlace names them.
bool isTemporaryArchiveName(const std::string& name) {
  const std::string_view extension = kRecordingExtension;
  const std::size_t tail = extension.size() + 1 + kRandomPartLength;
  if (name.size() <= 1 + tail || name[0] != '.' || name[name.size() - kRandomPartLength - 1] != '.')
    return false;
  return strncasecmp(name.c_str() + name.size() - tail, extension.data(), extension.size()) == 0;
}

// Puts the finished archive in place; without `replace` an existing file wins.
bool moveIntoPlace(const fs::path& from, const fs::path& to, bool replace) {
  if (replace) return ::rename(from.c_str(), to.c_str()) == 0;
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without RENAME_NOREPLACE: a hard link fails on an existing name just the same.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

}  // namespace

int RemoveStaleTemporaryArchives(const fs::path& folder) {
  std::error_code ec;
  int removed = 0;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!isTemporaryArchiveName(it->path().filename().string())) continue;
    // Only plain files, never through a link; one a running pack holds is left alone.
    platform::UniqueFd fd(::open(it->path().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;
    if (::unlink(it->path().c_str()) == 0) ++removed;
  }
  return removed;
}

platform::ZipWriteResult WriteArchiveInPlace(const ArchiveWriter& writer, const fs::path& target,
                                             std::span<const platform::ZipMemberSource> members,
                                             const platform::ZipProgress& progress, bool replace) {
  RemoveStaleTemporaryArchives(target.parent_path());
  std::string pattern = (target.parent_path() / (temporaryPrefix(target) + "XXXXXX")).string();
  // Held open and locked until the archive is in place: the lock tells a later
  // pack that this temporary is alive; a killed process drops it.
  platform::UniqueFd placeholder(::mkostemp(pattern.data(), O_CLOEXEC));
  if (!placeholder)
    return {false, "cannot create a file in " + target.parent_path().string() + ": " + platform::errnoText()};
  ::flock(placeholder.get(), LOCK_EX);
  // mkostemp makes the file private; a recording gets the usual permissions.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(placeholder.get(), 0666 & ~mask);
  const fs::path temporary = pattern;
  platform::ZipWriteResult result = writer(temporary, members, progress);
  if (result.ok && !platform::syncToDisk(temporary)) result = {false, "cannot flush " + temporary.string()};
  if (result.ok && !moveIntoPlace(temporary, target, replace)) {
    result = {false, "cannot rename " + temporary.string() + " to " + target.string() + ": " +
                         platform::errnoText()};
  }
  if (!result.ok) {
    ::unlink(temporary.c_str());
    return result;
  }
  platform::syncToDisk(target.parent_path());
  return result;
}

}  // namespace ostrel::recording
