#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "recording/DiskSpaceGuard.h"

namespace ostrel::recording {
namespace {

constexpr uint64_t MB = kBytesPerMegabyte;

TEST(DiskSpaceGuard, NamesTheFirstFolderShortOfThresholdPlusWhatIsStillToBeWritten) {
  struct Case {
    const char* name;
    std::optional<uint64_t> cacheFree, saveFree;
    uint64_t streamBytes, residentBytes;
    std::optional<std::string> reason;
  };
  const std::vector<Case> cases = {
      {"room in both", 900 * MB, 900 * MB, 0, 0, std::nullopt},
      {"exactly the threshold is enough", 200 * MB, 200 * MB, 0, 0, std::nullopt},
      {"a byte short in the save folder", 900 * MB, 200 * MB - 1, 0, 0,
       "保存文件夹“/s”只剩 199 MB 可用空间，至少需要 200 MB。"},
      {"the cache folder is named first", 10 * MB + 5, 10 * MB, 0, 0,
       "缓存文件夹“/c”只剩 10 MB 可用空间，至少需要 200 MB。"},
      // The archive of a long recording needs its room in the save folder too.
      {"room for the threshold but not for the archive", 900 * MB, 500 * MB, 400 * MB, 64 * MB,
       "保存文件夹“/s”只剩 500 MB 可用空间，至少需要 600 MB。"},
      {"the stream's resident bytes go into the cache folder", 250 * MB, 900 * MB, 400 * MB, 64 * MB,
       "缓存文件夹“/c”只剩 250 MB 可用空间，至少需要 264 MB。"},
      {"a short stream in a whole memory chunk needs only its bytes", 200 * MB + 300, 900 * MB, 200, 1 * MB,
       std::nullopt},
      {"an unknown is no shortage", std::nullopt, std::nullopt, 0, 0, std::nullopt},
  };
  for (const Case& c : cases) {
    const std::map<std::filesystem::path, std::optional<uint64_t>> free = {{"/c", c.cacheFree},
                                                                           {"/s", c.saveFree}};
    const DiskSpaceGuard guard([&](const std::filesystem::path& folder) { return free.at(folder); });
    EXPECT_EQ(guard.shortage(RecordingFolders("/c", "/s", c.streamBytes, c.residentBytes)), c.reason)
        << c.name;
  }
}

}  // namespace
}  // namespace ostrel::recording
