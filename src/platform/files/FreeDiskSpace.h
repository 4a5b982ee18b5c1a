#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace ostrel::platform {

// Bytes an unprivileged writer can still put on the file system that holds
// `path`. A folder that does not exist yet is asked through its nearest
// existing parent, since that is where it will be created. Nothing when the
// file system cannot be asked.
std::optional<uint64_t> FreeDiskBytes(const std::filesystem::path& path);

}  // namespace ostrel::platform
