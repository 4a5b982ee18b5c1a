#include "codec/RecordingStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/files/FileIo.h"

namespace ostrel::codec {

namespace {
constexpr std::size_t kReadBlock = std::size_t{4} << 20;
}

RecordingStream::RecordingStream(std::size_t chunkSize) : chunkSize_(std::max<std::size_t>(chunkSize, 16)) {}

RecordingStream::~RecordingStream() { clear(); }

void RecordingStream::setSpillFolder(std::filesystem::path folder, std::size_t threshold) {
  spillFolder_ = std::move(folder);
  spillThreshold_ = threshold;
  spillBroken_ = false;
}

std::size_t RecordingStream::memoryBytes() const {
  return chunks_.empty() ? 0 : (chunks_.size() - 1) * chunkSize_ + lastChunkUsed_;
}

void RecordingStream::append(Bytes bytes) {
  while (!bytes.empty()) {
    if (chunks_.empty() || lastChunkUsed_ == chunkSize_) {
      chunks_.push_back(std::make_unique_for_overwrite<uint8_t[]>(chunkSize_));
      lastChunkUsed_ = 0;
    }
    const std::size_t n = std::min(bytes.size(), chunkSize_ - lastChunkUsed_);
    std::memcpy(chunks_.back().get() + lastChunkUsed_, bytes.data(), n);
    lastChunkUsed_ += n;
    bytes = bytes.subspan(n);
  }
  if (spillFolder_.empty() || spillBroken_) return;
  if (spilled() ? chunks_.size() > 1 : memoryBytes() > spillThreshold_) {
    if (!spillFullChunks()) spillBroken_ = true;
  }
}

bool RecordingStream::spillFullChunks() {
  if (!spilled()) {
    std::string pattern = (spillFolder_ / "ostrel-stream-XXXXXX").string();
    platform::UniqueFd fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!fd) {
      lastError_ = "cannot create a spill file in " + spillFolder_.string() + ": " + platform::errnoText();
      return false;
    }
    spillFd_ = std::move(fd);
    spillPath_ = pattern;
    fileBytes_ = 0;
  }
  // Every chunk but the last is full; the last one stays in memory for appends.
  const std::size_t full = chunks_.size() - 1;
  std::size_t written = 0;
  for (; written < full; ++written) {
    if (!platform::pwriteAll(spillFd_.get(), {chunks_[written].get(), chunkSize_}, fileBytes_)) {
      lastError_ = "cannot write the spill file " + spillPath_.string() + ": " + platform::errnoText();
      // The file must hold exactly a prefix of the stream: drop the torn chunk.
      if (::ftruncate(spillFd_.get(), static_cast<off_t>(fileBytes_)) != 0) {
        lastError_ += " (and cannot trim it)";
      }
      break;
    }
    fileBytes_ += chunkSize_;
  }
  chunks_.erase(chunks_.begin(), chunks_.begin() + static_cast<std::ptrdiff_t>(written));
  return written == full;
}

bool RecordingStream::forEachBlock(const std::function<bool(Bytes)>& sink) const {
  if (fileBytes_ > 0) {
    std::vector<uint8_t> buffer(static_cast<std::size_t>(std::min<uint64_t>(fileBytes_, kReadBlock)));
    for (uint64_t offset = 0; offset < fileBytes_;) {
      const auto n = static_cast<std::size_t>(std::min<uint64_t>(fileBytes_ - offset, buffer.size()));
      if (!platform::preadAll(spillFd_.get(), std::span(buffer).first(n), offset)) return false;
      if (!sink(Bytes(buffer).first(n))) return false;
      offset += n;
    }
  }
  for (std::size_t i = 0; i < chunks_.size(); ++i) {
    const std::size_t n = i + 1 == chunks_.size() ? lastChunkUsed_ : chunkSize_;
    if (n > 0 && !sink(Bytes(chunks_[i].get(), n))) return false;
  }
  return true;
}

std::vector<uint8_t> RecordingStream::bytes() const {
  std::vector<uint8_t> out;
  out.reserve(static_cast<std::size_t>(size()));
  forEachBlock([&out](Bytes block) {
    out.insert(out.end(), block.begin(), block.end());
    return true;
  });
  return out;
}

void RecordingStream::dropMemory() {
  chunks_.clear();
  lastChunkUsed_ = 0;
}

void RecordingStream::clear() {
  dropMemory();
  if (spilled()) {
    spillFd_.reset();
    std::error_code ignored;
    std::filesystem::remove(spillPath_, ignored);
  }
  spillPath_.clear();
  fileBytes_ = 0;
  spillBroken_ = false;
}

bool RecordingStream::loadFromFile(const std::filesystem::path& path) {
  clear();
  platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return false;
  std::vector<uint8_t> buffer(kReadBlock);
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      clear();
      return false;
    }
    if (n == 0) return true;
    append(Bytes(buffer).first(static_cast<std::size_t>(n)));
  }
}

bool RecordingStream::moveToFile(const std::filesystem::path& path) {
  if (!spilled()) {
    if (!writeNewFile(path, [this](int fd) {
          return forEachBlock([fd](Bytes block) { return platform::writeAll(fd, block); });
        }))
      return false;
    dropMemory();
    return true;
  }
  // Put the memory tail behind the spilled bytes: the spill file then is the whole stream.
  for (std::size_t i = 0; i < chunks_.size(); ++i) {
    const std::size_t n = i + 1 == chunks_.size() ? lastChunkUsed_ : chunkSize_;
    if (!platform::pwriteAll(spillFd_.get(), {chunks_[i].get(), n}, fileBytes_)) {
      lastError_ = "cannot write the spill file " + spillPath_.string() + ": " + platform::errnoText();
      if (::ftruncate(spillFd_.get(), static_cast<off_t>(fileBytes_)) != 0)
        lastError_ += " (and cannot trim it)";
      chunks_.erase(chunks_.begin(), chunks_.begin() + static_cast<std::ptrdiff_t>(i));
      return false;
    }
    fileBytes_ += n;
  }
  dropMemory();
  if (::rename(spillPath_.c_str(), path.c_str()) == 0) {
    spillFd_.reset();
    spillPath_.clear();
    fileBytes_ = 0;
    return true;
  }
  // Another file system: copy, and keep the spill file until the copy is whole.
  if (!writeNewFile(path, [this](int fd) { return platform::copyFileRange(spillFd_.get(), fd, fileBytes_); }))
    return false;
  clear();
  return true;
}

bool RecordingStream::writeNewFile(const std::filesystem::path& path, const std::function<bool(int fd)>& fill) {
  platform::UniqueFd out(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  bool ok = static_cast<bool>(out) && fill(out.get());
  ok = out.close() && ok;
  if (ok) return true;
  lastError_ = "cannot write " + path.string() + ": " + platform::errnoText();
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  return false;
}

bool RecordingStream::forEachRecord(Bytes separator, const std::function<bool(Bytes)>& sink) const {
  std::vector<uint8_t> carry;  // bytes of the record in progress
  std::size_t searchFrom = 0;
  bool stopped = false;
  const bool read = forEachBlock([&](Bytes block) {
    carry.insert(carry.end(), block.begin(), block.end());
    if (separator.empty()) return true;
    std::size_t start = 0;
    for (;;) {
      const std::size_t at = findSequence(carry, separator, searchFrom);
      if (at == carry.size()) break;
      if (!sink(Bytes(carry).subspan(start, at - start))) {
        stopped = true;
        return false;
      }
      start = searchFrom = at + separator.size();
    }
    carry.erase(carry.begin(), carry.begin() + static_cast<std::ptrdiff_t>(start));
    // A separator may straddle this block and the next one.
    searchFrom = carry.size() >= separator.size() ? carry.size() - separator.size() + 1 : 0;
    return true;
  });
  if (!read || stopped) return false;
  if (!carry.empty()) return sink(carry);
  return true;
}

std::vector<std::vector<uint8_t>> RecordingStream::split(Bytes separator) const {
  std::vector<std::vector<uint8_t>> records;
  forEachRecord(separator, [&records](Bytes record) {
    records.emplace_back(record.begin(), record.end());
    return true;
  });
  return records;
}

}  // namespace ostrel::codec
