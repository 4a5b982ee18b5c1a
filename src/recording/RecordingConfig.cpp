#include "recording/RecordingConfig.h"

#include <algorithm>

namespace ostrel::recording {

int FramePeriodMs(int frameRate) { return 1000 / std::clamp(frameRate, 1, 25); }

platform::IniDocument MakeRecordingConfig(const RecordingSettings& settings) {
  platform::IniDocument config;
  config.set(kVideoSection, kPeriodKey, std::to_string(FramePeriodMs(settings.frameRate)));
  config.set(kOverlaySection, kOverlayXKey, settings.overlayX);
  config.set(kOverlaySection, kOverlayYKey, settings.overlayY);
  config.set(kOverlaySection, kOverlayTextKey, settings.overlayText);
  return config;
}

}  // namespace ostrel::recording
