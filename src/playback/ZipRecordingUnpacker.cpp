#include "playback/ZipRecordingUnpacker.h"

#include "playback/Player.h"

namespace ostrel::playback {

platform::UnzipLimits recordingUnzipLimits() {
  platform::UnzipLimits limits;
  limits.memberLimits = {
      {kRecordingDataMember, limits.maxTotalBytes},
      {kSettingsMember, uint64_t{1} << 20},
      // The RIFF size field counts the bytes after the first eight.
      {kSoundMember, uint64_t{0xFFFFFFFF} + 8},
  };
  // Nothing reads other members; a stray small file is no reason to refuse.
  limits.maxOtherMemberBytes = uint64_t{64} << 20;
  return limits;
}

UnpackResult ZipRecordingUnpacker::unpack(const std::filesystem::path& archive,
                                          const std::filesystem::path& folder) {
  platform::UnzipResult result = platform::unpackZipArchive(archive, folder, limits_);
  return {result.ok, std::move(result.error)};
}

}  // namespace ostrel::playback
