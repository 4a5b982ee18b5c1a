#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/PlaybackCommands.h"
#include "codec/StreamFormat.h"
#include "platform/image/ImageCodec.h"
#include "platform/zip/ZipWriter.h"

namespace ostrel::cli {
namespace {

namespace fs = std::filesystem;

// A 32-bit bitmap region of one colour, laid out as the recorder writes it.
std::vector<uint8_t> solidBmp(int width, int height, uint8_t blue, uint8_t green, uint8_t red) {
  std::vector<uint8_t> out(54, 0);
  const auto put32 = [&](std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
  };
  out[0] = 'B', out[1] = 'M';
  put32(2, static_cast<uint32_t>(width * height * 4));  // pixel bytes only, as the recorder does
  put32(10, 54), put32(14, 40), put32(18, static_cast<uint32_t>(width)),
      put32(22, static_cast<uint32_t>(height));
  out[26] = 1, out[28] = 32;
  for (int i = 0; i < width * height; ++i) out.insert(out.end(), {blue, green, red, 0});
  return out;
}

class PlaybackCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "ostrel-cli-test-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
    fs::create_directories(root_ / "tmp");
    oldTmp_ = getenv("TMPDIR") ? getenv("TMPDIR") : "";
    setenv("TMPDIR", (root_ / "tmp").c_str(), 1);  // so the test sees every scratch folder
  }
  void TearDown() override {
    if (oldTmp_.empty())
      unsetenv("TMPDIR");
    else
      setenv("TMPDIR", oldTmp_.c_str(), 1);
    fs::remove_all(root_);
  }

  void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  // Frame 1: a red 4 × 2 block at (0, 0) with a blue 2 × 2 block over its right
  // half; frame 2: nothing changed; frame 3: a green pixel at (5, 3).
  fs::path recording(const std::string& name = "a.b.ORec", std::vector<platform::ZipMemberSource> extra = {},
                     bool withData = true) {
    std::vector<uint8_t> stream;
    const auto separator = [&] {
      stream.insert(stream.end(), codec::FRAME_SEPARATOR.begin(), codec::FRAME_SEPARATOR.end());
    };
    codec::appendRegionRecord(stream, 0, 0, solidBmp(4, 2, 0, 0, 255));
    codec::appendRegionRecord(stream, 2, 0, solidBmp(2, 2, 255, 0, 0));
    separator();
    separator();
    codec::appendRegionRecord(stream, 5, 3, solidBmp(1, 1, 0, 255, 0));
    separator();
    writeFile(root_ / "录制文件Temp", stream);
    const std::string config = "[\xCA\xD3\xC6\xB5\xC9\xE8\xD6\xC3]\r\n\xD6\xDC\xC6\xDA=125\r\n";
    writeFile(root_ / "Config", {config.begin(), config.end()});
    std::vector<platform::ZipMemberSource> members = {{"Config", root_ / "Config"}};
    if (withData) members.insert(members.begin(), {"录制文件Temp", root_ / "录制文件Temp"});
    members.insert(members.end(), extra.begin(), extra.end());
    const fs::path archive = root_ / name;
    EXPECT_TRUE(platform::writeZipArchive(archive, members).ok);
    return archive;
  }

  struct Run {
    int status;
    std::string out, err;
  };
  Run run(std::vector<std::string> words) {
    std::vector<char*> args;
    for (auto& word : words) args.push_back(word.data());
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const int status = words[0] == "info" ? runInfo(args) : runExport(args);
    std::string out = ::testing::internal::GetCapturedStdout();
    return {status, std::move(out), ::testing::internal::GetCapturedStderr()};
  }

  std::vector<uint8_t> pixelAt(const platform::DecodedImage& image, int x, int y) {
    const auto* p = &image.bgrx[(static_cast<std::size_t>(y) * image.width + x) * 4];
    return {p[0], p[1], p[2]};
  }

  platform::DecodedImage readPng(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
    auto image = platform::decodeImage(bytes);
    EXPECT_TRUE(image.has_value()) << path;
    return image.value_or(platform::DecodedImage{});
  }

  bool scratchLeftEmpty() { return fs::is_empty(root_ / "tmp"); }

  fs::path root_;
  std::string oldTmp_;
};

TEST_F(PlaybackCommandsTest, InfoReportsTheRecording) {
  const fs::path file = recording();
  const Run text = run({"info", file.string()});
  EXPECT_EQ(text.status, 0) << text.err;
  for (const char* expected :
       {"录制文件Temp", "Config", "125 ms", "frames:    3 (1 empty)", "bmp 3", "6x4", "0.375 s"})
    EXPECT_NE(text.out.find(expected), std::string::npos) << expected << " in\n" << text.out;

  const Run json = run({"info", file.string(), "--json"});
  EXPECT_EQ(json.status, 0);
  for (const char* expected :
       {"\"framePeriod\":125", "\"frames\":3", "\"emptyFrames\":1", "\"bmp\":3", "\"width\":6",
        "\"height\":4", "\"durationMs\":375", "\"name\":\"录制文件Temp\""})
    EXPECT_NE(json.out.find(expected), std::string::npos) << expected << " in\n" << json.out;
  EXPECT_TRUE(scratchLeftEmpty());
}

TEST_F(PlaybackCommandsTest, ExportWritesTheBackBufferAfterAFrame) {
  const fs::path file = recording();
  const fs::path first = root_ / "first.png";
  ASSERT_EQ(run({"export", file.string(), "--frame", "1", "--out", first.string()}).status, 0);
  const auto picture = readPng(first);
  ASSERT_EQ(picture.width, 6);  // the bounding size of all regions
  ASSERT_EQ(picture.height, 4);
  const std::vector<uint8_t> red = {0, 0, 255}, blue = {255, 0, 0}, black = {0, 0, 0}, green = {0, 255, 0};
  EXPECT_EQ(pixelAt(picture, 1, 1), red);
  EXPECT_EQ(pixelAt(picture, 2, 0), blue) << "the later region wins";
  EXPECT_EQ(pixelAt(picture, 5, 3), black);

  const fs::path last = root_ / "last.png";
  ASSERT_EQ(run({"export", file.string(), "--size", "8x8", "--out", last.string()}).status, 0);
  const auto lastPicture = readPng(last);
  EXPECT_EQ(lastPicture.width, 8);
  EXPECT_EQ(pixelAt(lastPicture, 5, 3), green);
  EXPECT_EQ(pixelAt(lastPicture, 3, 1), blue);

  const fs::path sequence = root_ / "frames";
  ASSERT_EQ(run({"export", file.string(), "--all", "--out", sequence.string()}).status, 0);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(sequence))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"frame-000001.png", "frame-000002.png", "frame-000003.png"}));
  EXPECT_EQ(pixelAt(readPng(sequence / "frame-000002.png"), 5, 3), black);
  EXPECT_EQ(pixelAt(readPng(sequence / "frame-000003.png"), 5, 3), green);
  EXPECT_TRUE(scratchLeftEmpty());
}

TEST_F(PlaybackCommandsTest, BadInputFailsClearlyAndWritesNothing) {
  writeFile(root_ / "notes.txt", {'h', 'e', 'l', 'l', 'o'});
  writeFile(root_ / "evil", {'x'});
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int status;
    const char* mentions;
  };
  const fs::path good = recording();
  const fs::path out = root_ / "out.png";
  const std::vector<Case> cases = {
      {"not a ZIP", {"export", (root_ / "notes.txt").string(), "--out", out.string()}, 1, "not a recording"},
      {"missing file", {"info", (root_ / "none.ORec").string()}, 1, "none.ORec"},
      {"frame past the end", {"export", good.string(), "--frame", "4", "--out", out.string()}, 1, "3 frames"},
      {"frame and all",
       {"export", good.string(), "--frame", "1", "--all", "--out", out.string()},
       2,
       "exclude"},
      {"no out", {"export", good.string()}, 2, "--out"},
      {"bad size", {"export", good.string(), "--size", "0x5", "--out", out.string()}, 2, "--size"},
      {"no data member", {"info", recording("nodata.ORec", {}, false).string()}, 1, "录制文件Temp"},
      {"member leaving its folder",
       {"info", recording("evil.ORec", {{"../escaped", root_ / "evil"}}).string()},
       1,
       "leaves"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const Run result = run(test.args);
    EXPECT_EQ(result.status, test.status);
    EXPECT_NE(result.err.find(test.mentions), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(root_ / "escaped"));
    EXPECT_TRUE(scratchLeftEmpty());
  }
}

}  // namespace
}  // namespace ostrel::cli
