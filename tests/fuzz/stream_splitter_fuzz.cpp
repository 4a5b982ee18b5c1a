// Hostile recording data files: the in-memory frame splitter and the player's
// file reader must cut any bytes into the same records, and the records with
// their separators must give the bytes back.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "codec/StreamFormat.h"
#include "platform/files/FileIo.h"
#include "playback/FrameRecordReader.h"

namespace {

using ostrel::codec::Bytes;
using ostrel::codec::FRAME_SEPARATOR;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte sets the reader's chunk size, so that separators fall
  // across chunk edges, and a record limit small enough to be reached.
  const std::size_t chunkSize = std::size_t{1} + data[0] % 32;
  const std::size_t maxRecordSize = std::size_t{8} + data[0] / 4;
  const Bytes stream(data + 1, size - 1);

  const std::vector<Bytes> records = ostrel::codec::splitFrameRecords(stream);
  std::vector<uint8_t> joined;
  for (const Bytes record : records) {
    FUZZ_CHECK(record.data() >= stream.data() &&
               record.data() + record.size() <= stream.data() + stream.size());
    FUZZ_CHECK(ostrel::codec::findSequence(record, FRAME_SEPARATOR) == record.size());
    joined.insert(joined.end(), record.begin(), record.end());
    joined.insert(joined.end(), FRAME_SEPARATOR.begin(), FRAME_SEPARATOR.end());
  }
  // Only a stream that does not end in a separator loses the last one.
  const bool endsInSeparator =
      stream.size() >= FRAME_SEPARATOR.size() &&
      std::equal(FRAME_SEPARATOR.begin(), FRAME_SEPARATOR.end(), stream.end() - FRAME_SEPARATOR.size());
  if (!records.empty() && !endsInSeparator) joined.resize(joined.size() - FRAME_SEPARATOR.size());
  FUZZ_CHECK(std::equal(joined.begin(), joined.end(), stream.begin(), stream.end()));

  for (const Bytes record : records) {
    for (const auto& slice : ostrel::codec::splitRegionPieces(record)) {
      FUZZ_CHECK(slice.bytes.data() >= record.data() &&
                 slice.bytes.data() + slice.bytes.size() <= record.data() + record.size());
      if (slice.framed) FUZZ_CHECK(slice.piece.payload.size() + 10 == slice.bytes.size());
    }
  }

  // The file reader, over the same bytes in an anonymous file.
  ostrel::platform::UniqueFd file(::memfd_create("stream", MFD_CLOEXEC));
  if (!file || !ostrel::platform::writeAll(file.get(), stream)) return 0;
  ostrel::playback::FrameRecordReader reader(std::move(file), {chunkSize, maxRecordSize});
  const auto count = reader.countRecords();
  FUZZ_CHECK(count.has_value());
  // No bytes at all are still one (empty) record to the player.
  const std::size_t expected = std::max<std::size_t>(records.size(), 1);
  FUZZ_CHECK(static_cast<std::size_t>(*count) == expected);
  std::vector<uint8_t> record;
  for (std::size_t i = 0; i < expected; ++i) {
    FUZZ_CHECK(reader.next(&record) == ostrel::playback::FrameRecordReader::Result::Record);
    const Bytes want = records.empty() ? Bytes() : records[i];
    if (reader.lastRecordOversized()) {
      FUZZ_CHECK(record.empty() && want.size() > maxRecordSize);
    } else {
      FUZZ_CHECK(std::equal(record.begin(), record.end(), want.begin(), want.end()));
    }
  }
  FUZZ_CHECK(reader.next(&record) == ostrel::playback::FrameRecordReader::Result::End);
  return 0;
}
