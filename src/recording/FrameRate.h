#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ostrel::recording {

inline constexpr int kMinFrameRate = 1;
inline constexpr int kMaxFrameRate = 25;

// Integer value of a text the way the settings form reads it: leading blanks,
// an optional sign, then decimal digits; anything else ends the number, and a
// text without digits counts as 0.
int leadingInteger(std::string_view text);

// Capture period in milliseconds for the frame-rate text: 1000 div the rate.
// The form keeps the rate within 1..25; a rate outside is clamped here too so
// that a bad text can never divide by zero.
int timerPeriodFor(std::string_view frameRateText);

// The frame-rate box's check: the text to put back (with a beep) when the
// value is 0 or less ("1") or above 25 ("25"); nothing when it is valid.
std::optional<std::string> correctedFrameRateText(std::string_view text);

}  // namespace ostrel::recording
