#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "cli/PlaybackCommands.h"
#include "cli/RecordingAccess.h"
#include "platform/image/ImageCodec.h"
#include "playback/FrameDecoder.h"
#include "playback/RecordingSummary.h"

namespace ostrel::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage = "usage: ostrel export FILE [--size WxH] [--frame N | --all] --out PATH\n";

struct ExportOptions {
  std::string file;
  std::optional<std::pair<int, int>> size;
  std::optional<int64_t> frame;
  bool all = false;
  fs::path out;
};

template <typename T>
std::optional<T> parseNumber(std::string_view text) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::pair<int, int>> parseSize(std::string_view text) {
  const auto x = text.find('x');
  if (x == std::string_view::npos) return std::nullopt;
  const auto w = parseNumber<int>(text.substr(0, x));
  const auto h = parseNumber<int>(text.substr(x + 1));
  if (!w || !h || *w <= 0 || *h <= 0) return std::nullopt;
  return std::pair{*w, *h};
}

// Empty text when the arguments are fine, else what is wrong with them.
std::string parseArguments(std::span<char*> args, ExportOptions& options) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--all") {
      options.all = true;
    } else if (arg == "--size" && hasValue) {
      options.size = parseSize(args[++i]);
      if (!options.size) return "--size wants WIDTHxHEIGHT, for example 1920x1080";
    } else if (arg == "--frame" && hasValue) {
      options.frame = parseNumber<int64_t>(args[++i]);
      if (!options.frame || *options.frame < 1) return "--frame wants a frame number from 1 on";
    } else if (arg == "--out" && hasValue) {
      options.out = args[++i];
    } else if (options.file.empty() && !arg.starts_with("--")) {
      options.file = arg;
    } else {
      return "unexpected argument '" + std::string(arg) + "'";
    }
  }
  if (options.file.empty()) return "no recording file given";
  if (options.out.empty()) return "no --out PATH given";
  if (options.all && options.frame) return "--frame and --all exclude each other";
  return {};
}

bool writePng(const playback::BackBuffer& picture, const fs::path& path, std::string& error) {
  std::vector<uint8_t> png;
  const platform::BgrxView view{picture.pixels(), picture.width(), picture.height(),
                                static_cast<std::ptrdiff_t>(picture.stride())};
  if (!platform::encodePng(view, png)) {
    error = "encoding the picture failed";
    return false;
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  if (!file.flush()) {
    error = "cannot write " + path.string();
    return false;
  }
  return true;
}

std::string sequenceName(int64_t frame, int64_t total) {
  const std::size_t digits = std::max<std::size_t>(6, std::to_string(total).size());
  std::string number = std::to_string(frame);
  return "frame-" + std::string(digits - number.size(), '0') + number + ".png";
}

int fail(const std::string& message) {
  std::fprintf(stderr, "ostrel export: %s\n", message.c_str());
  return 1;
}

}  // namespace

int runExport(std::span<char*> args) {
  ExportOptions options;
  if (const std::string problem = parseArguments(args, options); !problem.empty()) {
    std::fprintf(stderr, "ostrel export: %s\n%s", problem.c_str(), kUsage);
    return 2;
  }
  playback::OpenedRecording opened = openRecordingFile(options.file);
  if (!opened.error.empty()) return fail(opened.error);
  auto& records = *opened.records;

  int width = 0, height = 0;
  if (options.size) {
    std::tie(width, height) = *options.size;
  } else {
    playback::RecordingSummary summary;
    if (!summariseRecords(records, summary)) return fail("reading the recording data failed");
    width = summary.boundingWidth;
    height = summary.boundingHeight;
    if (width <= 0 || height <= 0) return fail("the recording shows no picture; give --size WxH");
  }
  const int64_t last = options.all ? opened.totalFrames : options.frame.value_or(opened.totalFrames);
  if (last > opened.totalFrames)
    return fail("the recording has " + std::to_string(opened.totalFrames) + " frames, not " +
                std::to_string(last));

  playback::FrameDecoder decoder;
  if (!decoder.Init(width, height, false, 6))
    return fail("a picture of " + std::to_string(width) + "x" + std::to_string(height) + " is not allowed");

  std::error_code fsError;
  if (options.all) {
    fs::create_directories(options.out, fsError);
    if (!fs::is_directory(options.out)) return fail(options.out.string() + " is not a folder");
  }
  std::vector<uint8_t> record;
  std::string error;
  for (int64_t frame = 1; frame <= last; ++frame) {
    if (records.next(&record) != playback::FrameRecordReader::Result::Record)
      return fail("reading the recording data failed");
    decoder.ApplyFrame(record);
    if (options.all && !writePng(decoder.backBuffer(), options.out / sequenceName(frame, last), error))
      return fail(error);
  }
  if (!options.all && !writePng(decoder.backBuffer(), options.out, error)) return fail(error);
  decoder.Close();
  return 0;
}

}  // namespace ostrel::cli
