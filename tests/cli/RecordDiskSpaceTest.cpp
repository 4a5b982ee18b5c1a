// `ostrel record` on a disk that runs out of room: it will not start on a
// short disk, and a running recording stops by itself and keeps what it has.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "support/CommandOutput.h"
#include "support/OstrelProcess.h"
#include "support/ScratchFolder.h"

namespace ostrel {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t MB = uint64_t{1} << 20;

// Replaces the figure at once, so the recorder never reads half a number.
void reportFree(const fs::path& file, uint64_t bytes) {
  testing::writeFileBytes(file.string() + ".new", std::to_string(bytes));
  fs::rename(file.string() + ".new", file);
}

struct RecorderRun {
  int exitStatus = -1;
  std::string output;
};

// Records the fake screen at 10 frames per second for at most 30 seconds.
RecorderRun record(const testing::ScratchFolder& folder, const fs::path& freeFile) {
  const std::string command = "cd '" + folder.path().string() +
                              "' && OSTREL_SCREEN=fake:320x240 OSTREL_FREE_SPACE_FILE='" + freeFile.string() +
                              "' XDG_CACHE_HOME='" + (folder / "cache").string() + "' timeout 60 '" +
                              testing::ostrelProgram() + "' record --out clip.ORec --seconds 30 --fps 10";
  RecorderRun run;
  int status = 0;
  run.output = testing::commandOutput(command, &status);
  run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

long long framesIn(const fs::path& recording) {
  const std::string json =
      testing::commandOutput("'" + testing::ostrelProgram() + "' info --json '" + recording.string() + "'");
  const std::size_t at = json.find("\"frames\":");
  return at == std::string::npos ? -1 : std::stoll(json.substr(at + 9));
}

TEST(RecordDiskSpace, AShortDiskRefusesTheStartAndStopsARunningRecordingWithWhatItHas) {
  testing::ScratchFolder folder;
  const fs::path freeFile = folder / "free-bytes";

  reportFree(freeFile, 120 * MB);
  const RecorderRun refused = record(folder, freeFile);
  EXPECT_EQ(refused.exitStatus, 1) << refused.output;
  EXPECT_NE(refused.output.find("无法开始录制：缓存文件夹"), std::string::npos) << refused.output;
  EXPECT_NE(refused.output.find("只剩 120 MB 可用空间，至少需要 200 MB"), std::string::npos)
      << refused.output;
  EXPECT_FALSE(fs::exists(folder / "clip.ORec"));

  reportFree(freeFile, 4096 * MB);
  std::thread lowerSoon([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    reportFree(freeFile, 150 * MB);
  });
  const auto started = std::chrono::steady_clock::now();
  const RecorderRun stopped = record(folder, freeFile);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  lowerSoon.join();

  EXPECT_EQ(stopped.exitStatus, 3) << stopped.output;
  EXPECT_LT(seconds, 20.0) << "it stopped by itself, long before the 30 seconds asked for";
  EXPECT_NE(stopped.output.find("录制已自动停止：缓存文件夹"), std::string::npos) << stopped.output;
  EXPECT_NE(stopped.output.find("只剩 150 MB 可用空间"), std::string::npos) << stopped.output;
  EXPECT_NE(stopped.output.find("生成Orec完毕"), std::string::npos) << stopped.output;
  // About 1.2 seconds at 10 frames per second, then up to a second until the next check.
  const long long frames = framesIn(folder / "clip.ORec");
  EXPECT_GE(frames, 10) << stopped.output;
  EXPECT_LE(frames, 30) << stopped.output;
}

}  // namespace
}  // namespace ostrel
