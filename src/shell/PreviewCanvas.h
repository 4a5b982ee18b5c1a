#pragma once

#include <QLabel>
#include <QPoint>

namespace ostrel::shell {

// The screen preview: a canvas as large as the screen showing a picture of
// it, panned inside its frame by dragging it with the left button.
class PreviewCanvas : public QLabel {
  Q_OBJECT

 public:
  explicit PreviewCanvas(QWidget* parent);

  // Shows `picture` (image file bytes) as the canvas background; false when
  // they do not load, and the old picture stays.
  bool setBackgroundPicture(const QByteArray& picture);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool dragging_ = false;
  QPoint grabOffset_;  // where the canvas was taken, in its own coordinates
};

}  // namespace ostrel::shell
