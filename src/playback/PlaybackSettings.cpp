#include "playback/PlaybackSettings.h"

#include <cstdint>
#include <limits>

namespace ostrel::playback {

int settingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  constexpr int64_t limit = int64_t{std::numeric_limits<int>::max()} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > limit) value = limit;  // saturate rather than wrap
  }
  if (negative) return static_cast<int>(-value);
  return static_cast<int>(value >= limit ? limit - 1 : value);
}

PlaybackSettings readPlaybackSettings(const SettingLookup& lookup, int screenWidth, int screenHeight) {
  const auto integer = [&](std::string_view section, std::string_view key, int fallback) {
    const auto text = lookup(section, key);
    return text ? settingInteger(*text) : fallback;
  };
  PlaybackSettings settings;
  settings.framePeriod = integer("视频设置", "周期", 0);
  settings.overlay.x = integer("自设信息", "X", screenWidth + 10);
  settings.overlay.y = integer("自设信息", "Y", screenHeight + 10);
  settings.overlay.text = lookup("自设信息", "内容").value_or("");
  return settings;
}

}  // namespace ostrel::playback
