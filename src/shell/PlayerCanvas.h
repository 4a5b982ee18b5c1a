#pragma once

#include <QFont>
#include <QWidget>

#include "platform/ScreenRect.h"
#include "playback/PlaybackSettings.h"

namespace ostrel::playback {
class FrameDecoder;
}

namespace ostrel::shell {

// The player's canvas `画板1`: shows the decoder's back buffer stretched to
// the canvas with smooth filtering, and the overlay text on top, unscaled.
class PlayerCanvas : public QWidget {
  Q_OBJECT

 public:
  PlayerCanvas(const playback::FrameDecoder& decoder, QWidget* parent);

  // Repaints only the canvas pixels that show `frameArea` of the back buffer.
  void frameChanged(const ScreenRect& frameArea);
  // The overlay is part of every paint from now on; repaints where it was and is.
  void setOverlay(const playback::Overlay& overlay);

  static QFont overlayFont();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect overlayRect() const;

  const playback::FrameDecoder& decoder_;
  playback::Overlay overlay_;
  QString overlayText_;
  QFont font_;
};

}  // namespace ostrel::shell
