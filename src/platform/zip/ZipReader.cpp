#include "platform/zip/ZipReader.h"

#include <fcntl.h>
#include <minizip/unzip.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <memory>

#include "platform/files/FileIo.h"
#include "platform/text/GbkText.h"

namespace ostrel::platform {

namespace {

constexpr uLong kUtf8NamesFlag = 1u << 11;
constexpr uLong kEncryptedFlag = 1u;
constexpr std::size_t kReadBlock = std::size_t{1} << 20;

struct UnzCloser {
  void operator()(unzFile z) const {
    if (z) unzClose(z);
  }
};
using UniqueUnz = std::unique_ptr<std::remove_pointer_t<unzFile>, UnzCloser>;

struct MemberEntry {
  std::string name;  // UTF-8
  uint64_t size = 0;
  bool folder = false;
  std::filesystem::path relative;
};

bool startsWithLocalHeader(const std::filesystem::path& archive) {
  UniqueFd fd(::open(archive.c_str(), O_RDONLY | O_CLOEXEC));
  std::array<uint8_t, 4> head{};
  return fd && preadAll(fd.get(), head, 0) && head == std::array<uint8_t, 4>{'P', 'K', 3, 4};
}

// The end-of-directory record must be there whole: a file cut short inside it
// would otherwise still be read.
bool endRecordComplete(const std::filesystem::path& archive) {
  UniqueFd fd(::open(archive.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0) return false;
  const auto size = static_cast<uint64_t>(st.st_size);
  const uint64_t tail = std::min<uint64_t>(size, 22 + 0xFFFF);
  std::vector<uint8_t> bytes(static_cast<std::size_t>(tail));
  if (!preadAll(fd.get(), bytes, size - tail)) return false;
  for (std::size_t at = bytes.size() >= 22 ? bytes.size() - 22 + 1 : 0; at-- > 0;) {
    if (bytes[at] == 'P' && bytes[at + 1] == 'K' && bytes[at + 2] == 5 && bytes[at + 3] == 6) {
      const std::size_t commentLength = bytes[at + 20] | bytes[at + 21] << 8;
      return at + 22 + commentLength <= bytes.size();
    }
  }
  return false;
}

uint64_t memberCeiling(const UnzipLimits& limits, std::string_view name) {
  for (const MemberLimit& limit : limits.memberLimits) {
    if (limit.name == name) return limit.maxBytes;
  }
  return limits.maxOtherMemberBytes;
}

// Opens the archive and reads its central directory, checking every name and
// the stated sizes before the caller writes anything.
UniqueUnz openChecked(const std::filesystem::path& archive, const UnzipLimits& limits,
                      std::vector<MemberEntry>& entries, std::string& error) {
  if (!startsWithLocalHeader(archive)) {
    error = archive.string() + " is not a recording file (no ZIP header)";
    return nullptr;
  }
  if (!endRecordComplete(archive)) {
    error = archive.string() + " is damaged (cut short)";
    return nullptr;
  }
  UniqueUnz zip(unzOpen64(archive.c_str()));
  unz_global_info64 global{};
  if (!zip || unzGetGlobalInfo64(zip.get(), &global) != UNZ_OK) {
    error = archive.string() + " is damaged (no readable ZIP directory)";
    return nullptr;
  }
  if (global.number_entry > limits.maxMembers) {
    error = archive.string() + " holds too many members";
    return nullptr;
  }
  uint64_t total = 0;
  std::vector<char> nameBuffer(0x10000);
  for (int status = unzGoToFirstFile(zip.get()); status != UNZ_END_OF_LIST_OF_FILE;
       status = unzGoToNextFile(zip.get())) {
    unz_file_info64 info{};
    if (status != UNZ_OK ||
        unzGetCurrentFileInfo64(zip.get(), &info, nameBuffer.data(), static_cast<uLong>(nameBuffer.size()),
                                nullptr, 0, nullptr, 0) != UNZ_OK) {
      error = archive.string() + " is damaged (unreadable directory entry)";
      return nullptr;
    }
    const std::string_view raw(nameBuffer.data(),
                               std::min<std::size_t>(info.size_filename, nameBuffer.size()));
    MemberEntry entry;
    entry.name = (info.flag & kUtf8NamesFlag) ? std::string(raw) : gbkToUtf8(raw);
    entry.size = info.uncompressed_size;
    entry.folder = !entry.name.empty() && entry.name.back() == '/';
    const auto relative = safeMemberPath(entry.name);
    if (raw.find('\0') != std::string_view::npos || !relative) {
      error = archive.string() + " holds a member name that leaves its folder: " + entry.name;
      return nullptr;
    }
    if (info.flag & kEncryptedFlag) {
      error = archive.string() + " holds an encrypted member: " + entry.name;
      return nullptr;
    }
    entry.relative = *relative;
    // By the name it lands under: "./Config" is the settings file as well.
    if (entry.size > memberCeiling(limits, entry.relative.generic_string())) {
      error = archive.string() + " is damaged: its member " + entry.name + " claims " +
              std::to_string(entry.size) + " bytes, more than such a member can hold";
      return nullptr;
    }
    total += entry.size;
    if (entry.size > limits.maxTotalBytes || total > limits.maxTotalBytes) {
      error = archive.string() + " unpacks to more than the allowed size";
      return nullptr;
    }
    entries.push_back(std::move(entry));
  }
  if (entries.size() != global.number_entry) {
    error = archive.string() + " is damaged (directory shorter than stated)";
    return nullptr;
  }
  return zip;
}

// Inflates the current member to `sink`, refusing more bytes than its header
// states and checking the CRC at the end.
bool streamCurrent(unzFile zip, const MemberEntry& entry,
                   const std::function<bool(std::span<const uint8_t>)>& sink, std::string& error) {
  if (unzOpenCurrentFile(zip) != UNZ_OK) {
    error = "cannot read the member " + entry.name;
    return false;
  }
  std::vector<uint8_t> buffer(kReadBlock);
  uint64_t produced = 0;
  bool ok = true;
  for (;;) {
    const int n = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
    if (n == 0) break;
    if (n < 0) {
      error = "the member " + entry.name + " is damaged";
      ok = false;
      break;
    }
    produced += static_cast<uint64_t>(n);
    if (produced > entry.size) {
      error = "the member " + entry.name + " is larger than its header says";
      ok = false;
      break;
    }
    if (!sink(std::span<const uint8_t>(buffer.data(), static_cast<std::size_t>(n)))) {
      error = "cannot store the member " + entry.name + ": " + errnoText();
      ok = false;
      break;
    }
  }
  const int closed = unzCloseCurrentFile(zip);
  if (ok && produced != entry.size) {
    error = "the member " + entry.name + " is damaged (" + std::to_string(produced) + " bytes instead of " +
            std::to_string(entry.size) + ")";
    ok = false;
  } else if (ok && closed != UNZ_OK) {
    error = "the member " + entry.name + " is damaged (CRC does not match)";
    ok = false;
  }
  return ok;
}

}  // namespace

std::optional<std::filesystem::path> safeMemberPath(std::string_view utf8Name) {
  if (utf8Name.empty() || utf8Name.front() == '/' || utf8Name.find('\\') != std::string_view::npos ||
      utf8Name.find('\0') != std::string_view::npos) {
    return std::nullopt;
  }
  std::filesystem::path relative;
  std::size_t start = 0;
  bool first = true;
  while (start <= utf8Name.size()) {
    std::size_t end = utf8Name.find('/', start);
    if (end == std::string_view::npos) end = utf8Name.size();
    const std::string_view part = utf8Name.substr(start, end - start);
    start = end + 1;
    if (part == "..") return std::nullopt;
    if (first && part.find(':') != std::string_view::npos) return std::nullopt;
    first = false;
    if (part.empty() || part == ".") continue;
    relative /= std::string(part);
  }
  if (relative.empty()) return std::nullopt;
  return relative;
}

UnzipResult unpackZipArchive(const std::filesystem::path& archive, const std::filesystem::path& folder,
                             const UnzipLimits& limits) {
  UnzipResult result;
  std::vector<MemberEntry> entries;
  UniqueUnz zip = openChecked(archive, limits, entries, result.error);
  if (!zip) return result;

  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!std::filesystem::is_directory(folder, ec)) {
    result.error = "cannot create the folder " + folder.string();
    return result;
  }
  uint64_t total = 0;
  for (const auto& e : entries) total += e.size;
  struct statvfs fs {};
  if (::statvfs(folder.c_str(), &fs) == 0 && static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize < total) {
    result.error = "not enough free space in " + folder.string() + " to unpack " + archive.string();
    return result;
  }

  std::size_t index = 0;
  for (int status = unzGoToFirstFile(zip.get()); status == UNZ_OK && index < entries.size();
       status = unzGoToNextFile(zip.get()), ++index) {
    const MemberEntry& entry = entries[index];
    const std::filesystem::path target = folder / entry.relative;
    if (entry.folder) {
      std::filesystem::create_directories(target, ec);
      continue;
    }
    std::filesystem::create_directories(target.parent_path(), ec);
    // Replace whatever is there, a link included, by a new plain file.
    if (::unlink(target.c_str()) != 0 && errno != ENOENT) {
      result.error = "cannot replace " + target.string() + ": " + errnoText();
      return result;
    }
    UniqueFd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!out) {
      result.error = "cannot create " + target.string() + ": " + errnoText();
      return result;
    }
    bool ok = streamCurrent(
        zip.get(), entry, [&out](std::span<const uint8_t> b) { return writeAll(out.get(), b); },
        result.error);
    if (!out.close() && ok) {
      result.error = "cannot write " + target.string() + ": " + errnoText();
      ok = false;
    }
    if (!ok) {
      ::unlink(target.c_str());
      return result;
    }
    result.written.push_back(target);
  }
  if (index != entries.size()) {
    result.error = archive.string() + " is damaged (member missing)";
    return result;
  }
  result.ok = true;
  return result;
}

bool readZipMember(const std::filesystem::path& archive, std::string_view name,
                   const std::function<bool(std::span<const uint8_t>)>& sink, std::string* error,
                   const UnzipLimits& limits) {
  std::string localError;
  std::string& message = error ? *error : localError;
  std::vector<MemberEntry> entries;
  UniqueUnz zip = openChecked(archive, limits, entries, message);
  if (!zip) return false;
  std::size_t index = 0;
  for (int status = unzGoToFirstFile(zip.get()); status == UNZ_OK && index < entries.size();
       status = unzGoToNextFile(zip.get()), ++index) {
    if (entries[index].name == name) return streamCurrent(zip.get(), entries[index], sink, message);
  }
  message = archive.string() + " has no member " + std::string(name);
  return false;
}

}  // namespace ostrel::platform
