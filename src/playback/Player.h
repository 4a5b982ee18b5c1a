#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "playback/FrameRecordReader.h"
#include "playback/PlaybackSettings.h"
#include "playback/PlayerInterfaces.h"

namespace ostrel::playback {

// Names of the members of a recording file.
inline constexpr const char* kRecordingDataMember = "录制文件Temp";
inline constexpr const char* kSettingsMember = "Config";
inline constexpr const char* kSoundMember = "Music";

struct PlayerState {
  std::filesystem::path recordingPath;
  // The records not yet played: read one per tick from the unpacked data
  // file, kept open after its folder is gone.
  std::optional<FrameRecordReader> frameQueue;
  int64_t currentFrame = 0;
  int isPlaying = 0;
  int64_t totalFrames = 0;
  int framePeriod = 0;
  Overlay overlay;
};

struct MemberFile {
  std::string name;  // relative to the unpack folder
  uintmax_t size = 0;
};

// A recording opened for reading: its records, its settings and what it held.
struct OpenedRecording {
  std::vector<MemberFile> members;
  std::optional<FrameRecordReader> records;
  int64_t totalFrames = 0;
  PlaybackSettings settings;
  std::string error;  // empty on success
};

// Unpacks `recordingPath` into `unpackFolder`, opens its data file, reads its
// settings, counts its records and removes the folder again. Shared by the
// player and the command line.
OpenedRecording openRecording(RecordingUnpacker& unpacker, const std::filesystem::path& recordingPath,
                              const std::filesystem::path& unpackFolder, ScreenSize screen,
                              FrameRecordReader::Options options = {});

std::string playerCaption(int64_t currentFrame, int64_t totalFrames);

// The player's operations over its view, timer, frame sink and unpacker.
class Player {
 public:
  Player(PlayerView& view, FrameTimer& timer, FrameSink& sink, RecordingUnpacker& unpacker);

  PlayerState& state() { return state_; }
  const PlayerState& state() const { return state_; }

  // False, with the reason shown on the view, when the file is not a playable recording.
  bool LoadRecording();
  void PlayRecording();
  void SuspendPlayback();
  void StopPlayback();
  void OnFrameTick();

  // The control window sets this to 0 whenever it is created.
  void controlWindowCreated() { state_.isPlaying = 0; }

 private:
  void endPlayback();

  PlayerView& view_;
  FrameTimer& timer_;
  FrameSink& sink_;
  RecordingUnpacker& unpacker_;
  PlayerState state_;
  std::vector<uint8_t> record_;
};

}  // namespace ostrel::playback
