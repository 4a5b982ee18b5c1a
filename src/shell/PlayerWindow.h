#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>

#include "playback/FrameDecoder.h"
#include "playback/FrameDecoderSink.h"
#include "playback/Player.h"
#include "playback/PlayerInterfaces.h"
#include "playback/ZipRecordingUnpacker.h"

namespace ostrel::shell {

class ControlWindow;
class PlayerCanvas;

// The frame timer over a toolkit timer.
class QtFrameTimer : public playback::FrameTimer {
 public:
  QTimer& timer() { return timer_; }
  void setPeriod(int milliseconds) override;

 private:
  QTimer timer_;
};

// The window a recording plays in: the canvas fills its client area, and it
// owns the control window. Deletes itself when closed.
class PlayerWindow : public QWidget, public playback::PlayerView {
  Q_OBJECT

 public:
  using CacheFolderSource = std::function<std::filesystem::path()>;

  // Shows itself and its control window; nothing is loaded until 播放.
  PlayerWindow(const QString& recordingPath, CacheFolderSource cacheFolder);
  ~PlayerWindow() override;

  playback::Player& player() { return player_; }
  PlayerCanvas* canvas() const { return canvas_; }
  ControlWindow* controlWindow() const;
  QString recordingPath() const;

  // PlayerView
  std::filesystem::path cacheFolder() const override { return cacheFolder_(); }
  playback::ScreenSize screenSize() const override;
  void setCaption(const std::string& text) override;
  bool controlWindowExists() const override;
  void drawProgress(int percent) override;
  void drawOverlay(const playback::Overlay& overlay) override;
  void showError(const std::string& text) override;
  void destroyPlayerWindow() override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void onFrameTick();

  CacheFolderSource cacheFolder_;
  playback::FrameDecoder decoder_;
  playback::FrameDecoderSink sink_{decoder_};
  playback::ZipRecordingUnpacker unpacker_;
  QtFrameTimer timer_;
  playback::Player player_;
  PlayerCanvas* canvas_;
  QPointer<ControlWindow> control_;
};

}  // namespace ostrel::shell
