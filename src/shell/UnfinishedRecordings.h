#pragma once

#include <QString>

#include "recording/RecordingJournal.h"

namespace ostrel::shell {

class MainWindow;
class ShellPackager;

inline constexpr const char* kRecoveryCaption = "恢复录制";
inline constexpr const char* kRecoverySave = "保存";
inline constexpr const char* kRecoveryDiscard = "丢弃";
inline constexpr const char* kRecoveryLater = "以后再说";

// The question asked about one unfinished recording.
QString describeUnfinishedRecording(const recording::UnfinishedJournal& journal);

// At start-up: each recording that never finished (its journal is still in
// the form's cache folder or on the list of unfinished journals) is offered
// for saving as a recording file in the save folder, or for discarding. A
// recording put off for later is offered again at the next start.
void OfferUnfinishedRecordings(MainWindow& window, ShellPackager& packager);

}  // namespace ostrel::shell
