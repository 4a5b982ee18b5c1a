#include "shell/PackingWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>

#include "shell/FormHelpers.h"

namespace ostrel::shell {

PackingWindow::PackingWindow(QWidget* owner)
    // A tool window owned by the main window, without a close button.
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("PackingWindow"));
  setWindowTitle(QStringLiteral("正在生成录制文件,请稍后..."));
  setFixedSize(kWidth, kHeight);
  move(50, 50);
  progress_ = placeControl<QProgressBar>(this, "进度条", 16, 11, 360, 24);
  progress_->setRange(0, kMaxProgress);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  hint_ = placeControl<QLabel>(this, "标签_提示", 16, 48, 296, 16, "准备生成...");
}

void PackingWindow::setHint(const QString& text) {
  hint_->setText(text);
  // Packing runs on the interface thread: let the new text paint.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void PackingWindow::setProgress(int position) {
  progress_->setValue(std::clamp(position, 0, kMaxProgress));
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void PackingWindow::closeEvent(QCloseEvent* event) { event->ignore(); }

}  // namespace ostrel::shell
