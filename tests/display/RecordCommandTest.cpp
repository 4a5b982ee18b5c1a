#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "display/RootPainter.h"
#include "support/CommandOutput.h"
#include "support/OstrelProcess.h"
#include "support/ScratchFolder.h"
#include "support/XvfbServer.h"

namespace ostrel {
namespace {

namespace fs = std::filesystem;

// Starts `ostrel record ...` on `display` with its cache in `cache`.
pid_t startRecorder(const std::string& display, const fs::path& cache, std::vector<std::string> options) {
  options.insert(options.begin(), "record");
  return testing::startOstrel(display, cache, std::move(options));
}

using testing::waitForExit;

// Checks the archive with Python's zipfile; prints member names, frame count and Config.
std::string inspect(const fs::path& archive) {
  const std::string command =
      "/usr/bin/python3 -c \"import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "assert z.testzip() is None\n"
      "names = [i.filename.encode('cp437').decode('gbk') for i in z.infolist()]\n"
      "data = z.read(z.infolist()[0])\n"
      "print(','.join(names), data.count(bytes.fromhex('0B16210B16216FDE4D0A')), "
      "z.read('Config').decode('gbk').replace(chr(13) + chr(10), '|'))\n\" '" +
      archive.string() + "'";
  return testing::commandOutput(command);
}

TEST(RecordCommand, RecordsTwoSecondsIntoAFileZipToolsRead) {
  test::XvfbServer server({320, 240});
  ASSERT_TRUE(server.running()) << server.error();
  test::RootPainter painter(server.display());
  ASSERT_TRUE(painter.connected());
  painter.paint([](int x, int y) { return test::RootPainter::Channels{uint32_t(x), uint32_t(y), 128}; });

  testing::ScratchFolder folder;
  const pid_t pid = startRecorder(server.display(), folder / "cache",
                                  {"--out", (folder / "clip.ORec").string(), "--seconds", "2", "--fps", "10",
                                   "--overlay-x", "10", "--overlay-y", "20", "--overlay-text", "演示"});
  ASSERT_EQ(waitForExit(pid), 0);
  ASSERT_TRUE(fs::exists(folder / "clip.ORec"));
  EXPECT_EQ(inspect(folder / "clip.ORec"),
            "录制文件Temp,Config 20 [视频设置]|周期=100|[自设信息]|X=10|Y=20|内容=演示|\n");
  // The cache keeps nothing of the recording.
  EXPECT_TRUE(fs::is_empty(folder / "cache" / "ostrel" / "TempFiles"));
}

TEST(RecordCommand, StopsEarlyOnSigintAndStillWrites) {
  test::XvfbServer server({320, 240});
  ASSERT_TRUE(server.running()) << server.error();
  testing::ScratchFolder folder;
  const pid_t pid = startRecorder(server.display(), folder / "cache",
                                  {"--out", (folder / "long.orec").string(), "--seconds", "600"});
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  kill(pid, SIGUSR1);  // pause and resume once on the way
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  kill(pid, SIGUSR1);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  kill(pid, SIGINT);
  ASSERT_EQ(waitForExit(pid), 0);
  const std::string summary = inspect(folder / "long.ORec");
  EXPECT_EQ(summary.rfind("录制文件Temp,Config ", 0), 0u) << summary;
}

}  // namespace
}  // namespace ostrel
