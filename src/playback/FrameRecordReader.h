#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/files/UniqueFd.h"

namespace ostrel::playback {

// Reads the frame records of a recording stream one at a time from a file, so
// a recording of any length plays in bounded memory. Splits exactly as the
// player's loading rules say: every separator ends one record (empty ones
// included), bytes after the last separator form one more record, and data
// without any separator, empty data included, is exactly one record.
class FrameRecordReader {
 public:
  struct Options {
    std::size_t chunkSize = std::size_t{1} << 20;
    // A record longer than this is consumed but handed out empty: no real
    // frame comes near it, and a damaged file must not take all memory.
    std::size_t maxRecordSize = std::size_t{256} << 20;
  };

  enum class Result { Record, End, Error };

  FrameRecordReader(platform::UniqueFd file, Options options);

  // Opens `path` for reading; nothing when it cannot be opened.
  static std::optional<FrameRecordReader> open(const std::filesystem::path& path, Options options);
  static std::optional<FrameRecordReader> open(const std::filesystem::path& path) {
    return open(path, Options{});
  }

  // Reads the next record into `record` (replacing its content), or skips it
  // when `record` is null.
  Result next(std::vector<uint8_t>* record);

  // True when the record last returned was too long and was handed out empty.
  bool lastRecordOversized() const { return lastOversized_; }

  // Starts again at the first record.
  void rewind();

  // Counts the records in one pass and rewinds; nothing on a read error.
  std::optional<int64_t> countRecords();

 private:
  bool readChunk(bool& endOfFile);
  Result finishRecord(std::size_t end, std::size_t resumeAt, std::vector<uint8_t>* record);

  platform::UniqueFd file_;
  Options options_;
  uint64_t fileOffset_ = 0;
  std::vector<uint8_t> buffer_;
  std::size_t head_ = 0;       // first byte of the current record in buffer_
  std::size_t scanFrom_ = 0;   // no separator starts before this offset
  uint64_t droppedBytes_ = 0;  // bytes of the current record already discarded
  bool oversized_ = false;
  bool lastOversized_ = false;
  bool ended_ = false;
  int64_t recordsRead_ = 0;
};

}  // namespace ostrel::playback
