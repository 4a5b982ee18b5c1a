// A recorder killed outright loses nothing it had recorded: `ostrel recover`
// packs its journal into a recording whose last frame is the screen.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "codec/StreamFormat.h"
#include "display/RecordedScene.h"
#include "platform/zip/ZipReader.h"
#include "support/CommandOutput.h"
#include "support/OstrelProcess.h"
#include "support/ScratchFolder.h"
#include "support/XvfbServer.h"

namespace ostrel {
namespace {

namespace fs = std::filesystem;

std::size_t countSeparators(const std::string& bytes) {
  const std::string separator(codec::FRAME_SEPARATOR.begin(), codec::FRAME_SEPARATOR.end());
  std::size_t count = 0;
  for (std::size_t at = bytes.find(separator); at != std::string::npos; at = bytes.find(separator, at + 1))
    ++count;
  return count;
}

std::vector<fs::path> journalsIn(const fs::path& folder) {
  std::vector<fs::path> found;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().string().ends_with(".ostrel-journal")) found.push_back(it->path());
  }
  return found;
}

TEST(RecoverAfterKill, ARecorderKilledMidRecordingIsRecoveredWithEveryJournalledFrame) {
  constexpr int kFps = 4;
  test::XvfbServer server({test::RecordedScene::kWidth, test::RecordedScene::kHeight});
  ASSERT_TRUE(server.running()) << server.error();
  test::RootPainter painter(server.display());
  ASSERT_TRUE(painter.connected());
  const std::vector<uint32_t> painted = test::RecordedScene::paint(painter, 64);

  testing::ScratchFolder folder;
  const fs::path home = folder / "home", journals = folder / "journals", saved = folder / "saved";
  int pipeFds[2];
  ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
  const auto started = std::chrono::steady_clock::now();
  const pid_t recorder =
      testing::startOstrel(server.display(), home,
                           {"record", "--out", (saved / "clip.ORec").string(), "--seconds", "60", "--fps",
                            std::to_string(kFps), "--cache", journals.string()},
                           pipeFds[1]);
  ::close(pipeFds[1]);
  // The recorder reports "frames N, ..." once a second; kill it just after a report past 3 s.
  FILE* log = fdopen(pipeFds[0], "r");
  ASSERT_NE(log, nullptr);
  long long reported = -1;
  char line[256];
  while (std::fgets(line, sizeof line, log)) {
    long long frames = 0;
    if (std::sscanf(line, "frames %lld", &frames) == 1 && frames >= 3 * kFps) {
      kill(recorder, SIGKILL);
      reported = frames;
      break;
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::fclose(log);
  ASSERT_EQ(testing::waitForExit(recorder), 128 + SIGKILL);
  ASSERT_GT(reported, 0) << "the recorder never reported its frames";
  EXPECT_FALSE(fs::exists(saved / "clip.ORec"));

  const std::vector<fs::path> left = journalsIn(journals);
  ASSERT_EQ(left.size(), 1u);
  const std::size_t journalled = countSeparators(testing::readFileBytes(left[0]));
  std::printf(
      "killed after %.2f s: recorder had reported %lld frames, the journal holds %zu, wall time x fps %.1f\n",
      seconds, reported, journalled, seconds * kFps);
  EXPECT_GE(journalled, static_cast<std::size_t>(reported));  // nothing appended is lost

  // The same private state and cache folders as the recorder had.
  const std::string recover = "XDG_STATE_HOME='" + (home / "state").string() + "' XDG_CACHE_HOME='" +
                              home.string() + "' " + testing::ostrelProgram() + " recover --cache '" +
                              journals.string() + "'";
  const std::string listing = testing::commandOutput(recover + " --list");
  EXPECT_NE(listing.find(std::to_string(journalled) + " frames"), std::string::npos) << listing;
  ASSERT_EQ(testing::runOstrel(server.display(), home,
                               {"recover", "--cache", journals.string(), "--out", saved.string()}),
            0);
  ASSERT_TRUE(fs::exists(saved / "clip.ORec"));
  EXPECT_TRUE(journalsIn(journals).empty());

  const platform::UnzipResult unpacked = platform::unpackZipArchive(saved / "clip.ORec", folder / "play");
  ASSERT_TRUE(unpacked.ok) << unpacked.error;
  EXPECT_EQ(countSeparators(testing::readFileBytes(folder / "play" / "录制文件Temp")), journalled);
  EXPECT_NE(testing::readFileBytes(folder / "play" / "Config").find("=250"), std::string::npos);

  const fs::path picture = folder / "last.png";
  ASSERT_EQ(testing::runOstrel(
                server.display(), home,
                {"export", (saved / "clip.ORec").string(), "--size", "320x240", "--out", picture.string()}),
            0);
  const test::PictureDifference difference = test::compareWithScene(picture, painted);
  ASSERT_EQ(difference.error, "");
  EXPECT_EQ(difference.differing, 0);

  // Nothing is left to offer afterwards.
  EXPECT_NE(testing::commandOutput(recover).find("nothing to recover"), std::string::npos);
}

}  // namespace
}  // namespace ostrel
