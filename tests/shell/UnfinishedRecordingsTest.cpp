#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <filesystem>
#include <string>

#include "codec/RecordingStream.h"
#include "codec/StreamFormat.h"
#include "platform/zip/ZipReader.h"
#include "recording/PackageRecording.h"
#include "recording/RecordingJournal.h"
#include "shell/DesktopUnderTest.h"
#include "shell/ShellTestEnvironment.h"
#include "shell/UnfinishedRecordings.h"

namespace ostrel::shell {
namespace {

namespace fs = std::filesystem;

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

// Answers the recovery question with `choice` and confirms a discard.
bool answerRecovery(QMessageBox& box, const char* choice, QString& question) {
  if (box.windowTitle() != u8(kRecoveryCaption)) return false;
  for (QAbstractButton* button : box.buttons()) {
    if (button->text() == u8(choice)) {
      question = box.text();
      button->click();
      return true;
    }
  }
  box.button(QMessageBox::Yes)->click();  // the second question of a discard
  return true;
}

struct Case {
  const char* name;
  const char* choice;
  bool journalStays;
  bool recordingWritten;
};

class UnfinishedRecordingsAtStart : public ::testing::TestWithParam<Case> {};

TEST_P(UnfinishedRecordingsAtStart, AreOfferedAndHandledAsChosen) {
  const Case c = GetParam();
  test::DesktopUnderTest p;
  const fs::path cache = p.cacheFolder().toStdString();
  const fs::path save = p.saveFolder().toStdString();
  // Left before the program's first look, which comes once events are handled.
  const fs::path journal = leaveUnfinishedJournal(cache, save);
  QString question;
  test::MessageBoxWatcher user([&](QMessageBox& box) { return answerRecovery(box, c.choice, question); });
  ASSERT_TRUE(test::waitUntil([&] { return !question.isEmpty(); }, 10000));
  EXPECT_TRUE(question.contains(u8("录像7")) && question.contains(u8("完整的帧:3")))
      << question.toStdString();
  test::waitUntil(
      [&] {
        return fs::exists(journal) == c.journalStays && QApplication::activeModalWidget() == nullptr &&
               user.captions.contains(u8("生成完毕")) == c.recordingWritten;
      },
      10000);

  EXPECT_EQ(fs::exists(journal), c.journalStays);
  const fs::path recordingFile = save / "录像7.ORec";
  ASSERT_EQ(fs::exists(recordingFile), c.recordingWritten);
  if (!c.recordingWritten) return;
  EXPECT_EQ(user.caption, u8("生成完毕"));
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
