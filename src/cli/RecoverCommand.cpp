#include "cli/RecoverCommand.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "cli/ConsolePackagingView.h"
#include "platform/files/XdgFolders.h"
#include "platform/text/LocalTimeText.h"
#include "recording/RecordingJournal.h"

namespace ostrel::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage = "usage: ostrel recover [--cache DIR]... [--out DIR] [--list | --discard]\n";

std::string startText(int64_t seconds) { return platform::localTimeText(seconds, "%Y-%m-%d %H:%M:%S"); }

void describe(const recording::UnfinishedJournal& journal) {
  const auto& d = journal.description;
  std::printf("%s: %s, started %s, %llu frames, %llu bytes%s\n", journal.journal.c_str(), d.fileName.c_str(),
              startText(d.startTime).c_str(), static_cast<unsigned long long>(journal.completeFrames),
              static_cast<unsigned long long>(journal.sizeBytes),
              journal.described ? "" : " (its settings file is missing)");
}

}  // namespace

int runRecoverCommand(std::span<char*> args) {
  std::vector<fs::path> caches;
  fs::path out;
  bool list = false, discard = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--list" || arg == "--discard") {
      (arg == "--list" ? list : discard) = true;
    } else if ((arg == "--cache" || arg == "--out") && i + 1 < args.size()) {
      const fs::path folder = fs::absolute(args[++i]);
      if (arg == "--cache") {
        caches.push_back(folder);
      } else {
        out = folder;
      }
    } else {
      std::fprintf(stderr, "ostrel recover: unexpected %s\n%s", args[i], kUsage);
      return 2;
    }
  }
  if (list && discard) {
    std::fprintf(stderr, "ostrel recover: --list and --discard do not go together\n%s", kUsage);
    return 2;
  }
  if (caches.empty()) {
    if (const fs::path cache = platform::defaultJournalFolder(); !cache.empty()) caches.push_back(cache);
  }

  const std::vector<recording::UnfinishedJournal> journals = recording::FindUnfinishedJournals(caches);
  if (journals.empty()) {
    std::printf("nothing to recover\n");
    return 0;
  }
  bool allWell = true;
  for (const auto& journal : journals) {
    describe(journal);
    if (list) continue;
    if (discard || journal.completeFrames == 0) {
      const bool gone = recording::DiscardJournal(journal.journal);
      std::printf(gone ? "  discarded%s\n" : "  could not be discarded%s\n",
                  discard ? "" : " (it holds no complete frame)");
      allWell = allWell && gone;
      continue;
    }
    ConsolePackagingView view;
    const recording::PackageResult result = recording::RecoverJournal(journal, out, view);
    if (result.ok) {
      std::printf("  saved %s, %llu frames\n", result.recordingFile.c_str(),
                  static_cast<unsigned long long>(journal.completeFrames));
    }
    allWell = allWell && result.ok;
  }
  std::fflush(stdout);
  return allWell ? 0 : 1;
}

}  // namespace ostrel::cli
