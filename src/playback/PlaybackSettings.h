#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel::playback {

// Text drawn on the player's canvas after every frame; text is UTF-8.
struct Overlay {
  int x = 0;
  int y = 0;
  std::string text;
};

struct PlaybackSettings {
  int framePeriod = 0;  // milliseconds; 0 or less: the recording does not play by itself
  Overlay overlay;
};

// Looks a value up by section and key (UTF-8); nothing when it is missing.
using SettingLookup =
    std::function<std::optional<std::string>(std::string_view section, std::string_view key)>;

// Reads the frame period and the overlay from a recording's settings. Missing
// period: 0. Missing position: just outside the screen, so nothing shows.
PlaybackSettings readPlaybackSettings(const SettingLookup& lookup, int screenWidth, int screenHeight);

// Integer value of a setting text the way the recorder's reader takes it:
// leading blanks, a sign, digits; anything else reads as 0.
int settingInteger(std::string_view text);

}  // namespace ostrel::playback
