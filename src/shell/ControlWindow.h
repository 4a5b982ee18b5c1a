#pragma once

#include <QPushButton>
#include <QWidget>

namespace ostrel::playback {
class Player;
}

namespace ostrel::shell {

// The pause button, with the progress bar drawn along its bottom edge.
class ProgressButton : public QPushButton {
  Q_OBJECT

 public:
  using QPushButton::QPushButton;
  // Draws the bar for `percent` (0 or less: empty; above 100: full).
  void Draw(int percent);
  int percent() const { return percent_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int percent_ = 0;
};

// The small see-through window with 播放 / 暂停 / 停止, owned by the player
// window. Closing it alone lets playback go on.
class ControlWindow : public QWidget {
  Q_OBJECT

 public:
  // Tells the player a control window exists (so the next 播放 loads afresh).
  ControlWindow(playback::Player& player, QWidget* owner);

  void drawProgress(int percent) { pauseButton_->Draw(percent); }

  QPushButton* playButton() const { return playButton_; }
  ProgressButton* pauseButton() const { return pauseButton_; }
  QPushButton* stopButton() const { return stopButton_; }

  static constexpr double kOpacity = 220.0 / 255.0;

 private:
  QPushButton* playButton_;
  ProgressButton* pauseButton_;
  QPushButton* stopButton_;
};

}  // namespace ostrel::shell
