#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "platform/files/UniqueFd.h"

// Small POSIX helpers that retry on EINTR and short transfers.
namespace ostrel::platform {

bool writeAll(int fd, std::span<const uint8_t> bytes);
bool pwriteAll(int fd, std::span<const uint8_t> bytes, uint64_t offset);
bool preadAll(int fd, std::span<uint8_t> into, uint64_t offset);
// Copies `length` bytes from `from` (at offset 0) to the current position of `to`.
bool copyFileRange(int from, int to, uint64_t length);
// Writes `bytes` as the whole content of `path` (created or truncated).
bool writeWholeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);
// Reads a whole file, refusing files larger than `limit`.
bool readWholeFile(const std::filesystem::path& path, std::string& out, uint64_t limit = 64u << 20);
// Makes a file or a folder (its entries: names created, renamed or removed)
// durable; an empty path is the current folder.
bool syncToDisk(const std::filesystem::path& path);
// Text of errno for messages.
std::string errnoText();

}  // namespace ostrel::platform
