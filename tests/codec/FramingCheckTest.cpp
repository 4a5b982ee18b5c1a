#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codec/FramingCheck.h"

namespace ostrel::codec {
namespace {

TEST(ContainsFramingBytes, AgreesWithTheReferenceSearch) {
  std::mt19937 random(7);
  for (int round = 0; round < 400; ++round) {
    // Few distinct byte values so near-misses and first bytes are common.
    std::vector<uint8_t> data(random() % 100);
    for (auto& b : data)
      b = static_cast<uint8_t>(std::array{0x02, 0x0B, 0x16, 0x21, 0x04, 0x05, 0x00}[random() % 7]);
    if (round % 3 == 0 && !data.empty()) {
      const Bytes needle = round % 2 ? Bytes(FRAME_SEPARATOR) : Bytes(REGION_TRAILER);
      const std::size_t at = random() % (data.size() + 1);
      data.insert(
          data.begin() + static_cast<std::ptrdiff_t>(at), needle.begin(),
          needle.begin() + static_cast<std::ptrdiff_t>(random() % 2 ? needle.size() : needle.size() - 1));
    }
    ASSERT_EQ(containsFramingBytes(data), payloadBreaksFraming(data)) << round;
  }
}

}  // namespace
}  // namespace ostrel::codec
