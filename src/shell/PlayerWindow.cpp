#include "shell/PlayerWindow.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

#include "shell/ControlWindow.h"
#include "shell/PlayerCanvas.h"

namespace ostrel::shell {

namespace {

// The form: 765 × 510 at (50, 50), its canvas 752 × 472 filling the client area.
constexpr int kFormX = 50;
constexpr int kFormY = 50;
constexpr int kClientWidth = 752;
constexpr int kClientHeight = 472;
constexpr int kControlFromRight = 400;
constexpr int kControlFromBottom = 150;
constexpr int kInterpolationMode = 6;

QSize primaryScreenSize() {
  const QScreen* primary = QGuiApplication::primaryScreen();
  return primary ? primary->geometry().size() : QSize();
}

}  // namespace

void QtFrameTimer::setPeriod(int milliseconds) {
  if (milliseconds <= 0) {
    timer_.stop();
    return;
  }
  timer_.start(milliseconds);
}

PlayerWindow::PlayerWindow(const QString& recordingPath, CacheFolderSource cacheFolder)
    : cacheFolder_(std::move(cacheFolder)),
      player_(*this, timer_, sink_, unpacker_),
      canvas_(new PlayerCanvas(decoder_, this)) {
  setObjectName(QStringLiteral("PlayerWindow"));
  setAttribute(Qt::WA_DeleteOnClose);
  timer_.timer().setTimerType(Qt::PreciseTimer);
  connect(&timer_.timer(), &QTimer::timeout, this, &PlayerWindow::onFrameTick);

  // Every recording is taken to be of this machine's screen size.
  const QSize screen = primaryScreenSize();
  decoder_.Init(screen.width(), screen.height(), true, kInterpolationMode);
  player_.state().recordingPath = std::filesystem::path(recordingPath.toStdString());

  resize(kClientWidth, kClientHeight);
  move(kFormX, kFormY);
  canvas_->setGeometry(0, 0, kClientWidth, kClientHeight);
  show();

  control_ = new ControlWindow(player_, this);
  control_->move(screen.width() - kControlFromRight, screen.height() - kControlFromBottom);
  control_->show();
}

PlayerWindow::~PlayerWindow() {
  timer_.timer().stop();
  decoder_.Close();
}

ControlWindow* PlayerWindow::controlWindow() const { return control_.data(); }

QString PlayerWindow::recordingPath() const {
  return QString::fromStdString(player_.state().recordingPath.string());
}

playback::ScreenSize PlayerWindow::screenSize() const {
  const QSize screen = primaryScreenSize();
  return {screen.width(), screen.height()};
}

void PlayerWindow::setCaption(const std::string& text) { setWindowTitle(QString::fromStdString(text)); }

bool PlayerWindow::controlWindowExists() const { return control_ && !control_->isHidden(); }

void PlayerWindow::drawProgress(int percent) {
  if (control_) control_->drawProgress(percent);
}

void PlayerWindow::drawOverlay(const playback::Overlay& overlay) { canvas_->setOverlay(overlay); }

void PlayerWindow::showError(const std::string& text) {
  // Not modal: a tick must not wait inside a message box while its timer runs on.
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("播放窗口"), QString::fromStdString(text),
                              QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  box->show();
}

void PlayerWindow::destroyPlayerWindow() {
  timer_.timer().stop();
  close();  // deleted once the tick has returned
}

void PlayerWindow::onFrameTick() {
  player_.OnFrameTick();
  canvas_->frameChanged(sink_.lastApplied().changed);
}

void PlayerWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The canvas repaints itself, scaled to the new size, from the back buffer.
  canvas_->setGeometry(0, 0, width(), height());
}

void PlayerWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || !isMaximized()) return;
  // Maximised, the picture covers the whole screen, not only the work area.
  if (const QScreen* primary = QGuiApplication::primaryScreen()) setGeometry(primary->geometry());
}

}  // namespace ostrel::shell
