#include "cli/ConsolePackagingView.h"

#include <unistd.h>

#include <string>

namespace ostrel::cli {

ConsolePackagingView::ConsolePackagingView(std::FILE* progress)
    : progress_(progress), terminal_(::isatty(fileno(progress)) == 1) {}

void ConsolePackagingView::endProgressLine() {
  if (progressShown_) std::fputc('\n', progress_);
  progressShown_ = false;
}

void ConsolePackagingView::setHint(std::string_view text) {
  endProgressLine();
  std::fprintf(progress_, "%.*s\n", static_cast<int>(text.size()), text.data());
}

void ConsolePackagingView::setProgress(int position) {
  if (!terminal_) return;
  if (position < 20) return;
  std::fprintf(progress_, "\r  %3d%%", position - 20);
  progressShown_ = true;
  std::fflush(progress_);
}

void ConsolePackagingView::showResult(const recording::PackageResult& result) {
  endProgressLine();
  if (result.ok) {
    std::printf("%s\n%s\n", result.recordingFile.c_str(), result.message.c_str());
    std::fflush(stdout);
  } else {
    std::fprintf(stderr, "%s: %s\n", result.caption.c_str(), result.message.c_str());
  }
}

}  // namespace ostrel::cli
