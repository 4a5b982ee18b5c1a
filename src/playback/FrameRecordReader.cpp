#include "playback/FrameRecordReader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <span>

#include "codec/StreamFormat.h"
#include "playback/ReadOnlyFile.h"

namespace ostrel::playback {

namespace {
constexpr std::size_t kSeparatorSize = codec::FRAME_SEPARATOR.size();
}

FrameRecordReader::FrameRecordReader(platform::UniqueFd file, Options options)
    : file_(std::move(file)), options_(options) {
  options_.chunkSize = std::max<std::size_t>(options_.chunkSize, 1);
}

std::optional<FrameRecordReader> FrameRecordReader::open(const std::filesystem::path& path, Options options) {
  platform::UniqueFd file = openRegularFileForReading(path);
  if (!file) return std::nullopt;
  return FrameRecordReader(std::move(file), options);
}

void FrameRecordReader::rewind() {
  fileOffset_ = 0;
  buffer_.clear();
  head_ = scanFrom_ = 0;
  droppedBytes_ = 0;
  oversized_ = lastOversized_ = ended_ = false;
  recordsRead_ = 0;
}

bool FrameRecordReader::readChunk(bool& endOfFile) {
  // Move the unconsumed tail to the front so the buffer never grows with the
  // records already handed out.
  if (head_ > 0) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(head_));
    scanFrom_ -= head_;
    head_ = 0;
  }
  const std::size_t oldSize = buffer_.size();
  buffer_.resize(oldSize + options_.chunkSize);
  ssize_t got;
  do {
    got = ::pread(file_.get(), buffer_.data() + oldSize, options_.chunkSize, static_cast<off_t>(fileOffset_));
  } while (got < 0 && errno == EINTR);
  buffer_.resize(oldSize + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
  if (got < 0) return false;
  fileOffset_ += static_cast<uint64_t>(got);
  endOfFile = got == 0;
  return true;
}

FrameRecordReader::Result FrameRecordReader::finishRecord(std::size_t end, std::size_t resumeAt,
                                                          std::vector<uint8_t>* record) {
  if (record) {
    record->clear();
    if (!oversized_)
      record->assign(buffer_.begin() + static_cast<std::ptrdiff_t>(head_),
                     buffer_.begin() + static_cast<std::ptrdiff_t>(end));
  }
  lastOversized_ = oversized_;
  oversized_ = false;
  droppedBytes_ = 0;
  head_ = scanFrom_ = resumeAt;
  ++recordsRead_;
  return Result::Record;
}

FrameRecordReader::Result FrameRecordReader::next(std::vector<uint8_t>* record) {
  if (ended_ || !file_) return ended_ ? Result::End : Result::Error;
  for (;;) {
    const std::span<const uint8_t> data(buffer_);
    const std::size_t found = codec::findSequence(data, codec::FRAME_SEPARATOR, scanFrom_);
    if (found < data.size()) return finishRecord(found, found + kSeparatorSize, record);

    // No separator yet; only its last bytes could still begin one.
    scanFrom_ = std::max(head_, data.size() >= kSeparatorSize - 1 ? data.size() - (kSeparatorSize - 1) : 0);
    // Only the bytes before scanFrom_ belong to the record for certain; the
    // last few may begin its separator.
    if (record && !oversized_ && scanFrom_ - head_ > options_.maxRecordSize) oversized_ = true;
    if ((!record || oversized_) && scanFrom_ > head_) {
      droppedBytes_ += scanFrom_ - head_;
      head_ = scanFrom_;
    }

    bool endOfFile = false;
    if (!readChunk(endOfFile)) return Result::Error;
    if (!endOfFile) continue;

    ended_ = true;
    const bool trailingBytes = buffer_.size() > head_ || droppedBytes_ > 0;
    if (trailingBytes || recordsRead_ == 0) return finishRecord(buffer_.size(), buffer_.size(), record);
    return Result::End;
  }
}

std::optional<int64_t> FrameRecordReader::countRecords() {
  rewind();
  int64_t count = 0;
  for (;;) {
    const Result result = next(nullptr);
    if (result == Result::Error) {
      rewind();
      return std::nullopt;
    }
    if (result == Result::End) break;
    ++count;
  }
  rewind();
  return count;
}

}  // namespace ostrel::playback
