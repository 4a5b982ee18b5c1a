#include "shell/TrayIcon.h"

#include <QMenu>
#include <QPainter>
#include <QPixmap>

#include "shell/MainWindow.h"

namespace ostrel::shell {

namespace {

constexpr int kIconSize = 32;

QIcon emptyIcon() {
  // A transparent picture rather than no icon: the tray keeps the icon's place.
  QPixmap pixmap(kIconSize, kIconSize);
  pixmap.fill(Qt::transparent);
  return QIcon(pixmap);
}

void showMainWindow(MainWindow& window) {
  window.showNormal();
  window.raise();
  window.activateWindow();
}

}  // namespace

QIcon ProgramIcon() {
  QPixmap pixmap(kIconSize, kIconSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(40, 48, 64));
  painter.drawRoundedRect(QRectF(1, 1, kIconSize - 2, kIconSize - 2), 6, 6);
  painter.setBrush(QColor(220, 30, 30));
  painter.drawEllipse(QPointF(kIconSize / 2.0, kIconSize / 2.0), 9, 9);
  painter.end();
  return QIcon(pixmap);
}

TrayIcon::TrayIcon(MainWindow& window) : window_(window), normal_(ProgramIcon()), empty_(emptyIcon()) {
  icon_.setIcon(normal_);
  icon_.setToolTip(QString::fromUtf8(kTip));
  icon_.setContextMenu(window.form().menus.trayMenu);
  connect(&icon_, &QSystemTrayIcon::activated, this, &TrayIcon::onActivated);
  timer_.setInterval(recording::BlinkSchedule::kStepMs);
  connect(&timer_, &QTimer::timeout, this, &TrayIcon::step);
}

TrayIcon::~TrayIcon() {
  timer_.stop();
  icon_.hide();
}

void TrayIcon::show() { icon_.show(); }

void TrayIcon::onActivated(QSystemTrayIcon::ActivationReason reason) {
  // The right button is the context menu's own business; a single click does nothing.
  if (reason == QSystemTrayIcon::DoubleClick) showMainWindow(window_);
}

void TrayIcon::SetTrayBlinking(int32_t count) {
  schedule_.start(count);
  if (schedule_.running())
    timer_.start();  // restarts the step: a new start shows the icon for a full step
  else
    timer_.stop();
  applyIcon();
}

void TrayIcon::step() {
  if (!schedule_.advance()) timer_.stop();
  applyIcon();
}

void TrayIcon::applyIcon() {
  const QIcon& wanted = schedule_.iconShown() ? normal_ : empty_;
  if (icon_.icon().cacheKey() != wanted.cacheKey()) icon_.setIcon(wanted);
}

}  // namespace ostrel::shell
