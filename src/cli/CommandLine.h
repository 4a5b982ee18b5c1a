#pragma once

#include <optional>
#include <span>

namespace ostrel::cli {

// Runs the command named by args[1] ("record", "info", ...). Returns nothing
// when no command was given, so the caller starts the desktop application.
std::optional<int> runCommand(std::span<char*> args);

}  // namespace ostrel::cli
