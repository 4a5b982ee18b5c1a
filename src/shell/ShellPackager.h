#pragma once

#include <memory>

#include "recording/PackageRecording.h"
#include "recording/RecordingJournal.h"
#include "recording/RecordingPorts.h"

namespace ostrel::shell {

class DesktopDiskSpace;
class MainWindow;
class PackingWindow;
class RecordingEngine;

// The package step as the desktop shows it: the packing window with its
// progress, the fresh preview picture, the closing message and the next name.
class ShellPackager : public recording::RecordingPackager, private recording::PackagingView {
 public:
  ShellPackager(MainWindow& window, RecordingEngine& engine, const DesktopDiskSpace& diskSpace);
  ~ShellPackager() override;

  void PackageRecording() override;
  // Packs a journal left by a recording that never finished into the save
  // folder of the form, with the same windows as after a recording.
  recording::PackageResult RecoverJournal(const recording::UnfinishedJournal& journal);

  // The packing window while a package step runs, else null.
  PackingWindow* packingWindow() const { return packing_.get(); }

 private:
  void setHint(std::string_view text) override;
  void setProgress(int position) override;
  void refreshPreview() override;
  void showResult(const recording::PackageResult& result) override;

  MainWindow& window_;
  RecordingEngine& engine_;
  const DesktopDiskSpace& diskSpace_;
  std::unique_ptr<PackingWindow> packing_;
};

}  // namespace ostrel::shell
