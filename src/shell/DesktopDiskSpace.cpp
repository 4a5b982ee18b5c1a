#include "shell/DesktopDiskSpace.h"

#include <QLineEdit>

#include "shell/MainWindow.h"
#include "shell/RecordingEngine.h"

namespace ostrel::shell {

DesktopDiskSpace::DesktopDiskSpace(MainWindow& window, RecordingEngine& engine)
    : window_(window), engine_(engine) {}

std::optional<std::string> DesktopDiskSpace::shortage() {
  const MainWindowForm& form = window_.form();
  const codec::RecordingStream& stream = engine_.stream();
  return guard_.shortage(recording::RecordingFolders(form.cacheFolder->text().toStdString(),
                                                     form.saveFolder->text().toStdString(), stream.size(),
                                                     stream.residentBytes()));
}

}  // namespace ostrel::shell
