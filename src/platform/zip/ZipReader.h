#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Reads recording files and any other plain ZIP archive. Archives are
// untrusted: member names that would leave the target folder are refused,
// sizes are checked against the archive's headers and a limit before anything
// is written (each member also against a ceiling for its name, so that a
// small archive cannot claim to hold gigabytes where kilobytes belong), and a
// member that inflates past its stated size stops the unpack.
namespace ostrel::platform {

// A ceiling for the member that lands at one relative path ("/" between
// folders, UTF-8, compared exactly).
struct MemberLimit {
  std::string name;
  uint64_t maxBytes = 0;
};

struct UnzipLimits {
  uint64_t maxTotalBytes = uint64_t{16} << 30;
  uint64_t maxMembers = 4096;
  // Members named here may be no larger than their own ceiling, all others
  // no larger than maxOtherMemberBytes; every one counts toward the total.
  std::vector<MemberLimit> memberLimits = {};
  uint64_t maxOtherMemberBytes = UINT64_MAX;
};

struct UnzipResult {
  bool ok = false;
  std::string error;
  // Files written, in archive order, so a caller can remove exactly these.
  std::vector<std::filesystem::path> written;
};

// Unpacks every member into `folder` (created when missing), replacing files
// of the same name. Member names are GBK unless the archive marks them UTF-8.
UnzipResult unpackZipArchive(const std::filesystem::path& archive, const std::filesystem::path& folder,
                             const UnzipLimits& limits = {});

// Streams the member called `name` (UTF-8) to `sink` without unpacking it.
bool readZipMember(const std::filesystem::path& archive, std::string_view name,
                   const std::function<bool(std::span<const uint8_t>)>& sink, std::string* error = nullptr,
                   const UnzipLimits& limits = {});

// The relative path a member name stands for, or nothing when the name is
// empty, absolute, holds a backslash, a drive prefix or a ".." component.
std::optional<std::filesystem::path> safeMemberPath(std::string_view utf8Name);

}  // namespace ostrel::platform
