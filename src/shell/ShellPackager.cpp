#include "shell/ShellPackager.h"

#include <QLineEdit>
#include <QMessageBox>

#include "shell/DesktopDiskSpace.h"
#include "shell/FormRecordingSettings.h"
#include "shell/MainWindow.h"
#include "shell/PackingWindow.h"
#include "shell/PreviewCanvas.h"
#include "shell/RecordingEngine.h"
#include "shell/ScreenPicture.h"

namespace ostrel::shell {

namespace {

QString fromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string utf8(const QString& text) { return text.toStdString(); }

}  // namespace

ShellPackager::ShellPackager(MainWindow& window, RecordingEngine& engine, const DesktopDiskSpace& diskSpace)
    : window_(window), engine_(engine), diskSpace_(diskSpace) {}

ShellPackager::~ShellPackager() = default;

void ShellPackager::PackageRecording() {
  packing_ = std::make_unique<PackingWindow>(&window_);
  packing_->show();

  // The settings are read from the form at this moment, as the user left them.
  const MainWindowForm& form = window_.form();
  recording::PackageRequest request;
  request.cacheFolder = cacheFolderFrom(form);
  request.saveFolder = saveFolderFrom(form);
  request.fileName = utf8(form.fileName->text());
  request.settings = recordingSettingsFrom(form);
  request.closeGrabber = [this] { engine_.Close(); };
  request.freeSpace = diskSpace_.probe();
  request.saveSound = [this](const std::filesystem::path& path) {
    recording::SoundRecorder& sound = engine_.soundRecorder();
    if (!sound.IsRecording()) return false;
    sound.Stop();
    return sound.SaveToFile(path, true);
  };

  recording::PackageRecording(engine_.stream(), request, *this);
  packing_.reset();
}

recording::PackageResult ShellPackager::RecoverJournal(const recording::UnfinishedJournal& journal) {
  packing_ = std::make_unique<PackingWindow>(&window_);
  packing_->show();
  const recording::PackageResult result =
      recording::RecoverJournal(journal, saveFolderFrom(window_.form()), *this);
  packing_.reset();
  return result;
}

void ShellPackager::setHint(std::string_view text) {
  if (packing_) packing_->setHint(fromUtf8(text));
}

void ShellPackager::setProgress(int position) {
  if (packing_) packing_->setProgress(position);
}

void ShellPackager::refreshPreview() {
  window_.form().previewCanvas->setBackgroundPicture(CaptureScreenPicture());
}

void ShellPackager::showResult(const recording::PackageResult& result) {
  const QString caption = fromUtf8(result.caption);
  const QString message = fromUtf8(result.message);
  if (result.ok)
    QMessageBox::information(&window_, caption, message);
  else
    QMessageBox::warning(&window_, caption, message);
  if (!result.nextFileName.empty()) window_.form().fileName->setText(fromUtf8(result.nextFileName));
}

}  // namespace ostrel::shell
