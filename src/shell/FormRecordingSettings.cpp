#include "shell/FormRecordingSettings.h"

#include <QLineEdit>
#include <QPlainTextEdit>

#include "recording/FrameRate.h"
#include "shell/MainWindowForm.h"

namespace ostrel::shell {

namespace {

std::string utf8(const QString& text) { return text.toStdString(); }

}  // namespace

recording::RecordingSettings recordingSettingsFrom(const MainWindowForm& form) {
  recording::RecordingSettings settings;
  settings.frameRate = recording::leadingInteger(utf8(form.frameRate->text()));
  settings.overlayX = utf8(form.overlayX->text());
  settings.overlayY = utf8(form.overlayY->text());
  settings.overlayText = utf8(form.overlayText->toPlainText());
  return settings;
}

std::filesystem::path cacheFolderFrom(const MainWindowForm& form) { return utf8(form.cacheFolder->text()); }

std::filesystem::path saveFolderFrom(const MainWindowForm& form) { return utf8(form.saveFolder->text()); }

JournalPlan journalPlanFrom(const MainWindowForm& form, int compressionKind) {
  JournalPlan plan;
  plan.cacheFolder = cacheFolderFrom(form);
  plan.description.fileName = utf8(form.fileName->text());
  plan.description.saveFolder = saveFolderFrom(form);
  plan.description.settings = recordingSettingsFrom(form);
  plan.description.compressionKind = compressionKind;
  return plan;
}

}  // namespace ostrel::shell
