#include "recording/JournalSettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>

#include "platform/files/FileIo.h"

namespace ostrel::recording {

namespace {

constexpr std::string_view kHeader = "ostrel journal settings 1";
constexpr uint64_t kMaxSettingsBytes = 64 * 1024;

std::string escape(std::string_view value) {
  std::string out;
  for (const char c : value) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

std::string unescape(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    const char next = value[++i];
    out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return out;
}

template <typename Number>
bool parseNumber(std::string_view text, Number& out) {
  Number value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  out = value;
  return true;
}

}  // namespace

std::string SerializeJournalDescription(const JournalDescription& d) {
  std::string out(kHeader);
  out += '\n';
  const auto line = [&out](std::string_view key, std::string_view value) {
    out.append(key).append("=").append(escape(value)).append("\n");
  };
  line("file-name", d.fileName);
  line("save-folder", d.saveFolder.string());
  line("frame-rate", std::to_string(d.settings.frameRate));
  line("overlay-x", d.settings.overlayX);
  line("overlay-y", d.settings.overlayY);
  line("overlay-text", d.settings.overlayText);
  line("compression", std::to_string(d.compressionKind));
  line("start-time", std::to_string(d.startTime));
  return out;
}

std::optional<JournalDescription> ParseJournalDescription(std::string_view text) {
  if (!text.starts_with(kHeader)) return std::nullopt;
  JournalDescription d;
  bool named = false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals);
    const std::string value = unescape(line.substr(equals + 1));
    if (key == "file-name") {
      d.fileName = value;
      named = true;
    } else if (key == "save-folder") {
      // Only an absolute folder can be used as it stands.
      if (!value.empty() && value.front() == '/') d.saveFolder = value;
    } else if (key == "frame-rate") {
      parseNumber(value, d.settings.frameRate);
    } else if (key == "overlay-x") {
      d.settings.overlayX = value;
    } else if (key == "overlay-y") {
      d.settings.overlayY = value;
    } else if (key == "overlay-text") {
      d.settings.overlayText = value;
    } else if (key == "compression") {
      parseNumber(value, d.compressionKind);
    } else if (key == "start-time") {
      parseNumber(value, d.startTime);
    }
  }
  if (!named) return std::nullopt;
  return d;
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes, std::string* error) {
  std::string pattern = path.string() + ".tmp-XXXXXX";
  platform::UniqueFd fd(::mkostemp(pattern.data(), O_CLOEXEC));
  const auto fail = [&](const std::string& what) {
    if (error) *error = what + ": " + platform::errnoText();
    if (fd) ::unlink(pattern.c_str());
    return false;
  };
  if (!fd) return fail("cannot create a file beside " + path.string());
  const std::span data(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  if (!platform::writeAll(fd.get(), data) || ::fsync(fd.get()) != 0) return fail("cannot write " + pattern);
  if (!fd.close()) return fail("cannot write " + pattern);
  if (::rename(pattern.c_str(), path.c_str()) != 0) {
    if (error) *error = "cannot rename " + pattern + " to " + path.string() + ": " + platform::errnoText();
    ::unlink(pattern.c_str());
    return false;
  }
  platform::syncToDisk(path.parent_path());
  return true;
}

bool WriteJournalSettings(const std::filesystem::path& path, const JournalDescription& description,
                          std::string* error) {
  return WriteFileAtomically(path, SerializeJournalDescription(description), error);
}

std::optional<JournalDescription> ReadJournalSettings(const std::filesystem::path& path) {
  std::string text;
  if (!platform::readWholeFile(path, text, kMaxSettingsBytes)) return std::nullopt;
  return ParseJournalDescription(text);
}

}  // namespace ostrel::recording
