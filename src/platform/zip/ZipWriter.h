#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

// Writes a recording file: a plain ZIP archive whose members are named by GBK
// bytes (UTF-8 flag clear), deflated, with the final CRC and sizes in the
// local headers, version needed 20, version made by 0x0B17, DOS time, Windows
// file attributes and the "UT" timestamp extra field.
namespace ostrel::platform {

struct ZipMemberSource {
  std::string name;  // UTF-8; stored as GBK bytes
  std::filesystem::path file;
};

// Bytes of member data read so far and in all.
using ZipProgress = std::function<void(uint64_t done, uint64_t total)>;

struct ZipWriteResult {
  bool ok = false;
  std::string error;
};

// Creates (or replaces) `archive` holding `members` in the given order.
ZipWriteResult writeZipArchive(const std::filesystem::path& archive, std::span<const ZipMemberSource> members,
                               const ZipProgress& progress = {});

// Members whose names end in these extensions are stored, not deflated.
bool zipStoresUncompressed(std::string_view name);

}  // namespace ostrel::platform
