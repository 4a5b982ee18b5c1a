#include "playback/Player.h"

#include <algorithm>
#include <cmath>
#include <system_error>

#include "platform/ini/IniDocument.h"
#include "playback/FileTitle.h"

namespace ostrel::playback {

namespace fs = std::filesystem;

namespace {

std::vector<MemberFile> listMembers(const fs::path& folder) {
  std::vector<MemberFile> members;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code sizeError;
    if (!it->is_regular_file(sizeError)) continue;
    const uintmax_t size = it->file_size(sizeError);
    members.push_back({fs::relative(it->path(), folder, sizeError).generic_string(), sizeError ? 0 : size});
  }
  std::sort(members.begin(), members.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  return members;
}

}  // namespace

OpenedRecording openRecording(RecordingUnpacker& unpacker, const fs::path& recordingPath,
                              const fs::path& unpackFolder, ScreenSize screen,
                              FrameRecordReader::Options options) {
  OpenedRecording opened;
  const std::string name = recordingPath.string();
  if (recordingPath.empty()) {
    opened.error = "No recording file was chosen.";
    return opened;
  }
  if (!unpackFolder.is_absolute()) {
    // A relative cache would unpack into, and then delete from, wherever we were started.
    opened.error =
        "The cache folder " + unpackFolder.parent_path().parent_path().string() + " is not an absolute path.";
    return opened;
  }
  std::error_code ignored;
  // Leftovers of an earlier run must not stand in for members this file lacks.
  fs::remove_all(unpackFolder, ignored);
  const UnpackResult unpacked = unpacker.unpack(recordingPath, unpackFolder);
  if (unpacked.ok) {
    opened.members = listMembers(unpackFolder);
    opened.records = FrameRecordReader::open(unpackFolder / kRecordingDataMember, options);
    const auto config = platform::IniDocument::readFile(unpackFolder / kSettingsMember);
    opened.settings = readPlaybackSettings(
        [&config](std::string_view section, std::string_view key) {
          return config ? config->get(section, key) : std::nullopt;
        },
        screen.width, screen.height);
  }
  // The open data file stays readable; nothing of the recording stays in the cache.
  fs::remove_all(unpackFolder, ignored);

  if (!unpacked.ok) {
    opened.error = unpacked.error.empty() ? name + " could not be unpacked." : unpacked.error;
  } else if (!opened.records) {
    opened.error = name + " is not a recording file: it holds no member \"" + kRecordingDataMember + "\".";
  } else if (const auto count = opened.records->countRecords()) {
    opened.totalFrames = *count;
  } else {
    opened.error = "Reading the recording data of " + name + " failed.";
  }
  if (!opened.error.empty()) opened.records.reset();
  return opened;
}

std::string playerCaption(int64_t currentFrame, int64_t totalFrames) {
  return "播放窗口 当前帧:" + std::to_string(currentFrame) + " 总帧数:" + std::to_string(totalFrames);
}

Player::Player(PlayerView& view, FrameTimer& timer, FrameSink& sink, RecordingUnpacker& unpacker)
    : view_(view), timer_(timer), sink_(sink), unpacker_(unpacker) {}

bool Player::LoadRecording() {
  const ScreenSize screen = view_.screenSize();
  OpenedRecording opened = openRecording(unpacker_, state_.recordingPath,
                                         unpackFolderFor(view_.cacheFolder(), state_.recordingPath), screen);
  state_.currentFrame = 0;
  state_.frameQueue = std::move(opened.records);
  state_.totalFrames = opened.totalFrames;
  state_.framePeriod = opened.settings.framePeriod;
  state_.overlay = std::move(opened.settings.overlay);
  if (!opened.error.empty()) {
    view_.showError(opened.error);
    return false;
  }
  return true;
}

void Player::PlayRecording() {
  // A file that is not a recording plays nothing; the view has said why.
  if (state_.isPlaying == 0 && !LoadRecording()) return;
  timer_.setPeriod(state_.framePeriod);
  state_.isPlaying = 1;
}

void Player::SuspendPlayback() { timer_.setPeriod(0); }

void Player::StopPlayback() {
  timer_.setPeriod(0);
  state_.currentFrame = 0;
  state_.isPlaying = 0;
}

void Player::endPlayback() {
  timer_.setPeriod(0);
  state_.frameQueue.reset();  // frees the deleted data file's space
  if (view_.controlWindowExists()) state_.isPlaying = 0;
}

void Player::OnFrameTick() {
  ++state_.currentFrame;
  const auto result = state_.frameQueue ? state_.frameQueue->next(&record_) : FrameRecordReader::Result::End;
  if (result == FrameRecordReader::Result::Record) {
    sink_.ApplyFrame(record_);
    view_.setCaption(playerCaption(state_.currentFrame, state_.totalFrames));
  } else {
    if (result == FrameRecordReader::Result::Error) view_.showError("Reading the recording data failed.");
    endPlayback();
    if (!view_.controlWindowExists()) {
      view_.destroyPlayerWindow();
      return;
    }
  }
  if (view_.controlWindowExists()) {
    const double share = state_.totalFrames > 0 ? static_cast<double>(state_.currentFrame) /
                                                      static_cast<double>(state_.totalFrames)
                                                : 0.0;
    view_.drawProgress(static_cast<int>(std::trunc(std::min(share, 2.0) * 100.0)));
  }
  view_.drawOverlay(state_.overlay);
}

}  // namespace ostrel::playback
