#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "recording/RecordingJournal.h"

// The small settings file beside a journal: UTF-8 "key=value" lines, with
// "\\", "\n" and "\r" escaped in values. Written atomically (temporary file,
// fsync, rename), so it is either whole or absent.
namespace ostrel::recording {

std::string SerializeJournalDescription(const JournalDescription& description);
// Unknown keys are ignored; nullopt when the text is not such a file (no file name).
std::optional<JournalDescription> ParseJournalDescription(std::string_view text);

bool WriteJournalSettings(const std::filesystem::path& path, const JournalDescription& description,
                          std::string* error = nullptr);
std::optional<JournalDescription> ReadJournalSettings(const std::filesystem::path& path);

// Writes `bytes` as `path` through a temporary file in the same folder,
// flushed before it is renamed into place, then flushes the folder.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string* error = nullptr);

}  // namespace ostrel::recording
