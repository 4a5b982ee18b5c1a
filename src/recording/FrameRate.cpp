#include "recording/FrameRate.h"

#include <algorithm>
#include <climits>

namespace ostrel::recording {

int leadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) value = INT_MAX;  // saturate instead of overflowing
  }
  return static_cast<int>(negative ? -value : value);
}

int timerPeriodFor(std::string_view frameRateText) {
  const int rate = std::clamp(leadingInteger(frameRateText), kMinFrameRate, kMaxFrameRate);
  return 1000 / rate;
}

std::optional<std::string> correctedFrameRateText(std::string_view text) {
  const int value = leadingInteger(text);
  if (value <= 0) return std::string("1");
  if (value > kMaxFrameRate) return std::string("25");
  return std::nullopt;
}

}  // namespace ostrel::recording
