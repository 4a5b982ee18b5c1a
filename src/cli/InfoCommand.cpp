#include <cstdio>
#include <string>
#include <string_view>

#include "cli/JsonText.h"
#include "cli/PlaybackCommands.h"
#include "cli/RecordingAccess.h"
#include "playback/RecordingSummary.h"

namespace ostrel::cli {

namespace {

using playback::OpenedRecording;
using playback::RecordingSummary;

int64_t durationMs(const OpenedRecording& opened, const RecordingSummary& summary) {
  return summary.frames * std::max(opened.settings.framePeriod, 0);
}

void printText(const std::string& file, const OpenedRecording& opened, const RecordingSummary& s) {
  std::printf("file:      %s\nmembers:  ", file.c_str());
  for (const auto& member : opened.members) std::printf(" %s (%ju bytes)", member.name.c_str(), member.size);
  const auto& overlay = opened.settings.overlay;
  std::printf("\nperiod:    %d ms\n", opened.settings.framePeriod);
  if (overlay.text.empty())
    std::puts("overlay:   none");
  else
    std::printf("overlay:   \"%s\" at (%d, %d)\n", overlay.text.c_str(), overlay.x, overlay.y);
  std::printf("frames:    %lld (%lld empty)\n", static_cast<long long>(s.frames),
              static_cast<long long>(s.emptyFrames));
  std::printf("regions:   %lld (png %lld, jpeg %lld, bmp %lld, unknown %lld; %lld unframed pieces)\n",
              static_cast<long long>(s.regions()), static_cast<long long>(s.pngRegions),
              static_cast<long long>(s.jpegRegions), static_cast<long long>(s.bmpRegions),
              static_cast<long long>(s.unknownRegions), static_cast<long long>(s.unframedPieces));
  if (s.oversizedFrames > 0)
    std::printf("oversized: %lld frames too long to play\n", static_cast<long long>(s.oversizedFrames));
  std::printf("size:      %dx%d\n", s.boundingWidth, s.boundingHeight);
  const int64_t ms = durationMs(opened, s);
  std::printf("duration:  %lld.%03lld s\n", static_cast<long long>(ms / 1000),
              static_cast<long long>(ms % 1000));
}

void printJson(const std::string& file, const OpenedRecording& opened, const RecordingSummary& s) {
  std::string json = "{\"file\":" + jsonString(file) + ",\"members\":[";
  for (std::size_t i = 0; i < opened.members.size(); ++i) {
    if (i) json += ",";
    json += "{\"name\":" + jsonString(opened.members[i].name) +
            ",\"size\":" + std::to_string(opened.members[i].size) + "}";
  }
  const auto& overlay = opened.settings.overlay;
  json += "],\"framePeriod\":" + std::to_string(opened.settings.framePeriod) +
          ",\"overlay\":{\"x\":" + std::to_string(overlay.x) + ",\"y\":" + std::to_string(overlay.y) +
          ",\"text\":" + jsonString(overlay.text) + "}" + ",\"frames\":" + std::to_string(s.frames) +
          ",\"emptyFrames\":" + std::to_string(s.emptyFrames) +
          ",\"oversizedFrames\":" + std::to_string(s.oversizedFrames) +
          ",\"regions\":{\"total\":" + std::to_string(s.regions()) +
          ",\"png\":" + std::to_string(s.pngRegions) + ",\"jpeg\":" + std::to_string(s.jpegRegions) +
          ",\"bmp\":" + std::to_string(s.bmpRegions) + ",\"unknown\":" + std::to_string(s.unknownRegions) +
          ",\"unframed\":" + std::to_string(s.unframedPieces) +
          "},\"width\":" + std::to_string(s.boundingWidth) +
          ",\"height\":" + std::to_string(s.boundingHeight) +
          ",\"durationMs\":" + std::to_string(durationMs(opened, s)) + "}";
  std::puts(json.c_str());
}

}  // namespace

int runInfo(std::span<char*> args) {
  std::string file;
  bool json = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--json") {
      json = true;
    } else if (file.empty() && !arg.starts_with("--")) {
      file = arg;
    } else {
      std::fprintf(stderr, "ostrel info: unexpected argument '%s'\nusage: ostrel info FILE [--json]\n",
                   args[i]);
      return 2;
    }
  }
  if (file.empty()) {
    std::fputs("usage: ostrel info FILE [--json]\n", stderr);
    return 2;
  }
  OpenedRecording opened = openRecordingFile(file);
  RecordingSummary summary;
  if (opened.error.empty() && !summariseRecords(*opened.records, summary))
    opened.error = "Reading the recording data of " + file + " failed.";
  if (!opened.error.empty()) {
    std::fprintf(stderr, "ostrel info: %s\n", opened.error.c_str());
    return 1;
  }
  if (json)
    printJson(file, opened, summary);
  else
    printText(file, opened, summary);
  return 0;
}

}  // namespace ostrel::cli
