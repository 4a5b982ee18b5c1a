#include "platform/ini/IniDocument.h"

#include <algorithm>

#include "platform/files/FileIo.h"
#include "platform/text/GbkText.h"

namespace ostrel::platform {

namespace {

bool sameName(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::string_view trim(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

// The profile reader drops one pair of matching quotes around a value.
std::string_view unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

IniDocument::Section* IniDocument::findSection(std::string_view name) {
  for (auto& s : sections_) {
    if (sameName(s.name, name)) return &s;
  }
  return nullptr;
}

const IniDocument::Section* IniDocument::findSection(std::string_view name) const {
  return const_cast<IniDocument*>(this)->findSection(name);
}

void IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
  Section* s = findSection(section);
  if (!s) s = &sections_.emplace_back(Section{std::string(section), {}});
  for (auto& e : s->entries) {
    if (sameName(e.key, key)) {
      e.value = value;
      return;
    }
  }
  s->entries.push_back({std::string(key), std::string(value)});
}

std::optional<std::string> IniDocument::get(std::string_view section, std::string_view key) const {
  const Section* s = findSection(section);
  if (!s) return std::nullopt;
  for (const auto& e : s->entries) {
    if (sameName(e.key, key)) return e.value;
  }
  return std::nullopt;
}

std::string IniDocument::serialize() const {
  std::string text;
  for (const auto& s : sections_) {
    // Appended piece by piece: GCC 12 at -O3 warns falsely on chained "+" here.
    text.append("[").append(utf8ToGbk(s.name)).append("]\r\n");
    for (const auto& e : s.entries) {
      text.append(utf8ToGbk(e.key)).append("=").append(utf8ToGbk(e.value)).append("\r\n");
    }
  }
  return text;
}

IniDocument IniDocument::parse(std::string_view gbkText) {
  IniDocument doc;
  Section* current = nullptr;
  while (!gbkText.empty()) {
    const std::size_t end = gbkText.find('\n');
    const std::string_view line = trim(gbkText.substr(0, end));
    gbkText.remove_prefix(end == std::string_view::npos ? gbkText.size() : end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      if (close == std::string_view::npos) continue;
      const std::string name = gbkToUtf8(trim(line.substr(1, close - 1)));
      current = doc.findSection(name);
      if (!current) current = &doc.sections_.emplace_back(Section{name, {}});
      continue;
    }
    const std::size_t eq = line.find('=');
    if (!current || eq == std::string_view::npos) continue;
    const std::string key = gbkToUtf8(trim(line.substr(0, eq)));
    // The first of two equal keys is the one the profile reader returns.
    const bool known = std::any_of(current->entries.begin(), current->entries.end(),
                                   [&](const Entry& e) { return sameName(e.key, key); });
    if (!known) current->entries.push_back({key, gbkToUtf8(unquote(trim(line.substr(eq + 1))))});
  }
  return doc;
}

bool IniDocument::writeFile(const std::filesystem::path& path) const {
  const std::string text = serialize();
  return writeWholeFile(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

std::optional<IniDocument> IniDocument::readFile(const std::filesystem::path& path) {
  std::string text;
  if (!readWholeFile(path, text, 1u << 20)) return std::nullopt;
  return parse(text);
}

}  // namespace ostrel::platform
