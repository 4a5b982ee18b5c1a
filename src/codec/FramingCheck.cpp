#include "codec/FramingCheck.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ostrel::codec {

namespace {

static_assert(FRAME_SEPARATOR[0] == 0x0B && REGION_TRAILER[0] == 0x02);

// Whether a separator or trailer starts at `at`.
bool startsAt(const uint8_t* data, std::size_t size, std::size_t at) {
  const uint8_t first = data[at];
  if (first == FRAME_SEPARATOR[0])
    return size - at >= FRAME_SEPARATOR.size() &&
           std::memcmp(data + at, FRAME_SEPARATOR.data(), FRAME_SEPARATOR.size()) == 0;
  if (first == REGION_TRAILER[0])
    return size - at >= REGION_TRAILER.size() &&
           std::memcmp(data + at, REGION_TRAILER.data(), REGION_TRAILER.size()) == 0;
  return false;
}

}  // namespace

bool containsFramingBytes(Bytes payload) {
  const uint8_t* data = payload.data();
  const std::size_t size = payload.size();
  std::size_t i = 0;
#if defined(__SSE2__)
  // Only a byte equal to the first byte of either sequence can start one.
  const __m128i separatorFirst = _mm_set1_epi8(static_cast<char>(FRAME_SEPARATOR[0]));
  const __m128i trailerFirst = _mm_set1_epi8(static_cast<char>(REGION_TRAILER[0]));
  for (; i + 16 <= size; i += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(block, separatorFirst), _mm_cmpeq_epi8(block, trailerFirst))));
    while (mask != 0) {
      if (startsAt(data, size, i + static_cast<std::size_t>(__builtin_ctz(mask)))) return true;
      mask &= mask - 1;
    }
  }
#endif
  for (; i < size; ++i)
    if (startsAt(data, size, i)) return true;
  return false;
}

}  // namespace ostrel::codec
