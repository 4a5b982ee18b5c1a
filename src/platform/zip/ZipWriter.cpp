#include "platform/zip/ZipWriter.h"

#include <fcntl.h>
#include <isa-l.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <ctime>
#include <memory>
#include <vector>

#include "platform/files/FileIo.h"
#include "platform/text/GbkText.h"

namespace ostrel::platform {

namespace {

constexpr uLong kVersionMadeBy = 0x0B17;
constexpr uint32_t kAttributeReadOnly = 0x01;
constexpr uint32_t kAttributeArchive = 0x20;
constexpr std::size_t kBlockSize = std::size_t{4} << 20;
// Below the 32-bit size fields with room for deflate's growth on stored data.
constexpr uint64_t kZip64From = 0xF0000000u;

struct ZipCloser {
  void operator()(zipFile z) const {
    if (z) zipClose(z, nullptr);
  }
};
using UniqueZip = std::unique_ptr<std::remove_pointer_t<zipFile>, ZipCloser>;

struct FileTimes {
  time_t modified = 0;
  time_t accessed = 0;
  time_t created = 0;
};

struct SourceInfo {
  uint64_t size = 0;
  FileTimes times;
  uint32_t attributes = kAttributeArchive;
};

bool statSource(int fd, SourceInfo& info) {
  struct statx sx {};
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) return false;
  if (!S_ISREG(sx.stx_mode)) return false;
  info.size = sx.stx_size;
  info.times.modified = static_cast<time_t>(sx.stx_mtime.tv_sec);
  info.times.accessed = static_cast<time_t>(sx.stx_atime.tv_sec);
  info.times.created = static_cast<time_t>((sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_ctime.tv_sec);
  info.attributes = kAttributeArchive | ((sx.stx_mode & S_IWUSR) ? 0 : kAttributeReadOnly);
  return true;
}

uLong dosDateTime(time_t when) {
  struct tm t {};
  localtime_r(&when, &t);
  if (t.tm_year < 80) return (1 << 21) | (1 << 16);  // 1980-01-01, the earliest DOS date
  return static_cast<uLong>(((t.tm_year - 80) << 25) | ((t.tm_mon + 1) << 21) | (t.tm_mday << 16) |
                            (t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
}

void put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

// "UT" extended timestamp: all three times locally, the modification time centrally.
std::vector<uint8_t> timestampExtra(const FileTimes& times, bool local) {
  std::vector<uint8_t> extra;
  put16(extra, 0x5455);
  put16(extra, local ? 13 : 5);
  extra.push_back(7);
  put32(extra, static_cast<uint32_t>(times.modified));
  if (local) {
    put32(extra, static_cast<uint32_t>(times.accessed));
    put32(extra, static_cast<uint32_t>(times.created));
  }
  return extra;
}

// Raw deflate with isa-l at level 1: several times faster than zlib on the
// already-compressed pictures a recording holds, at nearly the same size.
class FastDeflater {
 public:
  FastDeflater() : levelBuffer_(ISAL_DEF_LVL1_DEFAULT), output_(kBlockSize + 64 * 1024) { isal_deflate_init(&stream_); }

  void reset() {
    isal_deflate_reset(&stream_);
    stream_.level = 1;
    stream_.level_buf = levelBuffer_.data();
    stream_.level_buf_size = static_cast<uint32_t>(levelBuffer_.size());
    stream_.flush = NO_FLUSH;
    stream_.gzip_flag = IGZIP_DEFLATE;
  }

  // Compresses `input` (the last block when `last`) and hands every piece of
  // output to `sink`.
  template <typename Sink>
  bool compress(std::span<const uint8_t> input, bool last, Sink&& sink) {
    stream_.next_in = const_cast<uint8_t*>(input.data());
    stream_.avail_in = static_cast<uint32_t>(input.size());
    stream_.end_of_stream = last ? 1 : 0;
    for (;;) {
      stream_.next_out = output_.data();
      stream_.avail_out = static_cast<uint32_t>(output_.size());
      if (isal_deflate(&stream_) != COMP_OK) return false;
      const std::size_t produced = output_.size() - stream_.avail_out;
      if (produced > 0 && !sink(std::span<const uint8_t>(output_.data(), produced))) return false;
      const bool done = last ? stream_.internal_state.state == ZSTATE_END : stream_.avail_in == 0;
      if (done) return true;
    }
  }

 private:
  isal_zstream stream_{};
  std::vector<uint8_t> levelBuffer_;
  std::vector<uint8_t> output_;
};

}  // namespace

bool zipStoresUncompressed(std::string_view name) {
  static constexpr std::array<std::string_view, 8> kStored = {".z",   ".zip", ".zoo", ".arc",
                                                              ".lzh", ".arj", ".gz",  ".tgz"};
  for (std::string_view ext : kStored) {
    if (name.size() < ext.size()) continue;
    const std::string_view tail = name.substr(name.size() - ext.size());
    bool same = true;
    for (std::size_t i = 0; i < ext.size() && same; ++i) {
      const char c = tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] - 'A' + 'a') : tail[i];
      same = c == ext[i];
    }
    if (same) return true;
  }
  return false;
}

ZipWriteResult writeZipArchive(const std::filesystem::path& archive, std::span<const ZipMemberSource> members,
                               const ZipProgress& progress) {
  ZipWriteResult result;
  const auto fail = [&result](std::string text) {
    result.ok = false;
    result.error = std::move(text);
    return result;
  };

  std::vector<UniqueFd> sources;
  std::vector<SourceInfo> infos(members.size());
  uint64_t total = 0;
  for (std::size_t i = 0; i < members.size(); ++i) {
    UniqueFd fd(::open(members[i].file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd || !statSource(fd.get(), infos[i])) return fail("cannot read " + members[i].file.string());
    total += infos[i].size;
    sources.push_back(std::move(fd));
  }

  UniqueZip zip(zipOpen64(archive.c_str(), APPEND_STATUS_CREATE));
  if (!zip) return fail("cannot create " + archive.string() + ": " + errnoText());

  FastDeflater deflater;
  std::vector<uint8_t> block(kBlockSize);
  uint64_t done = 0;
  if (progress) progress(0, total);
  for (std::size_t i = 0; i < members.size(); ++i) {
    const SourceInfo& info = infos[i];
    zip_fileinfo fileInfo{};
    fileInfo.dosDate = dosDateTime(info.times.modified);
    fileInfo.external_fa = info.attributes;
    const std::vector<uint8_t> localExtra = timestampExtra(info.times, true);
    const std::vector<uint8_t> centralExtra = timestampExtra(info.times, false);
    const std::string storedName = utf8ToGbk(members[i].name);
    const bool store = zipStoresUncompressed(members[i].name);
    // minizip adds level bits to the flag for levels 1, 2, 8 and 9; the
    // default level keeps the flag 0. The data arrives already deflated.
    if (zipOpenNewFileInZip4_64(zip.get(), storedName.c_str(), &fileInfo, localExtra.data(),
                                static_cast<uInt>(localExtra.size()), centralExtra.data(),
                                static_cast<uInt>(centralExtra.size()), nullptr, store ? 0 : Z_DEFLATED,
                                Z_DEFAULT_COMPRESSION, 1, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0,
                                kVersionMadeBy, 0, info.size >= kZip64From ? 1 : 0) != ZIP_OK) {
      return fail("cannot add " + members[i].name + " to " + archive.string());
    }
    const auto write = [&zip](std::span<const uint8_t> out) {
      return zipWriteInFileInZip(zip.get(), out.data(), static_cast<unsigned>(out.size())) == ZIP_OK;
    };
    deflater.reset();
    uint32_t crc = 0;
    uint64_t offset = 0;
    do {
      const auto n = static_cast<std::size_t>(std::min<uint64_t>(info.size - offset, block.size()));
      const std::span<const uint8_t> input(block.data(), n);
      if (n > 0 && !preadAll(sources[i].get(), std::span(block).first(n), offset)) {
        return fail("cannot read " + members[i].file.string());
      }
      crc = crc32_gzip_refl(crc, block.data(), n);
      offset += n;
      const bool last = offset == info.size;
      const bool written = store ? write(input) : deflater.compress(input, last, write);
      if (!written) return fail("cannot write " + archive.string() + ": " + errnoText());
      done += n;
      if (progress && n > 0) progress(done, total);
    } while (offset < info.size);
    if (zipCloseFileInZipRaw64(zip.get(), info.size, crc) != ZIP_OK) {
      return fail("cannot finish " + members[i].name + " in " + archive.string());
    }
  }
  if (zipClose(zip.release(), nullptr) != ZIP_OK) return fail("cannot finish " + archive.string());
  result.ok = true;
  return result;
}

}  // namespace ostrel::platform
