#include "codec/RecordingStream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <stop_token>
#include <thread>

#include "platform/files/FileIo.h"

namespace ostrel::codec {

namespace {
constexpr std::size_t kReadBlock = std::size_t{4} << 20;

}  // namespace

// Makes the journal durable on its own thread, so a slow disk never holds up
// the capture tick: once per interval, when bytes were written since the last time.
class JournalSyncer {
 public:
  JournalSyncer(int fd, std::chrono::milliseconds interval)
      : fd_(fd), thread_([this, interval](std::stop_token stop) { run(stop, interval); }) {}
  ~JournalSyncer() {
    thread_.request_stop();
    thread_.join();
  }
  JournalSyncer(const JournalSyncer&) = delete;
  JournalSyncer& operator=(const JournalSyncer&) = delete;

  void noteWritten(uint64_t end) { written_.store(end, std::memory_order_relaxed); }

 private:
  void run(const std::stop_token& stop, std::chrono::milliseconds interval) {
    uint64_t synced = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait_for(lock, stop, interval, [] { return false; });
      if (stop.stop_requested()) return;
      const uint64_t written = written_.load(std::memory_order_relaxed);
      if (written != synced && ::fdatasync(fd_) == 0) synced = written;
    }
  }

  const int fd_;
  std::atomic<uint64_t> written_{0};
  // Only for the timed wait that a stop request cuts short; built here, not
  // on the thread, so that the thread allocates nothing.
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::jthread thread_;  // last: it starts once everything above exists
};

RecordingStream::RecordingStream(std::size_t chunkSize) : chunkSize_(std::max<std::size_t>(chunkSize, 16)) {}

RecordingStream::~RecordingStream() { releaseJournal(); }

std::size_t RecordingStream::memoryBytes() const {
  return chunks_.empty() ? 0 : (chunks_.size() - 1) * chunkSize_ + lastChunkUsed_ - firstChunkStart_;
}

bool RecordingStream::startJournal(const std::filesystem::path& path, int syncIntervalMs) {
  if (journaling()) {
    lastError_ = "the stream already has the journal " + journalPath_.string();
    return false;
  }
  platform::UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd) {
    lastError_ = "cannot create the journal " + path.string() + ": " + platform::errnoText();
    return false;
  }
  // Blocking: a process looking for unfinished journals may hold it for a moment.
  if (::flock(fd.get(), LOCK_EX) != 0) {
    lastError_ = "cannot lock the journal " + path.string() + ": " + platform::errnoText();
    ::unlink(path.c_str());
    return false;
  }
  journalFd_ = std::move(fd);
  journalPath_ = path;
  fileBytes_ = 0;
  // The name must survive a power cut too, not only the bytes.
  platform::syncToDisk(path.parent_path());
  writePending();
  syncer_ = std::make_unique<JournalSyncer>(journalFd_.get(), std::chrono::milliseconds(syncIntervalMs));
  syncer_->noteWritten(fileBytes_);
  return true;
}

bool RecordingStream::adoptJournal(const std::filesystem::path& path) {
  if (journaling() || !empty()) {
    lastError_ = "only an empty stream can take over a journal";
    return false;
  }
  platform::UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    lastError_ = "cannot open the journal " + path.string() + ": " + platform::errnoText();
    return false;
  }
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    lastError_ = "the journal " + path.string() + " belongs to a recording that is still running";
    return false;
  }
  journalFd_ = std::move(fd);
  journalPath_ = path;
  fileBytes_ = static_cast<uint64_t>(st.st_size);
  return true;
}

std::size_t RecordingStream::writeThrough(Bytes bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n =
        ::pwrite(journalFd_.get(), bytes.data() + done, bytes.size() - done, static_cast<off_t>(fileBytes_));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      lastError_ = "cannot write the journal " + journalPath_.string() + ": " +
                   (n == 0 ? std::string("nothing written") : platform::errnoText());
      break;
    }
    done += static_cast<std::size_t>(n);
    fileBytes_ += static_cast<uint64_t>(n);
  }
  if (syncer_ && done > 0) syncer_->noteWritten(fileBytes_);
  return done;
}

bool RecordingStream::writePending() {
  while (!chunks_.empty()) {
    const bool last = chunks_.size() == 1;
    const std::size_t end = last ? lastChunkUsed_ : chunkSize_;
    const Bytes pending(chunks_.front().get() + firstChunkStart_, end - firstChunkStart_);
    const std::size_t written = writeThrough(pending);
    firstChunkStart_ += written;
    if (written < pending.size()) return false;
    chunks_.erase(chunks_.begin());
    firstChunkStart_ = 0;
    if (last) lastChunkUsed_ = 0;
  }
  return true;
}

void RecordingStream::keepInMemory(Bytes bytes) {
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
}

void RecordingStream::append(Bytes bytes) {
  if (!journaling()) {
    keepInMemory(bytes);
    return;
  }
  // Bytes held back by an earlier failure go first: the file stays a prefix.
  if (!chunks_.empty() && !writePending()) {
    keepInMemory(bytes);
    return;
  }
  const std::size_t written = writeThrough(bytes);
  keepInMemory(bytes.subspan(written));
}

bool RecordingStream::flushJournal() {
  if (!journaling()) return true;
  if (!writePending()) return false;
  if (::fdatasync(journalFd_.get()) != 0) {
    lastError_ = "cannot flush the journal " + journalPath_.string() + ": " + platform::errnoText();
    return false;
  }
  return true;
}

void RecordingStream::stopJournal() {
  syncer_.reset();
  journalFd_.reset();
  journalPath_.clear();
  fileBytes_ = 0;
}

uint64_t RecordingStream::releaseJournal() {
  if (!journaling()) return 0;
  flushJournal();
  const uint64_t lost = memoryBytes();
  stopJournal();
  dropMemory();
  return lost;
}

bool RecordingStream::forEachBlock(const std::function<bool(Bytes)>& sink) const {
  if (fileBytes_ > 0) {
    std::vector<uint8_t> buffer(static_cast<std::size_t>(std::min<uint64_t>(fileBytes_, kReadBlock)));
    for (uint64_t offset = 0; offset < fileBytes_;) {
      const auto n = static_cast<std::size_t>(std::min<uint64_t>(fileBytes_ - offset, buffer.size()));
      if (!platform::preadAll(journalFd_.get(), std::span(buffer).first(n), offset)) return false;
      if (!sink(Bytes(buffer).first(n))) return false;
      offset += n;
    }
  }
  for (std::size_t i = 0; i < chunks_.size(); ++i) {
    const std::size_t begin = i == 0 ? firstChunkStart_ : 0;
    const std::size_t end = i + 1 == chunks_.size() ? lastChunkUsed_ : chunkSize_;
    if (end > begin && !sink(Bytes(chunks_[i].get() + begin, end - begin))) return false;
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
  firstChunkStart_ = 0;
}

void RecordingStream::clear() {
  dropMemory();
  if (journaling()) {
    const std::filesystem::path path = journalPath_;
    // Deleted while still locked, so nobody takes it for an unfinished one.
    ::unlink(path.c_str());
    stopJournal();
  }
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
  if (!writeNewFile(path, [this](int fd) {
        return forEachBlock([fd](Bytes block) { return platform::writeAll(fd, block); });
      }))
    return false;
  clear();
  return true;
}

bool RecordingStream::writeNewFile(const std::filesystem::path& path,
                                   const std::function<bool(int fd)>& fill) {
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
