#pragma once

#include <filesystem>
#include <string>

#include "codec/StreamFormat.h"
#include "playback/PlaybackSettings.h"

// What the player needs of the windows, the timer, the decoder and the
// unpacking, so the core runs and is tested without any widget.
namespace ostrel::playback {

// The frame timer. A period of 0 or less stops it; a running timer restarts
// its interval when the period is set again.
class FrameTimer {
 public:
  virtual ~FrameTimer() = default;
  virtual void setPeriod(int milliseconds) = 0;
};

// Receives the frame records in play order (the frame decoder of the canvas).
class FrameSink {
 public:
  virtual ~FrameSink() = default;
  virtual void ApplyFrame(codec::Bytes record) = 0;
};

struct ScreenSize {
  int width = 0;
  int height = 0;
};

// The player window, its canvas and its control window.
class PlayerView {
 public:
  virtual ~PlayerView() = default;
  // Read at the moment a recording loads.
  virtual std::filesystem::path cacheFolder() const = 0;
  virtual ScreenSize screenSize() const = 0;

  virtual void setCaption(const std::string& text) = 0;
  virtual bool controlWindowExists() const = 0;
  virtual void drawProgress(int percent) = 0;
  virtual void drawOverlay(const Overlay& overlay) = 0;
  // Why a recording could not be played; the view shows it to the user.
  virtual void showError(const std::string& text) = 0;
  // Playback ended after the user closed the control window.
  virtual void destroyPlayerWindow() = 0;
};

// Unpacks a recording file's members directly into `folder` (created when
// missing), refusing anything that would land outside it. On failure `error`
// is a whole sentence naming the archive, fit to show the user.
struct UnpackResult {
  bool ok = false;
  std::string error;
};
class RecordingUnpacker {
 public:
  virtual ~RecordingUnpacker() = default;
  virtual UnpackResult unpack(const std::filesystem::path& archive, const std::filesystem::path& folder) = 0;
};

}  // namespace ostrel::playback
