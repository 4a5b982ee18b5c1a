#pragma once

#include <filesystem>
#include <span>

#include "platform/zip/ZipWriter.h"
#include "recording/PackageRecording.h"

// Writing a recording file so that no half-written file ever carries its name:
// the archive is written under a hidden temporary name beside the final one
// (".<name>.XXXXXX"), flushed, and renamed into place only when complete.
namespace ostrel::recording {

// Writes the archive through `writer` and moves it to `target`. Without
// `replace` an existing file of that name wins and the write fails. The
// temporary file is locked while it is written; temporaries in the same
// folder left by a process that was killed while packing are removed first.
platform::ZipWriteResult WriteArchiveInPlace(const ArchiveWriter& writer, const std::filesystem::path& target,
                                             std::span<const platform::ZipMemberSource> members,
                                             const platform::ZipProgress& progress, bool replace);

// Removes the temporaries of recording files in `folder` that no running pack
// holds; returns how many.
int RemoveStaleTemporaryArchives(const std::filesystem::path& folder);

}  // namespace ostrel::recording
