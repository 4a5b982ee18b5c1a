#include "platform/files/XdgFolders.h"

#include <cstdlib>

namespace ostrel::platform {

namespace {

bool absolute(const char* text) { return text && *text == '/'; }

}  // namespace

std::filesystem::path xdgProgramFolder(const char* variable, const char* homeDefault) {
  if (const char* base = std::getenv(variable); absolute(base)) return std::filesystem::path(base) / "ostrel";
  if (const char* home = std::getenv("HOME"); absolute(home))
    return std::filesystem::path(home) / homeDefault / "ostrel";
  return {};
}

std::filesystem::path defaultJournalFolder() {
  const std::filesystem::path cache = xdgProgramFolder("XDG_CACHE_HOME", ".cache");
  return cache.empty() ? cache : cache / "TempFiles";
}

}  // namespace ostrel::platform
