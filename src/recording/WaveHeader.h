#pragma once

#include <array>
#include <cstdint>

#include "platform/AudioInput.h"

namespace ostrel::recording {

inline constexpr std::size_t WAVE_HEADER_SIZE = 44;

// The largest data size the header's 32-bit sizes can describe.
inline constexpr uint32_t WAVE_MAX_DATA_SIZE = 0xFFFFFFFFu - 36u;

// The 44-byte header of a PCM WAVE file holding `dataSize` sample bytes.
std::array<uint8_t, WAVE_HEADER_SIZE> makeWaveHeader(const platform::AudioFormat& format, uint32_t dataSize);

}  // namespace ostrel::recording
