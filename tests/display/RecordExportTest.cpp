// What `ostrel record` records on a real X server, `ostrel export` gives back:
// exactly for PNG and BMP, within JPEG's loss.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "display/RecordedScene.h"
#include "support/OstrelProcess.h"
#include "support/ScratchFolder.h"
#include "support/XvfbServer.h"

namespace ostrel {
namespace {

namespace fs = std::filesystem;

using testing::runOstrel;

TEST(RecordExport, ExportOfARecordingEqualsTheRecordedScreen) {
  struct Case {
    const char* kind;
    int maximum;
    double mean;
  };
  for (const Case& test : {Case{"png", 0, 0.0}, Case{"bmp", 0, 0.0}, Case{"jpeg", 160, 3.0}}) {
    SCOPED_TRACE(test.kind);
    test::XvfbServer server({test::RecordedScene::kWidth, test::RecordedScene::kHeight});
    ASSERT_TRUE(server.running()) << server.error();
    test::RootPainter painter(server.display());
    ASSERT_TRUE(painter.connected());
    const std::vector<uint32_t> painted = test::RecordedScene::paint(painter, 128);

    testing::ScratchFolder folder;
    const fs::path recording = folder / "clip.ORec";
    ASSERT_EQ(runOstrel(server.display(), folder / "cache",
                        {"record", "--out", recording.string(), "--seconds", "2", "--fps", "10", "--kind",
                         test.kind}),
              0);
    const fs::path picture = folder / "last.png";
    ASSERT_EQ(runOstrel(server.display(), folder / "cache",
                        {"export", recording.string(), "--size", "320x240", "--out", picture.string()}),
              0);

    const test::PictureDifference difference = test::compareWithScene(picture, painted);
    ASSERT_EQ(difference.error, "");
    EXPECT_LE(difference.maximum, test.maximum);
    EXPECT_LE(difference.mean, test.mean) << "largest error " << difference.maximum;
  }
}

}  // namespace
}  // namespace ostrel
