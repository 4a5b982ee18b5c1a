#pragma once

#include <optional>
#include <string>

#include "recording/DiskSpaceGuard.h"
#include "recording/RecordingPorts.h"

namespace ostrel::shell {

class MainWindow;
class RecordingEngine;

// The free-space watch of the desktop recorder. The cache and save folders
// are read from the form at each check, as the package step reads them.
class DesktopDiskSpace : public recording::DiskSpaceMonitor {
 public:
  DesktopDiskSpace(MainWindow& window, RecordingEngine& engine);

  std::optional<std::string> shortage() override;

  // The probe the watch and the package step ask; empty puts the platform's back.
  void setProbe(recording::FreeSpaceProbe probe) { guard_ = recording::DiskSpaceGuard(std::move(probe)); }
  const recording::FreeSpaceProbe& probe() const { return guard_.probe(); }

 private:
  MainWindow& window_;
  RecordingEngine& engine_;
  recording::DiskSpaceGuard guard_;
};

}  // namespace ostrel::shell
