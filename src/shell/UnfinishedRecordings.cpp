#include "shell/UnfinishedRecordings.h"

#include <QDateTime>
#include <QMessageBox>
#include <QPushButton>

#include "recording/PackageRecording.h"
#include "shell/FormRecordingSettings.h"
#include "shell/MainWindow.h"
#include "shell/ShellPackager.h"

namespace ostrel::shell {

namespace {

enum class Choice { Save, Discard, Later };

Choice ask(QWidget* owner, const recording::UnfinishedJournal& journal) {
  QMessageBox box(QMessageBox::Question, QString::fromUtf8(kRecoveryCaption),
                  describeUnfinishedRecording(journal), QMessageBox::NoButton, owner);
  QPushButton* save = box.addButton(QString::fromUtf8(kRecoverySave), QMessageBox::AcceptRole);
  QPushButton* discard = box.addButton(QString::fromUtf8(kRecoveryDiscard), QMessageBox::DestructiveRole);
  QPushButton* later = box.addButton(QString::fromUtf8(kRecoveryLater), QMessageBox::RejectRole);
  box.setDefaultButton(save);
  box.setEscapeButton(later);
  box.exec();
  if (box.clickedButton() == save) return Choice::Save;
  if (box.clickedButton() == discard) return Choice::Discard;
  return Choice::Later;
}

// Discarding cannot be undone, so it is asked once more.
bool confirmDiscard(QWidget* owner) {
  return QMessageBox::warning(owner, QString::fromUtf8(kRecoveryCaption),
                              QStringLiteral("丢弃后这次录制的数据将被删除,无法恢复。确定丢弃吗?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace

QString describeUnfinishedRecording(const recording::UnfinishedJournal& journal) {
  const recording::JournalDescription& d = journal.description;
  const QString started =
      d.startTime > 0
          ? QDateTime::fromSecsSinceEpoch(d.startTime).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
          : QStringLiteral("未知");
  const double seconds =
      static_cast<double>(journal.completeFrames) * recording::FramePeriodMs(d.settings.frameRate) / 1000.0;
  return QStringLiteral(
             "上次有一个录制没有完成,它的数据还在缓存文件夹中:\n\n"
             "文件名:%1\n开始时间:%2\n完整的帧:%3(约%4秒)\n大小:%5Kb\n\n"
             "把它保存为录制文件,还是丢弃?")
      .arg(QString::fromStdString(d.fileName), started)
      .arg(journal.completeFrames)
      .arg(seconds, 0, 'f', 1)
      .arg(QString::fromStdString(recording::FormatKilobytes(static_cast<int64_t>(journal.sizeBytes))));
}

UnfinishedRecordingsOffer::UnfinishedRecordingsOffer(MainWindow& window, ShellPackager& packager)
    : window_(window), packager_(packager) {}

UnfinishedRecordingsOffer::~UnfinishedRecordingsOffer() = default;

void UnfinishedRecordingsOffer::start() {
  if (search_.joinable()) return;
  std::vector<std::filesystem::path> folders;
  const std::filesystem::path cache = cacheFolderFrom(window_.form());
  if (cache.is_absolute()) folders.push_back(cache);
  search_ = std::jthread([this, folders = std::move(folders)] {
    std::vector<recording::UnfinishedJournal> found = recording::FindUnfinishedJournals(folders);
    if (found.empty()) return;
    // Queued to this object: dropped if it is gone by then.
    QMetaObject::invokeMethod(
        this, [this, found = std::move(found)] { offer(found); }, Qt::QueuedConnection);
  });
}

void UnfinishedRecordingsOffer::offer(const std::vector<recording::UnfinishedJournal>& journals) {
  MainWindow& window = window_;
  for (const recording::UnfinishedJournal& journal : journals) {
    switch (ask(&window, journal)) {
      case Choice::Save:
        packager_.RecoverJournal(journal);  // its result box tells how it went
        break;
      case Choice::Discard:
        if (confirmDiscard(&window) && !recording::DiscardJournal(journal.journal)) {
          QMessageBox::warning(
              &window, QString::fromUtf8(kRecoveryCaption),
              QStringLiteral("无法删除 %1").arg(QString::fromStdString(journal.journal.string())));
        }
        break;
      case Choice::Later:
        break;
    }
  }
}

}  // namespace ostrel::shell
