// Hostile recording files: any bytes as a ZIP archive, unpacked into a
// private folder with small limits, read member by member, and opened the way
// the player opens a recording. Nothing may land outside the folder it was
// meant for, and every run leaves nothing behind.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>

#include "FuzzCheck.h"
#include "platform/files/FileIo.h"
#include "platform/zip/ZipReader.h"
#include "playback/Player.h"
#include "playback/ZipRecordingUnpacker.h"

namespace fs = std::filesystem;

namespace {

// A private folder for one input, removed with everything in it afterwards
// (libFuzzer ends without running exit handlers, so nothing may wait for them).
class Sandbox {
 public:
  Sandbox() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/ostrel-zip-fuzz-XXXXXX";
    FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
    path_ = pattern;
  }
  ~Sandbox() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

bool inside(const fs::path& path, const fs::path& folder) {
  const fs::path relative = path.lexically_normal().lexically_relative(folder);
  return !relative.empty() && *relative.begin() != "..";
}

// Everything in the sandbox is the archive, or a plain file or folder under `out`.
void checkSandbox(const Sandbox& sandbox, const fs::path& run, const fs::path& archive, const fs::path& out) {
  std::error_code error;
  for (fs::recursive_directory_iterator it(sandbox.path(), error), end; !error && it != end;
       it.increment(error)) {
    const fs::path& path = it->path();
    if (path == run || path == archive || path == out) continue;
    FUZZ_CHECK(inside(path, out));
    FUZZ_CHECK(!it->is_symlink());
  }
  FUZZ_CHECK(!error);
}

const ostrel::platform::UnzipLimits kSmallLimits{uint64_t{1} << 20, 16, {{"Config", 4096}}, 256 << 10};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const Sandbox sandbox;
  const fs::path run = sandbox.path() / "run";
  const fs::path archive = run / "录像1.ORec";
  const fs::path out = run / "out";
  std::error_code ignored;
  fs::create_directories(run, ignored);
  FUZZ_CHECK(ostrel::platform::writeWholeFile(archive, {data, size}));

  const auto unpacked = ostrel::platform::unpackZipArchive(archive, out, kSmallLimits);
  uint64_t total = 0;
  for (const fs::path& written : unpacked.written) {
    FUZZ_CHECK(inside(written, out));
    FUZZ_CHECK(fs::is_regular_file(fs::symlink_status(written)));
    const uint64_t bytes = fs::file_size(written, ignored);
    FUZZ_CHECK(bytes <= (written.lexically_relative(out) == "Config" ? 4096u : 256u << 10));
    total += bytes;
  }
  FUZZ_CHECK(total <= kSmallLimits.maxTotalBytes);
  FUZZ_CHECK(unpacked.ok || !unpacked.error.empty());
  checkSandbox(sandbox, run, archive, out);

  for (const char* member : {ostrel::playback::kRecordingDataMember, ostrel::playback::kSettingsMember}) {
    uint64_t streamed = 0;
    std::string error;
    const bool read = ostrel::platform::readZipMember(
        archive, member,
        [&streamed](std::span<const uint8_t> bytes) {
          streamed += bytes.size();
          return true;
        },
        &error, kSmallLimits);
    FUZZ_CHECK(streamed <= kSmallLimits.maxTotalBytes);
    FUZZ_CHECK(read || !error.empty());
  }

  // The player's road: unpack with the recording limits, read, remove again.
  ostrel::playback::ZipRecordingUnpacker unpacker;
  const fs::path unpackFolder = run / "Play" / "录像1Temp";
  const auto opened = ostrel::playback::openRecording(unpacker, archive, unpackFolder, {1920, 1080});
  FUZZ_CHECK(opened.error.empty() == opened.records.has_value());
  FUZZ_CHECK(!fs::exists(unpackFolder));
  return 0;
}
