#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "codec/RecordingStream.h"
#include "recording/PackageRecording.h"
#include "recording/RecordingConfig.h"

// A recording in progress lives in a journal in the cache folder: the exact
// bytes of the recording's data member, written as they are recorded, plus a
// small settings file beside it. When the program dies before the recording
// is packed, the journal is found again at the next start (or by
// `ostrel recover`) and packed then.
//
// Names: <file name>.<yyyymmdd-HHMMSS>.ostrel-journal and the same + ".settings".
namespace ostrel::recording {

inline constexpr std::string_view kJournalExtension = ".ostrel-journal";
inline constexpr std::string_view kJournalSettingsSuffix = ".settings";

// What a journal belongs to: enough to pack it without the window that started it.
struct JournalDescription {
  std::string fileName;              // the recording's file name, without ".ORec"
  std::filesystem::path saveFolder;  // where its recording file was to go
  RecordingSettings settings;        // frame rate and overlay, for Config
  int compressionKind = 2;           // 1 JPEG, 2 PNG, 3 BMP
  int64_t startTime = 0;             // seconds since 1970 (UTC); 0 at BeginJournal: now
};

struct JournalStart {
  bool ok = false;
  std::filesystem::path journal;  // the journal file, when ok
  std::string error;              // otherwise why not; the stream then stays in memory
  std::string warning;            // ok, but not everything went to plan
};

// Starts journalling `stream` (which must be empty) in `cacheFolder` for the
// recording `description`: creates the journal, writes its settings file and
// puts it on the list of unfinished journals. Call before the first frame.
JournalStart BeginJournal(codec::RecordingStream& stream, const std::filesystem::path& cacheFolder,
                          const JournalDescription& description);

// A journal whose recording never finished.
struct UnfinishedJournal {
  std::filesystem::path journal;
  // From the settings file; when that is missing or unreadable, `described`
  // is false and the description holds defaults and the name from the journal's own name.
  JournalDescription description;
  bool described = false;
  uint64_t sizeBytes = 0;
  uint64_t completeFrames = 0;  // frame separators in it
  uint64_t completeBytes = 0;   // bytes up to and including the last separator
};

// Journals of unfinished recordings: the ones on the list of unfinished
// journals plus every journal in `cacheFolders`, each once, sorted by start
// time. Journals still held by a running recording are left out, and list
// entries whose journal is gone are dropped from the list.
std::vector<UnfinishedJournal> FindUnfinishedJournals(std::span<const std::filesystem::path> cacheFolders);

// Cuts `journal` in place after its last complete frame separator. Only
// regular files named *.ostrel-journal are touched.
struct JournalTrim {
  bool ok = false;
  uint64_t frames = 0;    // complete frames kept
  uint64_t bytes = 0;     // new size
  uint64_t cutBytes = 0;  // bytes of the unfinished last frame removed
  std::string error;
};
JournalTrim TrimJournal(const std::filesystem::path& journal);

// Packs an unfinished journal into a recording file: trims it to its last
// complete frame, then packs it into `saveFolder` (the journal's own save
// folder when empty) under the recording's own name when that is free, else
// under the next free name; an existing file is never replaced. On success
// the journal, its settings file and its list entry are gone; on failure all
// three stay. The view sees the packing as after a recording.
PackageResult RecoverJournal(const UnfinishedJournal& journal, const std::filesystem::path& saveFolder,
                             PackagingView& view);

// Deletes a journal (unless a running recording holds it), its settings file
// and its list entry.
bool DiscardJournal(const std::filesystem::path& journal);

// Deletes a journal whose recording file has been written, its settings
// file and its list entry (PackageRecording does this).
void ForgetFinishedJournal(const std::filesystem::path& journal);

// Counts FRAME_SEPARATORs of a stream file; nullopt when it cannot be read.
struct JournalScan {
  uint64_t sizeBytes = 0;
  uint64_t frames = 0;
  uint64_t completeBytes = 0;  // up to and including the last separator
};
std::optional<JournalScan> ScanJournal(const std::filesystem::path& journal);

// The settings file beside a journal.
std::filesystem::path JournalSettingsPath(const std::filesystem::path& journal);

}  // namespace ostrel::recording
