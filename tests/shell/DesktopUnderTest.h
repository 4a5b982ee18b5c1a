#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

#include "shell/DesktopProgram.h"
#include "shell/MainWindow.h"

namespace ostrel::shell::test {

// Answers every message box as it opens, noting each one's caption and text.
// `answer` may click a button of its own and return true; otherwise the box
// is accepted.
struct MessageBoxWatcher {
  QTimer timer;
  QString text;
  QString caption;
  QStringList captions;  // every box answered, in turn
  QStringList texts;
  bool packingWindowWasOpen = false;

  explicit MessageBoxWatcher(std::function<bool(QMessageBox&)> answer = {});
};

// The desktop program started on the test's X server, its cache and save
// folders ("TempFiles", "SaveFiles") in a private folder, the file name 录像1.
struct DesktopUnderTest {
  QString folder;
  DesktopProgram program;
  MainWindow& window;
  MainMenus& menus;

  DesktopUnderTest();
  QString cacheFolder() const { return folder + QStringLiteral("/TempFiles/"); }
  QString saveFolder() const { return folder + QStringLiteral("/SaveFiles/"); }
  QString saved(const char* name) const { return saveFolder() + QString::fromUtf8(name); }
};

}  // namespace ostrel::shell::test
