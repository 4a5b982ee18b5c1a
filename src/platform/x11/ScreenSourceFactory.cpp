#include "platform/x11/ScreenSourceFactory.h"

#include <charconv>
#include <cstdlib>

#include "platform/fake/FakeScreen.h"
#include "platform/x11/X11ScreenSource.h"

namespace ostrel::platform {

namespace {

// Largest side a fake screen may have; X11 coordinates are 16-bit as well.
constexpr int kMaxFakeSide = 16384;

std::optional<int> parseSide(std::string_view text) {
  int value = 0;
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (status != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value <= 0 || value > kMaxFakeSide) return std::nullopt;
  return value;
}

}  // namespace

std::optional<ScreenChoice> parseScreenChoice(std::string_view value) {
  if (value.empty() || value == "x11") return ScreenChoice{};
  constexpr std::string_view fakePrefix = "fake:";
  if (!value.starts_with(fakePrefix)) return std::nullopt;
  value.remove_prefix(fakePrefix.size());
  const std::size_t cross = value.find('x');
  if (cross == std::string_view::npos) return std::nullopt;
  const std::optional<int> width = parseSide(value.substr(0, cross));
  const std::optional<int> height = parseSide(value.substr(cross + 1));
  if (!width || !height) return std::nullopt;
  return ScreenChoice{ScreenChoice::Kind::Fake, *width, *height};
}

std::unique_ptr<ScreenSource> openScreenSource(std::string* error) {
  const char* variable = std::getenv("OSTREL_SCREEN");
  const std::optional<ScreenChoice> choice = parseScreenChoice(variable ? variable : "");
  if (!choice) {
    if (error) *error = std::string("OSTREL_SCREEN names no screen backend: '") + variable + "'";
    return nullptr;
  }
  if (choice->kind == ScreenChoice::Kind::Fake)
    return std::make_unique<FakeScreen>(choice->width, choice->height);
  return X11ScreenSource::open({}, error);
}

}  // namespace ostrel::platform
