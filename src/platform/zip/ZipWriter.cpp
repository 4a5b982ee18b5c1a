#include "platform/zip/ZipWriter.h"

#include <fcntl.h>
#include <isa-l.h>
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

constexpr uint32_t kVersionMadeBy = 0x0B17;
constexpr uint32_t kAttributeReadOnly = 0x01;
constexpr uint32_t kAttributeArchive = 0x20;
constexpr std::size_t kBlockSize = std::size_t{4} << 20;
// Below the 32-bit size fields with room for deflate's growth on stored data.
constexpr uint64_t kZip64From = 0xF0000000u;

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
  info.times.created =
      static_cast<time_t>((sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_ctime.tv_sec);
  info.attributes = kAttributeArchive | ((sx.stx_mode & S_IWUSR) ? 0 : kAttributeReadOnly);
  return true;
}

uint32_t dosDateTime(time_t when) {
  struct tm t {};
  localtime_r(&when, &t);
  if (t.tm_year < 80) return (1 << 21) | (1 << 16);  // 1980-01-01, the earliest DOS date
  return static_cast<uint32_t>(((t.tm_year - 80) << 25) | ((t.tm_mon + 1) << 21) | (t.tm_mday << 16) |
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
  FastDeflater() : levelBuffer_(ISAL_DEF_LVL1_DEFAULT), output_(kBlockSize + 64 * 1024) {
    isal_deflate_init(&stream_);
  }

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

namespace {

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kEnd64Signature = 0x06064B50;
constexpr uint32_t kEnd64LocatorSignature = 0x07064B50;
constexpr uint32_t kMax32 = 0xFFFFFFFF;

void put64(std::vector<uint8_t>& out, uint64_t v) {
  put32(out, static_cast<uint32_t>(v));
  put32(out, static_cast<uint32_t>(v >> 32));
}

struct WrittenMember {
  std::string storedName;
  uint16_t method = 8;
  uint32_t dosTime = 0;
  uint32_t crc = 0;
  uint64_t packed = 0;
  uint64_t size = 0;
  uint64_t localOffset = 0;
  bool zip64 = false;
  uint32_t attributes = 0;
  FileTimes times;
};

// One local header; CRC and sizes are filled in after the data (offsets 14..25).
std::vector<uint8_t> localHeader(const WrittenMember& m) {
  std::vector<uint8_t> h;
  std::vector<uint8_t> extra = timestampExtra(m.times, true);
  if (m.zip64) {
    put16(extra, 0x0001);
    put16(extra, 16);
    put64(extra, m.size);
    put64(extra, m.packed);
  }
  put32(h, kLocalSignature);
  put16(h, m.zip64 ? 45 : 20);
  put16(h, 0);  // flag: sizes are in this header, names are not UTF-8
  put16(h, m.method);
  put32(h, m.dosTime);
  put32(h, m.crc);
  put32(h, m.zip64 ? kMax32 : static_cast<uint32_t>(m.packed));
  put32(h, m.zip64 ? kMax32 : static_cast<uint32_t>(m.size));
  put16(h, static_cast<uint32_t>(m.storedName.size()));
  put16(h, static_cast<uint32_t>(extra.size()));
  h.insert(h.end(), m.storedName.begin(), m.storedName.end());
  h.insert(h.end(), extra.begin(), extra.end());
  return h;
}

void appendCentralHeader(std::vector<uint8_t>& h, const WrittenMember& m) {
  std::vector<uint8_t> extra = timestampExtra(m.times, false);
  std::vector<uint8_t> wide;
  if (m.size >= kMax32) put64(wide, m.size);
  if (m.packed >= kMax32) put64(wide, m.packed);
  if (m.localOffset >= kMax32) put64(wide, m.localOffset);
  const bool zip64 = m.zip64 || !wide.empty();
  if (!wide.empty()) {
    put16(extra, 0x0001);
    put16(extra, static_cast<uint32_t>(wide.size()));
    extra.insert(extra.end(), wide.begin(), wide.end());
  }
  const auto narrow = [](uint64_t v) { return v >= kMax32 ? kMax32 : static_cast<uint32_t>(v); };
  put32(h, kCentralSignature);
  put16(h, kVersionMadeBy);
  put16(h, zip64 ? 45 : 20);
  put16(h, 0);
  put16(h, m.method);
  put32(h, m.dosTime);
  put32(h, m.crc);
  put32(h, narrow(m.packed));
  put32(h, narrow(m.size));
  put16(h, static_cast<uint32_t>(m.storedName.size()));
  put16(h, static_cast<uint32_t>(extra.size()));
  put16(h, 0);  // comment
  put16(h, 0);  // disk
  put16(h, 0);  // internal attributes
  put32(h, m.attributes);
  put32(h, narrow(m.localOffset));
  h.insert(h.end(), m.storedName.begin(), m.storedName.end());
  h.insert(h.end(), extra.begin(), extra.end());
}

void appendEnd(std::vector<uint8_t>& h, uint64_t entries, uint64_t centralOffset, uint64_t centralSize) {
  if (entries >= 0xFFFF || centralOffset >= kMax32 || centralSize >= kMax32) {
    const uint64_t end64Offset = centralOffset + centralSize;
    put32(h, kEnd64Signature);
    put64(h, 44);
    put16(h, kVersionMadeBy);
    put16(h, 45);
    put32(h, 0);
    put32(h, 0);
    put64(h, entries);
    put64(h, entries);
    put64(h, centralSize);
    put64(h, centralOffset);
    put32(h, kEnd64LocatorSignature);
    put32(h, 0);
    put64(h, end64Offset);
    put32(h, 1);
  }
  put32(h, kEndSignature);
  put16(h, 0);
  put16(h, 0);
  put16(h, static_cast<uint32_t>(std::min<uint64_t>(entries, 0xFFFF)));
  put16(h, static_cast<uint32_t>(std::min<uint64_t>(entries, 0xFFFF)));
  put32(h, static_cast<uint32_t>(std::min<uint64_t>(centralSize, kMax32)));
  put32(h, static_cast<uint32_t>(std::min<uint64_t>(centralOffset, kMax32)));
  put16(h, 0);  // no archive comment
}

}  // namespace

// The container is written here rather than through minizip: minizip's raw
// mode still runs zlib's CRC over the deflated bytes and copies them through
// its own buffer, which costs a third of the packing speed.
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

  UniqueFd out(::open(archive.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!out) return fail("cannot create " + archive.string() + ": " + errnoText());
  const auto writeFailed = [&] { return fail("cannot write " + archive.string() + ": " + errnoText()); };

  FastDeflater deflater;
  std::vector<uint8_t> block(kBlockSize);
  std::vector<WrittenMember> written;
  uint64_t position = 0;
  uint64_t done = 0;
  if (progress) progress(0, total);
  for (std::size_t i = 0; i < members.size(); ++i) {
    const SourceInfo& info = infos[i];
    WrittenMember m;
    m.storedName = utf8ToGbk(members[i].name);
    m.method = zipStoresUncompressed(members[i].name) ? 0 : 8;
    m.dosTime = static_cast<uint32_t>(dosDateTime(info.times.modified));
    m.size = info.size;
    m.localOffset = position;
    m.zip64 = info.size >= kZip64From;
    m.attributes = info.attributes;
    m.times = info.times;
    if (m.storedName.size() > 0xFFFF) return fail("member name too long: " + members[i].name);

    std::vector<uint8_t> header = localHeader(m);
    if (!writeAll(out.get(), header)) return writeFailed();
    position += header.size();
    const auto emit = [&](std::span<const uint8_t> data) {
      if (!writeAll(out.get(), data)) return false;
      m.packed += data.size();
      return true;
    };
    deflater.reset();
    uint64_t offset = 0;
    do {
      const auto n = static_cast<std::size_t>(std::min<uint64_t>(info.size - offset, block.size()));
      const std::span<const uint8_t> input(block.data(), n);
      if (n > 0 && !preadAll(sources[i].get(), std::span(block).first(n), offset)) {
        return fail("cannot read " + members[i].file.string());
      }
      m.crc = crc32_gzip_refl(m.crc, block.data(), n);
      offset += n;
      const bool ok = m.method == 0 ? emit(input) : deflater.compress(input, offset == info.size, emit);
      if (!ok) return writeFailed();
      done += n;
      if (progress && n > 0) progress(done, total);
    } while (offset < info.size);
    if (!m.zip64 && m.packed >= kMax32)
      return fail("member " + members[i].name + " grew past 4 GiB when packed");
    // The final CRC and sizes go into the local header, so no data descriptor is needed.
    header = localHeader(m);
    if (!pwriteAll(out.get(), header, m.localOffset)) return writeFailed();
    position += m.packed;
    written.push_back(std::move(m));
  }
  std::vector<uint8_t> tail;
  for (const auto& m : written) appendCentralHeader(tail, m);
  const uint64_t centralSize = tail.size();
  appendEnd(tail, written.size(), position, centralSize);
  if (!writeAll(out.get(), tail) || !out.close()) return writeFailed();
  result.ok = true;
  return result;
}

}  // namespace ostrel::platform
