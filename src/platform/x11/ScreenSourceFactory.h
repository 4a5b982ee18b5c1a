#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ScreenSource.h"

namespace ostrel::platform {

// Which screen `openScreenSource` opens. The environment variable
// OSTREL_SCREEN chooses: unset, empty or "x11" is the X server on $DISPLAY;
// "fake:WxH" is an in-memory screen of that size, for tests and benchmarks
// that must not depend on a display.
struct ScreenChoice {
  enum class Kind { X11, Fake };
  Kind kind = Kind::X11;
  int width = 0;  // fake screens only
  int height = 0;
};

// Empty for a value that names no backend, so a typo never grabs the real desktop.
std::optional<ScreenChoice> parseScreenChoice(std::string_view value);

// The screen backend chosen by OSTREL_SCREEN; nullptr (and a reason in
// `error`) when it cannot be opened.
std::unique_ptr<ScreenSource> openScreenSource(std::string* error = nullptr);

}  // namespace ostrel::platform
