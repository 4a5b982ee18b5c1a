#pragma once

#include <filesystem>
#include <vector>

// The list of journals whose recording has not been packed yet, so they are
// found at the next start whatever cache folder they were written to:
// $XDG_STATE_HOME/ostrel/unfinished-journals (~/.local/state/... by default),
// one absolute path per line, rewritten atomically under a lock file.
namespace ostrel::recording {

// Empty when neither XDG_STATE_HOME nor HOME gives an absolute folder.
std::filesystem::path UnfinishedJournalListPath();

std::vector<std::filesystem::path> ReadUnfinishedJournalList();
bool AddUnfinishedJournal(const std::filesystem::path& journal);
bool RemoveUnfinishedJournal(const std::filesystem::path& journal);
// Drops entries whose journal file no longer exists; returns the ones left.
std::vector<std::filesystem::path> PruneUnfinishedJournalList();

}  // namespace ostrel::recording
