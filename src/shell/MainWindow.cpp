#include "shell/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>

#include "recording/FrameRate.h"

namespace ostrel::shell {

using recording::ControlItem;

MainWindow::MainWindow() {
  buildMainWindowForm(*this, form_);
  resize(kFormWidth, kFormHeight);
  move(kFormX, kFormY);

  connect(form_.frameRate, &QLineEdit::textChanged, this, &MainWindow::checkFrameRate);
  connect(form_.frameRateUp, &QToolButton::clicked, this, [this] { stepFrameRate(1); });
  connect(form_.frameRateDown, &QToolButton::clicked, this, [this] { stepFrameRate(-1); });
  for (int i = 0; i < form_.modeTabs->count(); ++i) form_.modeTabs->widget(i)->installEventFilter(this);
}

bool MainWindow::installSizeLimits(int minWidth, int minHeight, int maxWidth, int maxHeight) {
  if (limitsInstalled_ || minWidth < 0 || minHeight < 0) return false;
  if (maxWidth < 0 || maxHeight < 0 || (maxWidth > 0 && maxWidth < minWidth) ||
      (maxHeight > 0 && maxHeight < minHeight))
    return false;
  limitsInstalled_ = true;
  minOuter_ = QSize(minWidth, minHeight);
  maxOuter_ = QSize(maxWidth, maxHeight);
  applySizeLimits();
  return true;
}

// The form gives the outer size; the toolkit sizes the inside. Once the
// window manager has framed the window, the frame is taken off once.
void MainWindow::applyFormOuterSize() {
  if (outerSizeApplied_ || !isVisible()) return;
  const QSize frame = frameGeometry().size() - size();
  if (frame.isEmpty()) return;  // not framed yet
  outerSizeApplied_ = true;
  resize(kFormWidth - frame.width(), kFormHeight - frame.height());
}

// The limits are for the outer size, the toolkit's are for the inside: the
// frame's margins are known only once the window manager has framed us.
void MainWindow::applySizeLimits() {
  if (!limitsInstalled_) return;
  const QSize frame = frameGeometry().size() - size();
  const auto inner = [&](int outer, int margin) { return outer > 0 ? std::max(outer - margin, 0) : 0; };
  setMinimumSize(inner(minOuter_.width(), frame.width()), inner(minOuter_.height(), frame.height()));
  setMaximumSize(maxOuter_.width() > 0 ? inner(maxOuter_.width(), frame.width()) : QWIDGETSIZE_MAX,
                 maxOuter_.height() > 0 ? inner(maxOuter_.height(), frame.height()) : QWIDGETSIZE_MAX);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize || event->type() == QEvent::Show) placeModePageControls();
  return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::event(QEvent* event) {
  // Frame margins change when the window manager frames the window.
  if (event->type() == QEvent::Show || event->type() == QEvent::WindowStateChange ||
      event->type() == QEvent::Move) {
    applyFormOuterSize();
    applySizeLimits();
  }
  if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show) placeModePageControls();
  return QMainWindow::event(event);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  layoutForSize();
}

void MainWindow::layoutForSize() {
  const QWidget* client = centralWidget();
  const int clientWidth = client->width();
  const int clientHeight = client->height();
  form_.modeTabs->resize(clientWidth - 10, form_.modeTabs->height());
  form_.recordTabs->resize(clientWidth - 20, form_.recordTabs->height());
  if (frameGeometry().height() >= kPreviewMinOuterHeight) {
    QFrame* frame = form_.previewFrame;
    frame->resize(clientWidth - 10, clientHeight - frame->y() - 5);
    frame->show();
  } else {
    form_.previewFrame->hide();
  }
  placeModePageControls();
}

// The mode tabs' pages give their controls' places in the tab control's own
// coordinates; the toolkit puts the pages below the tab bar, so shift them.
void MainWindow::placeModePageControls() {
  for (const TabPlacedControl& control : form_.tabPlaced) {
    QWidget* page = control.widget->parentWidget();
    const QPoint pageOrigin = page->mapTo(form_.modeTabs, QPoint(0, 0));
    control.widget->move(control.placeInTabs - pageOrigin);
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (closeAllowed_) return QMainWindow::closeEvent(event);
  // The close box only hides the window; the program goes on in the tray.
  hide();
  event->ignore();
}

void MainWindow::checkFrameRate() {
  QLineEdit* box = form_.frameRate;
  if (const auto corrected = recording::correctedFrameRateText(box->text().toStdString())) {
    box->setText(QString::fromStdString(*corrected));
    QApplication::beep();
  }
}

void MainWindow::stepFrameRate(int delta) {
  const int value = recording::leadingInteger(form_.frameRate->text().toStdString()) + delta;
  form_.frameRate->setText(
      QString::number(std::clamp(value, recording::kMinFrameRate, recording::kMaxFrameRate)));
}

QAction* MainWindow::controlItem(ControlItem item) const {
  switch (item) {
    case ControlItem::Start:
      return form_.menus.startRecording;
    case ControlItem::Stop:
      return form_.menus.stopRecording;
    case ControlItem::Pause:
      return form_.menus.pauseRecording;
    case ControlItem::Resume:
      return form_.menus.resumeRecording;
  }
  return form_.menus.startRecording;
}

bool MainWindow::isItemVisible(ControlItem item) const { return controlItem(item)->isVisible(); }
void MainWindow::setItemVisible(ControlItem item, bool visible) { controlItem(item)->setVisible(visible); }
void MainWindow::setItemEnabled(ControlItem item, bool enabled) { controlItem(item)->setEnabled(enabled); }
void MainWindow::setModeTabsEnabled(bool enabled) { form_.modeTabs->setEnabled(enabled); }
std::string MainWindow::frameRateText() const { return form_.frameRate->text().toStdString(); }

int MainWindow::compressionKind() const {
  if (form_.jpeg->isChecked()) return 1;
  if (form_.png->isChecked()) return 2;
  if (form_.bmp->isChecked()) return 3;
  return 0;
}

bool MainWindow::layeredCaptureChecked() const { return form_.layeredCapture->isChecked(); }
bool MainWindow::recordSoundChecked() const { return form_.recordSound->isChecked(); }

void MainWindow::reportProblem(std::string_view caption, std::string_view text) {
  QMessageBox::warning(this, QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())),
                       QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace ostrel::shell
