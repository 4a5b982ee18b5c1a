// What a recording file's members may claim to be before anything is unpacked.
#include <gtest/gtest.h>

#include "platform/text/GbkText.h"
#include "platform/zip/ZipWriter.h"
#include "playback/PlaybackFixtures.h"
#include "playback/Player.h"
#include "playback/ZipRecordingUnpacker.h"
#include "support/ScratchFolder.h"

namespace ostrel::playback {
namespace {

namespace fs = std::filesystem;

// Rewrites the uncompressed size that the local and the central header state
// for the member `name`, as a hostile file would.
void claimSize(std::string& zip, const std::string& name, uint32_t size) {
  const std::string gbk = platform::utf8ToGbk(name);
  const std::pair<std::string, std::size_t> headers[] = {{std::string("PK\x03\x04", 4), 22},
                                                         {std::string("PK\x01\x02", 4), 24}};
  for (const auto& [signature, sizeField] : headers) {
    const std::size_t nameAt = sizeField == 22 ? 30 : 46;
    for (std::size_t at = zip.find(signature); at != std::string::npos; at = zip.find(signature, at + 1)) {
      if (zip.compare(at + nameAt, gbk.size(), gbk) != 0) continue;
      for (int i = 0; i < 4; ++i) zip[at + sizeField + i] = static_cast<char>(size >> (8 * i));
    }
  }
}

struct ClaimCase {
  const char* what;
  std::string member;  // the member whose size is overstated, or none
  uint32_t claimed;
  bool refused;
};

TEST(ZipRecordingUnpacker, RefusesMembersThatClaimAbsurdSizesBeforeWritingAnything) {
  testing::TempFolder folder;
  testing::writeFile(folder.path() / "data", std::string(300000, 'd'));
  testing::writeFile(folder.path() / "config", "[a]\r\nb=1\r\n");
  testing::writeFile(folder.path() / "music", std::string(4000, 'm'));
  testing::writeFile(folder.path() / "notes", "a stray file");
  const platform::ZipMemberSource members[] = {{kRecordingDataMember, folder.path() / "data"},
                                               {kSettingsMember, folder.path() / "config"},
                                               {kSoundMember, folder.path() / "music"},
                                               {"notes.txt", folder.path() / "notes"},
                                               {"./Config", folder.path() / "config"}};
  ASSERT_TRUE(platform::writeZipArchive(folder.path() / "honest.ORec", members).ok);
  const std::string honest = ostrel::testing::readFileBytes(folder.path() / "honest.ORec");

  const std::vector<ClaimCase> cases = {
      {"an honest recording", "", 0, false},
      {"a settings file of 1 GiB", kSettingsMember, 1u << 30, true},
      {"a stray member of 100 MiB", "notes.txt", 100u << 20, true},
      {"a settings file by another name of 32 MiB", "./Config", 32u << 20, true},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    std::string zip = honest;
    if (!test.member.empty()) claimSize(zip, test.member, test.claimed);
    testing::writeFile(folder.path() / "test.ORec", zip);
    const fs::path target = folder.path() / "out" / test.what;
    const UnpackResult result = ZipRecordingUnpacker().unpack(folder.path() / "test.ORec", target);
    EXPECT_EQ(result.ok, !test.refused) << result.error;
    if (test.refused) {
      EXPECT_NE(result.error.find(test.member + " claims"), std::string::npos) << result.error;
      EXPECT_FALSE(fs::exists(target));
    }
  }

  // A real settings file past the ceiling is refused as well: the bytes need not lie.
  testing::writeFile(folder.path() / "config", std::string((1 << 20) + 1, ';'));
  ASSERT_TRUE(platform::writeZipArchive(folder.path() / "big.ORec", members).ok);
  EXPECT_FALSE(ZipRecordingUnpacker().unpack(folder.path() / "big.ORec", folder.path() / "big").ok);
}

}  // namespace
}  // namespace ostrel::playback
