#pragma once

#include <filesystem>

#include "platform/files/UniqueFd.h"

namespace ostrel::playback {

// Opens a regular file read-only without following a symbolic link at its
// name; an empty handle otherwise. The descriptor stays readable after the
// file's name is removed.
platform::UniqueFd openRegularFileForReading(const std::filesystem::path& path);

}  // namespace ostrel::playback
