#include "shell/PlayerCanvas.h"

#include <QFontMetrics>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>

#include "playback/CanvasMapping.h"
#include "playback/FrameDecoder.h"

namespace ostrel::shell {

namespace {

// A smoothing filter reads a pixel beyond the area it fills.
constexpr int kFilterMargin = 2;

}  // namespace

PlayerCanvas::PlayerCanvas(const playback::FrameDecoder& decoder, QWidget* parent)
    : QWidget(parent), decoder_(decoder), font_(overlayFont()) {
  setObjectName(QStringLiteral("画板1"));
  // Every paint covers its whole area from the back buffer.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
}

QFont PlayerCanvas::overlayFont() {
  QFont font;
  // The recorder's face first; a CJK face of this system where it is missing.
  font.setFamilies({QStringLiteral("微软雅黑"), QStringLiteral("Noto Sans CJK SC"),
                    QStringLiteral("Noto Sans SC"), QStringLiteral("WenQuanYi Zen Hei"),
                    QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("AR PL UMing CN"),
                    QStringLiteral("Droid Sans Fallback")});
  font.setPixelSize(24);
  font.setBold(true);
  return font;
}

void PlayerCanvas::frameChanged(const ScreenRect& frameArea) {
  const playback::FrameAndCanvas sizes{decoder_.frameWidth(), decoder_.frameHeight(), width(), height()};
  const ScreenRect area = playback::mapToCanvas(frameArea, sizes, kFilterMargin);
  if (area.width() > 0 && area.height() > 0) update(area.left, area.top, area.width(), area.height());
}

QRect PlayerCanvas::overlayRect() const {
  if (overlayText_.isEmpty()) return {};
  const QFontMetrics metrics(font_);
  return metrics.boundingRect(overlayText_)
      .translated(overlay_.x, overlay_.y + metrics.ascent())
      .adjusted(-2, -2, 2, 2);
}

void PlayerCanvas::setOverlay(const playback::Overlay& overlay) {
  if (overlay.x == overlay_.x && overlay.y == overlay_.y && overlay.text == overlay_.text) return;
  const QRect before = overlayRect();
  overlay_ = overlay;
  overlayText_ = QString::fromStdString(overlay_.text);
  update(before);
  update(overlayRect());
}

void PlayerCanvas::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const playback::BackBuffer& buffer = decoder_.backBuffer();
  if (!decoder_.initialised() || buffer.width() <= 0) {
    painter.fillRect(rect(), Qt::black);
  } else {
    // The back buffer's rows are 0xFFRRGGBB words already: shown without a copy.
    const QImage frame(buffer.pixels(), buffer.width(), buffer.height(),
                       static_cast<qsizetype>(buffer.stride()), QImage::Format_RGB32);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, decoder_.interpolationMode() != 0);
    // The painter is clipped to the area being repainted.
    painter.drawImage(QRectF(rect()), frame);
  }
  if (!overlayText_.isEmpty()) {
    painter.setFont(font_);
    painter.setPen(QColor(255, 0, 0));
    // The position is the top-left of the text line, as the recorder placed it.
    painter.drawText(QPoint(overlay_.x, overlay_.y + QFontMetrics(font_).ascent()), overlayText_);
  }
}

}  // namespace ostrel::shell
