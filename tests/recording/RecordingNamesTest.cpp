#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recording/RecordingNameCheck.h"
#include "recording/RecordingNames.h"
#include "support/ScratchFolder.h"

namespace ostrel::recording {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

TEST(NextFreeRecordingName, TakesTheFirstNumberWithoutARecordingFile) {
  struct Case {
    std::vector<std::string> files;
    std::vector<std::string> folders;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{}, {}, "录像1"},
      {{"录像1.ORec", "录像2.ORec"}, {}, "录像3"},
      {{"录像1.ORec", "录像3.ORec"}, {}, "录像2"},                            // a gap is reused
      {{"录像1.orec", "录像2.OREC", "录像3.Orec"}, {}, "录像4"},              // the extension in any case
      {{"录像01.ORec", "录像1.ORec.bak", "录像1"}, {"录像2.ORec"}, "录像1"},  // other names, folders
  };
  for (const auto& c : cases) {
    ScratchFolder folder;
    for (const auto& f : c.files) testing::writeFileBytes(folder / f, "x");
    for (const auto& d : c.folders) fs::create_directory(folder / d);
    EXPECT_EQ(NextFreeRecordingName(folder.path()), c.expected) << ::testing::PrintToString(c.files);
  }
  EXPECT_EQ(NextFreeRecordingName("/no/such/folder"), "录像1");
}

TEST(FolderRules, CreateFolderPathOnPosixPaths) {
  ScratchFolder root;
  testing::writeFileBytes(root / "file", "x");
  const std::string base = root.path().string();
  struct Case {
    std::string path;
    bool created;
  };
  const std::vector<Case> cases = {
      {base + "/a/b/c", true},  // level by level
      {base + "/a/b/c", true},  // present already
      {base + "/d/", true},     // a trailing separator adds no component
      {"TempFiles/a", false},   // relative
      {"", false},
      {"/", false},
      {base + "/x/../y", false},
      {base + "/x/./y", false},
      {base + "//y", false},      // empty component
      {base + "/file/y", false},  // a file in the way
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CreateFolderPath(c.path), c.created) << c.path;
  }
  EXPECT_TRUE(fs::is_directory(root / "a/b/c"));
  EXPECT_FALSE(fs::exists(root / "y"));
  EXPECT_FALSE(fs::exists(root / "x"));

  EXPECT_TRUE(FolderExists(base + "/a/b"));
  EXPECT_FALSE(FolderExists(base + "/a/b/"));  // empty last component
  EXPECT_FALSE(FolderExists(base + "/file"));
  EXPECT_FALSE(FolderExists(base + "/missing"));
}

TEST(FolderRules, FileNamesAreOnePlainComponent) {
  for (const char* good : {"录像1", "a.b", "..x", "with space"}) EXPECT_TRUE(IsPlainFileName(good)) << good;
  for (const char* bad : {"", ".", "..", "../x", "a/b", "/abs"}) EXPECT_FALSE(IsPlainFileName(bad)) << bad;
  EXPECT_FALSE(IsPlainFileName(std::string("a\0b", 3)));
}

class FakeNameView : public RecordingNameView {
 public:
  std::string folder, name;
  bool answer = false;
  std::vector<std::string> shown;
  std::string saveFolderText() override { return folder; }
  std::string fileNameText() override { return name; }
  void setFileNameText(const std::string& n) override { name = n; }
  void showInformation(std::string_view text, std::string_view caption) override {
    shown.push_back(std::string(caption) + ":" + std::string(text));
  }
  bool askYesNo(std::string_view text, std::string_view caption) override {
    shown.push_back(std::string(caption) + "?" + std::string(text));
    return answer;
  }
};

TEST(RecordingNameCheck, AnswersAndProposesTheNextFreeName) {
  ScratchFolder save;
  testing::writeFileBytes(save / "录像1.orec", "x");
  struct Case {
    std::string name;
    bool answer;
    std::string shown;
    std::string nameAfter;
  };
  const std::vector<Case> cases = {
      {"录像2", false, "提示:文件未存在，可以录制！", "录像2"},
      {"录像1", true, "提示?文件已存在,是否更新最新文件名？", "录像2"},
      {"录像1", false, "提示?文件已存在,是否更新最新文件名？", "录像1"},
      {"../录像1", true, "提示:" + std::string(kNameInvalidText), "../录像1"},
  };
  for (const auto& c : cases) {
    FakeNameView view;
    view.folder = save.path().string();
    view.name = c.name;
    view.answer = c.answer;
    CheckRecordingName(view);
    EXPECT_EQ(view.shown, std::vector<std::string>{c.shown}) << c.name;
    EXPECT_EQ(view.name, c.nameAfter);
  }
}

}  // namespace
}  // namespace ostrel::recording
