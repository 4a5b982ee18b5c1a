#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Names and folders of recording files on a POSIX host. Folder texts are
// absolute paths; file names are one plain path component.
namespace ostrel::recording {

// Extension of recording files; found without regard to case.
inline constexpr std::string_view kRecordingExtension = ".ORec";

// "录像" + N for the first N = 1, 2, ... without a recording file in `folder`.
std::string NextFreeRecordingName(const std::filesystem::path& folder);

// True when `path` names an existing folder. A path ending in "/" has an
// empty last component and counts as missing (CreateFolderPath then walks it).
bool FolderExists(std::string_view path);

// Creates an absolute folder path level by level. Refuses relative paths and
// ".", ".." or empty components; succeeds when every level exists afterwards.
bool CreateFolderPath(std::string_view path);

// One plain path component: not empty, no "/", not "." or "..", no NUL.
bool IsPlainFileName(std::string_view name);

// save folder / (file name + ".ORec").
std::filesystem::path RecordingFilePath(const std::filesystem::path& saveFolder, std::string_view fileName);

// True when anything exists in `saveFolder` named `fileName` + ".ORec",
// the extension compared without regard to case.
bool RecordingFileExists(const std::filesystem::path& saveFolder, std::string_view fileName);

}  // namespace ostrel::recording
