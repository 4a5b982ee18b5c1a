#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "codec/StreamFormat.h"
#include "platform/files/UniqueFd.h"

namespace ostrel::codec {

// The recording's byte stream (frame record + FRAME_SEPARATOR per tick).
// Appending never moves earlier bytes: they sit in fixed-size chunks. Given a
// spill folder, the stream keeps at most `spillThreshold` bytes in memory;
// past that it moves its full chunks into one file in that folder, which then
// holds exactly the leading bytes of the stream, so resident memory stays
// bounded whatever the length of the recording.
class RecordingStream {
 public:
  static constexpr std::size_t kDefaultChunkSize = std::size_t{1} << 20;
  static constexpr std::size_t kDefaultSpillThreshold = std::size_t{64} << 20;

  explicit RecordingStream(std::size_t chunkSize = kDefaultChunkSize);
  ~RecordingStream();
  RecordingStream(const RecordingStream&) = delete;
  RecordingStream& operator=(const RecordingStream&) = delete;

  // Where to spill and from how many resident bytes on. An empty folder keeps
  // everything in memory (the player's load buffer does that).
  void setSpillFolder(std::filesystem::path folder, std::size_t threshold = kDefaultSpillThreshold);

  // Appends bytes. A spill failure keeps the bytes in memory and is reported
  // by lastError(); nothing appended is ever dropped.
  void append(Bytes bytes);

  uint64_t size() const { return fileBytes_ + memoryBytes(); }
  bool empty() const { return size() == 0; }
  std::size_t residentBytes() const { return chunks_.size() * chunkSize_; }
  bool spilled() const { return static_cast<bool>(spillFd_); }
  const std::filesystem::path& spillPath() const { return spillPath_; }
  const std::string& lastError() const { return lastError_; }

  // Hands the bytes to `sink` front to back in blocks; stops when the sink
  // returns false. False when a block could not be read or the sink stopped.
  bool forEachBlock(const std::function<bool(Bytes)>& sink) const;

  // A copy of all bytes (meant for short streams; the package step streams).
  std::vector<uint8_t> bytes() const;

  // Empties the stream and deletes its spill file.
  void clear();

  // Replaces the content with the bytes of a file. On failure the stream is empty.
  bool loadFromFile(const std::filesystem::path& path);

  // Moves the whole content into a new file at `path` and empties the stream.
  // A spilled stream renames its spill file there when it can, so a long
  // recording is not copied. On failure the stream keeps every byte.
  bool moveToFile(const std::filesystem::path& path);

  // Splits at every occurrence of `separator` (the reading rules of
  // splitFrameRecords), handing each record to `sink` in order.
  bool forEachRecord(Bytes separator, const std::function<bool(Bytes)>& sink) const;
  std::vector<std::vector<uint8_t>> split(Bytes separator) const;

 private:
  std::size_t memoryBytes() const;
  bool spillFullChunks();
  void dropMemory();
  // Writes `path` anew with what `fill` puts into the open file; on failure the
  // partial file is removed and lastError() says why.
  bool writeNewFile(const std::filesystem::path& path, const std::function<bool(int fd)>& fill);

  std::size_t chunkSize_;
  // Memory chunks after the spilled bytes; all but the last are full.
  std::vector<std::unique_ptr<uint8_t[]>> chunks_;
  std::size_t lastChunkUsed_ = 0;

  std::filesystem::path spillFolder_;
  std::size_t spillThreshold_ = kDefaultSpillThreshold;
  platform::UniqueFd spillFd_;
  std::filesystem::path spillPath_;
  uint64_t fileBytes_ = 0;
  bool spillBroken_ = false;
  std::string lastError_;
};

}  // namespace ostrel::codec
