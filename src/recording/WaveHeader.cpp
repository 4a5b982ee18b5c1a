#include "recording/WaveHeader.h"

#include <cstring>

namespace ostrel::recording {

namespace {

void put16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void put32(uint8_t* at, uint32_t value) {
  put16(at, value & 0xFFFFu);
  put16(at + 2, value >> 16);
}

}  // namespace

std::array<uint8_t, WAVE_HEADER_SIZE> makeWaveHeader(const platform::AudioFormat& format, uint32_t dataSize) {
  std::array<uint8_t, WAVE_HEADER_SIZE> header{};
  uint8_t* h = header.data();
  std::memcpy(h, "RIFF", 4);
  put32(h + 4, dataSize + 36u);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  put32(h + 16, 16);  // size of the format block
  put16(h + 20, 1);   // PCM
  put16(h + 22, static_cast<uint32_t>(format.channels));
  put32(h + 24, static_cast<uint32_t>(format.samplesPerSecond));
  put32(h + 28, static_cast<uint32_t>(format.bytesPerSecond()));
  put16(h + 32, static_cast<uint32_t>(format.blockAlign()));
  put16(h + 34, static_cast<uint32_t>(format.bitsPerSample));
  std::memcpy(h + 36, "data", 4);
  put32(h + 40, dataSize);
  return header;
}

}  // namespace ostrel::recording
