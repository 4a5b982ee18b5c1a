#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include "platform/files/FreeDiskSpace.h"
#include "support/ScratchFolder.h"

namespace ostrel::platform {
namespace {

TEST(FreeDiskBytes, AFolderNotYetMadeIsAskedThroughItsNearestParent) {
  testing::ScratchFolder folder;
  struct statvfs info {};
  ASSERT_EQ(::statvfs(folder.path().c_str(), &info), 0);
  const uint64_t expected = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
  // Other writers share the disk: allow for what they write meanwhile.
  const uint64_t slack = uint64_t{256} << 20;
  for (const std::filesystem::path& path : {folder.path(), folder / "not" / "yet" / "made"}) {
    const std::optional<uint64_t> bytes = FreeDiskBytes(path);
    ASSERT_TRUE(bytes.has_value()) << path;
    EXPECT_LE(*bytes > expected ? *bytes - expected : expected - *bytes, slack) << path;
  }
  EXPECT_TRUE(FreeDiskBytes("relative/folder/not/made").has_value()) << "runs out at the current folder";
}

}  // namespace
}  // namespace ostrel::platform
