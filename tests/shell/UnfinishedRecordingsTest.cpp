#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>
#include <string>

#include "codec/RecordingStream.h"
#include "codec/StreamFormat.h"
#include "platform/zip/ZipReader.h"
#include "recording/PackageRecording.h"
#include "recording/RecordingJournal.h"
#include "shell/DesktopProgram.h"
#include "shell/MainWindow.h"
#include "shell/ShellTestEnvironment.h"
#include "shell/UnfinishedRecordings.h"

namespace ostrel::shell {
namespace {

namespace fs = std::filesystem;
using test::application;

QString u8(const char* text) { return QString::fromUtf8(text); }

// A recording killed after three whole frames and part of a fourth.
fs::path leaveUnfinishedJournal(const fs::path& cache, const fs::path& save) {
  codec::RecordingStream stream;
  recording::JournalDescription description;
  description.fileName = "录像7";
  description.saveFolder = save;
  description.settings.frameRate = 5;
  description.startTime = 1'700'000'000;
  fs::create_directories(cache);
  const recording::JournalStart started = recording::BeginJournal(stream, cache, description);
  EXPECT_TRUE(started.ok) << started.error;
  const std::string frame = "frame bytes";
  for (int i = 0; i < 3; ++i) {
    stream.append({reinterpret_cast<const uint8_t*>(frame.data()), frame.size()});
    stream.append(codec::FRAME_SEPARATOR);
  }
  stream.append({reinterpret_cast<const uint8_t*>(frame.data()), 4});
  return started.journal;  // the stream lets go of it, as a killed program would
}

// Answers the recovery question with `choice`, confirms a discard, and
// accepts any other message box, noting its caption.
struct RecoveryUser {
  QTimer timer;
  QString question;
  QString lastCaption;

  explicit RecoveryUser(const char* choice) {
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout, [this, choice] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      if (box->windowTitle() == u8(kRecoveryCaption)) {
        for (QAbstractButton* button : box->buttons()) {
          if (button->text() == u8(choice)) {
            question = box->text();
            button->click();
            return;
          }
        }
        box->button(QMessageBox::Yes)->click();  // the second question of a discard
        return;
      }
      lastCaption = box->windowTitle();
      box->accept();
    });
    timer.start();
  }
};

struct Case {
  const char* name;
  const char* choice;
  bool journalStays;
  bool recordingWritten;
};

class UnfinishedRecordingsAtStart : public ::testing::TestWithParam<Case> {};

TEST_P(UnfinishedRecordingsAtStart, AreOfferedAndHandledAsChosen) {
  const Case c = GetParam();
  const fs::path folder = test::temporaryFolder().toStdString();
  const fs::path cache = folder / "TempFiles";
  const fs::path save = folder / "SaveFiles";
  const fs::path journal = leaveUnfinishedJournal(cache, save);

  DesktopProgram program(application());
  RecoveryUser user(c.choice);
  program.start();
  MainWindowForm& form = program.mainWindow().form();
  form.cacheFolder->setText(QString::fromStdString(cache.string()) + u8("/"));
  form.saveFolder->setText(QString::fromStdString(save.string()) + u8("/"));
  ASSERT_TRUE(test::waitUntil([&] { return !user.question.isEmpty(); }, 10000));
  EXPECT_TRUE(user.question.contains(u8("录像7")) && user.question.contains(u8("完整的帧:3")))
      << user.question.toStdString();
  test::waitUntil(
      [&] {
        return fs::exists(journal) == c.journalStays && QApplication::activeModalWidget() == nullptr &&
               user.lastCaption.isEmpty() != c.recordingWritten;
      },
      10000);

  EXPECT_EQ(fs::exists(journal), c.journalStays);
  const fs::path recordingFile = save / "录像7.ORec";
  ASSERT_EQ(fs::exists(recordingFile), c.recordingWritten);
  if (!c.recordingWritten) return;
  EXPECT_EQ(user.lastCaption, u8("生成完毕"));
  std::string data;
  ASSERT_TRUE(
      platform::readZipMember(recordingFile, recording::kDataMemberName, [&](std::span<const uint8_t> b) {
        data.append(reinterpret_cast<const char*>(b.data()), b.size());
        return true;
      }));
  const std::string separator(codec::FRAME_SEPARATOR.begin(), codec::FRAME_SEPARATOR.end());
  std::string wholeFrames;
  for (int i = 0; i < 3; ++i) wholeFrames += "frame bytes" + separator;
  EXPECT_EQ(data, wholeFrames) << "three whole frames, the cut one dropped";
}

INSTANTIATE_TEST_SUITE_P(Choices, UnfinishedRecordingsAtStart,
                         ::testing::Values(Case{"Save", kRecoverySave, false, true},
                                           Case{"Discard", kRecoveryDiscard, false, false},
                                           Case{"Later", kRecoveryLater, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ostrel::shell
