#include "shell/CommonDialogs.h"

#include <QFileDialog>

#include "shell/FileDialogFilter.h"

namespace ostrel::shell {

void CommonDialogs::SetupFileDialog(const QString& filterText, int filterIndex, const QString& startFolder,
                                    const QString& defaultExtension) {
  nameFilters_ = nameFiltersFromText(filterText);
  filterNumber_ = filterNumberForIndex(filterIndex);
  startFolder_ = startFolder;
  defaultExtension_ = defaultExtension;
}

bool CommonDialogs::ShowFileDialog(QWidget* owner, Mode mode, QString& path, const QString& title) {
  QFileDialog dialog(owner, title);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  if (mode == Mode::Open) {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);  // the save dialog asks before replacing
  }
  if (!nameFilters_.isEmpty()) {
    dialog.setNameFilters(nameFilters_);
    if (filterNumber_ <= nameFilters_.size()) dialog.selectNameFilter(nameFilters_[filterNumber_ - 1]);
  }
  if (!startFolder_.isEmpty()) dialog.setDirectory(startFolder_);
  if (!defaultExtension_.isEmpty()) dialog.setDefaultSuffix(defaultExtension_);
  if (!path.isEmpty()) dialog.selectFile(path);

  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  path = dialog.selectedFiles().first();
  return true;
}

QString CommonDialogs::BrowseForFolder(QString* title, const QString& startFolder) {
  QString caption = title && !title->isEmpty() ? *title : QStringLiteral("请选择一个文件夹");
  if (title && title->isEmpty()) *title = caption;
  const QString chosen = QFileDialog::getExistingDirectory(
      nullptr, caption, startFolder, QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  return withoutTrailingSlash(chosen.trimmed());
}

QString withoutTrailingSlash(const QString& folder) {
  QString result = folder;
  while (result.size() > 1 && result.endsWith(QChar(u'/'))) result.chop(1);
  return result;
}

}  // namespace ostrel::shell
