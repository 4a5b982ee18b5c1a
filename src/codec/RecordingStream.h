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

class JournalSyncer;

// The recording's byte stream (frame record + FRAME_SEPARATOR per tick).
//
// Without a journal the bytes sit in memory, in fixed-size chunks, so that
// appending never moves earlier bytes (the player's load buffer works so).
//
// With a journal every append is written through to one file at once, so a
// killed process loses nothing it had appended (the page cache keeps it), and
// a background thread makes the file durable at least once per sync interval,
// so a power cut loses at most that much. The file always holds exactly the
// leading bytes of the stream; bytes that could not be written (a full disk)
// wait in memory and every later append or flush tries them again. While the
// stream holds its journal it keeps an exclusive flock on it, which tells other
// processes that the recording is alive.
class RecordingStream {
 public:
  static constexpr std::size_t kDefaultChunkSize = std::size_t{1} << 20;
  static constexpr int kDefaultSyncIntervalMs = 500;

  explicit RecordingStream(std::size_t chunkSize = kDefaultChunkSize);
  // Lets go of a journal without deleting it: it stays for recovery.
  ~RecordingStream();
  RecordingStream(const RecordingStream&) = delete;
  RecordingStream& operator=(const RecordingStream&) = delete;

  // Creates `path` exclusively as this stream's journal and writes what the
  // stream already holds into it. False (lastError() says why) when the file
  // exists, cannot be created or locked; the stream then stays in memory.
  bool startJournal(const std::filesystem::path& path, int syncIntervalMs = kDefaultSyncIntervalMs);
  // Takes over an existing journal left by an earlier process as the whole
  // content of an empty stream (its bytes stay in the file). False when it
  // cannot be opened or another process holds it.
  bool adoptJournal(const std::filesystem::path& path);
  // Writes pending bytes and makes the file durable. True when the journal
  // then holds the whole stream on disk (or there is no journal).
  bool flushJournal();
  // Stops journalling and keeps the file where it is, unlocked; the stream is
  // empty afterwards. Returns how many appended bytes never reached the file
  // (those are lost with the memory; 0 unless the disk refused them).
  uint64_t releaseJournal();

  bool journaling() const { return static_cast<bool>(journalFd_); }
  const std::filesystem::path& journalPath() const { return journalPath_; }
  // Bytes of the stream that are in the journal file.
  uint64_t journalBytes() const { return fileBytes_; }

  // Appends bytes. With a journal they are written at once; a write failure
  // keeps them in memory and is reported by lastError(). Nothing appended is
  // ever dropped.
  void append(Bytes bytes);

  uint64_t size() const { return fileBytes_ + memoryBytes(); }
  bool empty() const { return size() == 0; }
  std::size_t residentBytes() const { return chunks_.size() * chunkSize_; }
  const std::string& lastError() const { return lastError_; }

  // Hands the bytes to `sink` front to back in blocks; stops when the sink
  // returns false. False when a block could not be read or the sink stopped.
  bool forEachBlock(const std::function<bool(Bytes)>& sink) const;

  // A copy of all bytes (meant for short streams; the package step streams).
  std::vector<uint8_t> bytes() const;

  // Empties the stream; a journal is deleted with it.
  void clear();

  // Replaces the content with the bytes of a file. On failure the stream is empty.
  bool loadFromFile(const std::filesystem::path& path);

  // Copies the whole content into a new file at `path` and empties the stream
  // (a journal is deleted once the copy is whole). On failure the stream keeps
  // every byte.
  bool moveToFile(const std::filesystem::path& path);

  // Splits at every occurrence of `separator` (the reading rules of
  // splitFrameRecords), handing each record to `sink` in order.
  bool forEachRecord(Bytes separator, const std::function<bool(Bytes)>& sink) const;
  std::vector<std::vector<uint8_t>> split(Bytes separator) const;

 private:
  std::size_t memoryBytes() const;
  void keepInMemory(Bytes bytes);
  // Writes as much of `bytes` to the journal as it takes; returns how many went in.
  std::size_t writeThrough(Bytes bytes);
  // Writes the memory chunks to the journal, front first; true when none are left.
  bool writePending();
  void stopJournal();
  void dropMemory();
  // Writes `path` anew with what `fill` puts into the open file; on failure the
  // partial file is removed and lastError() says why.
  bool writeNewFile(const std::filesystem::path& path, const std::function<bool(int fd)>& fill);

  std::size_t chunkSize_;
  // Bytes after the journalled ones (all of them without a journal); all
  // chunks but the last are full.
  std::vector<std::unique_ptr<uint8_t[]>> chunks_;
  std::size_t lastChunkUsed_ = 0;
  // Offset of the first byte not yet taken out of chunks_.front() (pending writes).
  std::size_t firstChunkStart_ = 0;

  platform::UniqueFd journalFd_;
  std::filesystem::path journalPath_;
  uint64_t fileBytes_ = 0;
  std::unique_ptr<JournalSyncer> syncer_;
  std::string lastError_;
};

}  // namespace ostrel::codec
