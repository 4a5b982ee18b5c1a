#pragma once

#include "recording/RecordingPorts.h"

namespace ostrel::shell {

class MainWindow;
class RecordingEngine;

// The package step as the desktop shows it: the packing window with its
// progress, the fresh preview picture, the size message and the next name.
class ShellPackager : public recording::RecordingPackager {
 public:
  ShellPackager(MainWindow& window, RecordingEngine& engine);
  void PackageRecording() override;

 private:
  MainWindow& window_;
  RecordingEngine& engine_;
};

}  // namespace ostrel::shell
