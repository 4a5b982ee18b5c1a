#pragma once

#include <QObject>
#include <QString>
#include <thread>
#include <vector>

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
class UnfinishedRecordingsOffer : public QObject {
 public:
  UnfinishedRecordingsOffer(MainWindow& window, ShellPackager& packager);
  // Waits for a search still running.
  ~UnfinishedRecordingsOffer() override;

  // Looks for them off the interface thread (counting the frames of a long
  // journal reads all of it), then asks about each one on the interface thread.
  void start();

 private:
  void offer(const std::vector<recording::UnfinishedJournal>& journals);

  MainWindow& window_;
  ShellPackager& packager_;
  std::jthread search_;
};

}  // namespace ostrel::shell
