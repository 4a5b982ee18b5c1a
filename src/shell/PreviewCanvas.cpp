#include "shell/PreviewCanvas.h"

#include <QMouseEvent>
#include <QPixmap>

namespace ostrel::shell {

PreviewCanvas::PreviewCanvas(QWidget* parent) : QLabel(parent) {
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setCursor(Qt::OpenHandCursor);
}

bool PreviewCanvas::setBackgroundPicture(const QByteArray& picture) {
  QPixmap pixmap;
  if (picture.isEmpty() || !pixmap.loadFromData(picture)) return false;
  setPixmap(pixmap);
  return true;
}

void PreviewCanvas::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QLabel::mousePressEvent(event);
  // Taken like a title bar: the canvas follows the pointer until release.
  dragging_ = true;
  grabOffset_ = event->position().toPoint();
  setCursor(Qt::ClosedHandCursor);
}

void PreviewCanvas::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return QLabel::mouseMoveEvent(event);
  move(mapToParent(event->position().toPoint() - grabOffset_));
}

void PreviewCanvas::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging_) return QLabel::mouseReleaseEvent(event);
  dragging_ = false;
  setCursor(Qt::OpenHandCursor);
}

}  // namespace ostrel::shell
