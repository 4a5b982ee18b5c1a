#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "playback/PlaybackSettings.h"

namespace ostrel::playback {

// The values of a recording's INI settings file (GBK on disk), as UTF-8.
// Sections and keys match without regard to ASCII case; the first entry of a
// name wins, as with the Windows profile reader.
class ConfigFile {
 public:
  static ConfigFile parse(std::string_view gbkText);
  // Reads at most a small, fixed number of bytes: a settings file is a few lines.
  static std::optional<ConfigFile> load(const std::filesystem::path& path);

  std::optional<std::string> value(std::string_view section, std::string_view key) const;
  SettingLookup lookup() const;

 private:
  std::map<std::string, std::string> values_;  // "section\nkey", folded
};

// GBK bytes to UTF-8; undecodable bytes become U+FFFD.
std::string gbkToUtf8(std::string_view gbk);

}  // namespace ostrel::playback
