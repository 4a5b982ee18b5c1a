#include "playback/ConfigFile.h"

#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <iterator>
#include <memory>

#include "playback/FileHandle.h"

namespace ostrel::playback {

namespace {

constexpr std::size_t kMaxConfigBytes = 1 << 20;

std::string fold(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::string_view trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string entryName(std::string_view section, std::string_view key) {
  return fold(trim(section)) + '\n' + fold(trim(key));
}

}  // namespace

std::string gbkToUtf8(std::string_view gbk) {
  const auto closer = [](iconv_t cd) { iconv_close(cd); };
  const iconv_t raw = iconv_open("UTF-8", "GBK");
  if (raw == reinterpret_cast<iconv_t>(-1)) return std::string(gbk);
  const std::unique_ptr<std::remove_pointer_t<iconv_t>, decltype(closer)> cd(raw, closer);
  std::string out;
  char buffer[256];
  char* in = const_cast<char*>(gbk.data());
  std::size_t inLeft = gbk.size();
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t result = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
      out += "\xEF\xBF\xBD";  // one undecodable byte, then go on
      ++in;
      --inLeft;
    }
  }
  return out;
}

ConfigFile ConfigFile::parse(std::string_view gbkText) {
  ConfigFile config;
  const std::string text = gbkToUtf8(gbkText);
  std::string section;
  bool inSection = false;
  std::string_view rest(text);
  while (!rest.empty()) {
    const auto end = rest.find('\n');
    const std::string_view line = trim(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const auto close = line.find(']');
      section = std::string(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
      inSection = true;
      continue;
    }
    const auto equals = line.find('=');
    if (!inSection || equals == std::string_view::npos) continue;
    std::string_view value = trim(line.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    config.values_.emplace(entryName(section, line.substr(0, equals)), std::string(value));
  }
  return config;
}

std::optional<ConfigFile> ConfigFile::load(const std::filesystem::path& path) {
  const FileHandle file = FileHandle::openForReading(path);
  if (!file.valid()) return std::nullopt;
  std::string text(kMaxConfigBytes, '\0');
  std::size_t filled = 0;
  while (filled < text.size()) {
    const ssize_t got = ::read(file.fd(), text.data() + filled, text.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  text.resize(filled);
  return parse(text);
}

std::optional<std::string> ConfigFile::value(std::string_view section, std::string_view key) const {
  const auto it = values_.find(entryName(section, key));
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

SettingLookup ConfigFile::lookup() const {
  return [this](std::string_view section, std::string_view key) { return value(section, key); };
}

}  // namespace ostrel::playback
