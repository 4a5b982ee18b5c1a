#include "recording/RecordingConfig.h"

#include <algorithm>
#include <climits>

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

int ProfileInteger(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = std::min<long long>(value * 10 + (c - '0'), INT_MAX);
  }
  return static_cast<int>(negative ? -value : value);
}

PlaybackSettings ReadRecordingConfig(const std::optional<platform::IniDocument>& config, int screenWidth,
                                     int screenHeight) {
  const auto value = [&config](std::string_view section, std::string_view key, std::string fallback) {
    if (config) {
      if (auto v = config->get(section, key)) return *v;
    }
    return fallback;
  };
  PlaybackSettings settings;
  settings.framePeriod = ProfileInteger(value(kVideoSection, kPeriodKey, "0"));
  settings.overlayX = ProfileInteger(value(kOverlaySection, kOverlayXKey, std::to_string(screenWidth + 10)));
  settings.overlayY = ProfileInteger(value(kOverlaySection, kOverlayYKey, std::to_string(screenHeight + 10)));
  settings.overlayText = value(kOverlaySection, kOverlayTextKey, "");
  return settings;
}

}  // namespace ostrel::recording
