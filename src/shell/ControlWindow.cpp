#include "shell/ControlWindow.h"

#include <QPainter>

#include "playback/Player.h"
#include "playback/ProgressStrip.h"

namespace ostrel::shell {

namespace {

// The form is 364 × 116 with its frame; this is its client area, reached by
// the same frame allowance as the player window's form.
constexpr int kClientWidth = 364 - 13;
constexpr int kClientHeight = 116 - 38;

QRect toQRect(const ScreenRect& r) { return {r.left, r.top, r.width(), r.height()}; }

}  // namespace

void ProgressButton::Draw(int percent) {
  if (percent == percent_) return;
  percent_ = percent;
  const auto rects = playback::progressStripRects(width(), height(), 100);
  update(toQRect(rects.background));
}

void ProgressButton::paintEvent(QPaintEvent* event) {
  QPushButton::paintEvent(event);
  // Painted with the button itself, so hovering or uncovering it keeps the bar.
  const auto rects = playback::progressStripRects(width(), height(), percent_);
  QPainter painter(this);
  painter.fillRect(toQRect(rects.background),
                   QColor::fromRgb(playback::rgbOfColourRef(playback::kStripBackgroundColour)));
  if (rects.fill.width() > 0)
    painter.fillRect(toQRect(rects.fill),
                     QColor::fromRgb(playback::rgbOfColourRef(playback::kStripFillColour)));
}

ControlWindow::ControlWindow(playback::Player& player, QWidget* owner)
    : QWidget(owner, Qt::Tool),
      playButton_(new QPushButton(QStringLiteral("播放"), this)),
      pauseButton_(new ProgressButton(QStringLiteral("暂停"), this)),
      stopButton_(new QPushButton(QStringLiteral("停止"), this)) {
  setObjectName(QStringLiteral("ControlWindow"));
  setWindowTitle(QStringLiteral("控制窗口"));
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(kClientWidth, kClientHeight);
  // A compositor shows this; without one the window is simply opaque.
  setWindowOpacity(kOpacity);

  playButton_->setObjectName(QStringLiteral("按钮_播放"));
  pauseButton_->setObjectName(QStringLiteral("按钮_暂停"));
  stopButton_->setObjectName(QStringLiteral("按钮_停止"));
  playButton_->setGeometry(48, 24, 56, 40);
  pauseButton_->setGeometry(112, 24, 128, 40);
  stopButton_->setGeometry(256, 24, 56, 40);
  for (QPushButton* button : {playButton_, static_cast<QPushButton*>(pauseButton_), stopButton_})
    button->setFocusPolicy(Qt::NoFocus);

  connect(playButton_, &QPushButton::clicked, this, [&player] { player.PlayRecording(); });
  connect(pauseButton_, &QPushButton::clicked, this, [&player] { player.SuspendPlayback(); });
  connect(stopButton_, &QPushButton::clicked, this, [&player] { player.StopPlayback(); });

  player.controlWindowCreated();
  pauseButton_->Draw(0);
}

}  // namespace ostrel::shell
