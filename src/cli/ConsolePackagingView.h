#pragma once

#include <cstdio>

#include "recording/PackageRecording.h"

namespace ostrel::cli {

// Packing progress on a terminal: hints as lines, the position redrawn in
// place when stderr is a terminal, the closing message on stdout.
class ConsolePackagingView : public recording::PackagingView {
 public:
  explicit ConsolePackagingView(std::FILE* progress = stderr);
  void setHint(std::string_view text) override;
  void setProgress(int position) override;
  void showResult(const recording::PackageResult& result) override;

 private:
  void endProgressLine();

  std::FILE* progress_;
  bool terminal_;
  bool progressShown_ = false;
};

}  // namespace ostrel::cli
