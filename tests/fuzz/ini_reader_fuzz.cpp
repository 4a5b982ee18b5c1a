// Hostile settings files: any bytes as a recording's Config, through the INI
// reader and the player's reading of its frame period and overlay.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "platform/ini/IniDocument.h"
#include "playback/PlaybackSettings.h"

namespace {

// What the setting reader must give: leading blanks, a sign, digits, with
// values past the int range held at its ends.
long long referenceInteger(std::string_view text) {
  std::size_t i = text.find_first_not_of(" \t");
  if (i == std::string_view::npos) return 0;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = std::min(value * 10 + (text[i] - '0'), 1LL << 32);
  if (negative) value = -value;
  return std::clamp<long long>(value, INT_MIN, INT_MAX);
}

// The section lines and the keys of serialised INI text, without values.
std::string namesOnly(std::string_view text) {
  std::string names;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.starts_with('[')) line = line.substr(0, line.find('='));
    names.append(line).push_back('\n');
  }
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto doc = ostrel::platform::IniDocument::parse(text);
  const auto settings = ostrel::playback::readPlaybackSettings(
      [&doc](std::string_view section, std::string_view key) { return doc.get(section, key); }, 1920, 1080);
  if (const auto period = doc.get("视频设置", "周期"))
    FUZZ_CHECK(settings.framePeriod == referenceInteger(*period));
  else
    FUZZ_CHECK(settings.framePeriod == 0);
  FUZZ_CHECK(settings.overlay.text == doc.get("自设信息", "内容").value_or(""));

  // What the reader made of the file writes out and reads back with the same
  // sections and keys (values lose their blanks and quotes once more).
  const std::string written = doc.serialize();
  FUZZ_CHECK(namesOnly(ostrel::platform::IniDocument::parse(written).serialize()) == namesOnly(written));
  return 0;
}
