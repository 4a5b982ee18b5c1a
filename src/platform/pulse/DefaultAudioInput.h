#pragma once

#include <memory>

#include "platform/AudioInput.h"

namespace ostrel::platform {

// The system's default sound input. Nothing is connected before the first
// open(), so making one costs nothing when sound is never recorded.
std::unique_ptr<AudioInput> openDefaultAudioInput();

}  // namespace ostrel::platform
