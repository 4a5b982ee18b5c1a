#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ini/IniDocument.h"

// The settings file "Config" stored beside the frame stream in a recording.
namespace ostrel::recording {

inline constexpr std::string_view kVideoSection = "视频设置";
inline constexpr std::string_view kPeriodKey = "周期";
inline constexpr std::string_view kOverlaySection = "自设信息";
inline constexpr std::string_view kOverlayXKey = "X";
inline constexpr std::string_view kOverlayYKey = "Y";
inline constexpr std::string_view kOverlayTextKey = "内容";

// What the recorder stores; the overlay fields are the form's texts, unchanged.
struct RecordingSettings {
  int frameRate = 8;
  std::string overlayX = "0";
  std::string overlayY = "0";
  std::string overlayText;
};

// Timer period in milliseconds: 1000 div the frame rate, the rate kept within 1..25.
int FramePeriodMs(int frameRate);

// The Config document: "周期" in "视频设置", then X, Y, 内容 in "自设信息".
platform::IniDocument MakeRecordingConfig(const RecordingSettings& settings);

// What the player reads back, with its defaults for missing keys.
struct PlaybackSettings {
  int framePeriod = 0;
  int overlayX = 0;
  int overlayY = 0;
  std::string overlayText;
};
PlaybackSettings ReadRecordingConfig(const std::optional<platform::IniDocument>& config, int screenWidth,
                                     int screenHeight);

// The integer a profile text stands for: optional sign and leading digits, else 0.
int ProfileInteger(std::string_view text);

}  // namespace ostrel::recording
