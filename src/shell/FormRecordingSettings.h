#pragma once

#include <filesystem>

#include "recording/RecordingConfig.h"
#include "recording/RecordingJournal.h"

namespace ostrel::shell {

struct MainWindowForm;

// What the main window's form says about the recording being made, read at
// the moment it is asked for, as the user left the boxes.
recording::RecordingSettings recordingSettingsFrom(const MainWindowForm& form);
std::filesystem::path cacheFolderFrom(const MainWindowForm& form);
std::filesystem::path saveFolderFrom(const MainWindowForm& form);

// Where a new recording's journal goes and what it records about it.
struct JournalPlan {
  std::filesystem::path cacheFolder;
  recording::JournalDescription description;
};
JournalPlan journalPlanFrom(const MainWindowForm& form, int compressionKind);

}  // namespace ostrel::shell
