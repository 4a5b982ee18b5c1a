#include "platform/pulse/DefaultAudioInput.h"

#include "platform/pulse/PulseAudioInput.h"

namespace ostrel::platform {

std::unique_ptr<AudioInput> openDefaultAudioInput() { return std::make_unique<PulseAudioInput>(); }

}  // namespace ostrel::platform
