#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace ostrel::shell {

// The file and folder dialogs the program uses, over the toolkit's dialogs.
// A cancelled dialog changes nothing the caller holds.
class CommonDialogs {
 public:
  enum class Mode { Open = 0, Save = 1 };

  // Filter text "description|pattern|...", filter index counted from 0 (0 or
  // less: the first), start folder, default extension without the dot.
  void SetupFileDialog(const QString& filterText = {}, int filterIndex = 0, const QString& startFolder = {},
                       const QString& defaultExtension = {});

  // Shows the open or save dialog; on a choice puts the path into `path` and
  // returns true. A save over an existing file asks first.
  bool ShowFileDialog(QWidget* owner, Mode mode, QString& path, const QString& title = {});

  // Lets the user choose a folder; the chosen path without a trailing slash
  // (except the root), or an empty text when cancelled. Without a title the
  // default one is used and written back.
  QString BrowseForFolder(QString* title = nullptr, const QString& startFolder = {});

  const QStringList& nameFilters() const { return nameFilters_; }
  int filterNumber() const { return filterNumber_; }

 private:
  QStringList nameFilters_;
  int filterNumber_ = 1;
  QString startFolder_;
  QString defaultExtension_;
};

// Removes trailing slashes from a chosen folder, keeping the root "/".
QString withoutTrailingSlash(const QString& folder);

}  // namespace ostrel::shell
