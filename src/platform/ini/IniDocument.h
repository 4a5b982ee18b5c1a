#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// INI files as the Windows profile functions write and read them: GBK text,
// "[section]" and "key=value" lines ended by CRLF, sections and keys in the
// order they were first written, names compared without regard to ASCII case.
// The program's side of this class works in UTF-8.
namespace ostrel::platform {

class IniDocument {
 public:
  // Sets a value the way one profile-writer call does: an existing key keeps
  // its place, a new key goes to the end of its section, a new section to the
  // end of the file.
  void set(std::string_view section, std::string_view key, std::string_view value);
  std::optional<std::string> get(std::string_view section, std::string_view key) const;

  // GBK bytes with CRLF line ends, no blank lines.
  std::string serialize() const;
  // Reads GBK text with CRLF or LF line ends; lines it cannot read are skipped.
  static IniDocument parse(std::string_view gbkText);

  bool writeFile(const std::filesystem::path& path) const;
  static std::optional<IniDocument> readFile(const std::filesystem::path& path);

 private:
  struct Entry {
    std::string key;
    std::string value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };
  Section* findSection(std::string_view name);
  const Section* findSection(std::string_view name) const;

  std::vector<Section> sections_;
};

}  // namespace ostrel::platform
