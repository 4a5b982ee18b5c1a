#pragma once

#include <QMainWindow>
#include <QSize>

#include "recording/RecordingPorts.h"
#include "shell/MainWindowForm.h"

namespace ostrel::shell {

// The main window: the form, its own handlers (resize layout, frame-rate
// check, close box) and the view the recording controller reads and drives.
class MainWindow : public QMainWindow, public recording::RecordingView {
  Q_OBJECT

 public:
  static constexpr int kFormWidth = 871;  // outer size and place of the form
  static constexpr int kFormHeight = 532;
  static constexpr int kFormX = 50;
  static constexpr int kFormY = 50;
  static constexpr int kPreviewMinOuterHeight = 320;

  MainWindow();

  MainWindowForm& form() { return form_; }

  // Keeps the outer size within the given bounds while the user drags the
  // border; 0 leaves a bound open. False for negative or crossed bounds.
  bool installSizeLimits(int minWidth, int minHeight, int maxWidth, int maxHeight);

  // Lets the next close request through instead of hiding the window.
  void allowClose() { closeAllowed_ = true; }

  // RecordingView
  bool isItemVisible(recording::ControlItem item) const override;
  void setItemVisible(recording::ControlItem item, bool visible) override;
  void setItemEnabled(recording::ControlItem item, bool enabled) override;
  void setModeTabsEnabled(bool enabled) override;
  std::string frameRateText() const override;
  int compressionKind() const override;
  bool layeredCaptureChecked() const override;
  bool recordSoundChecked() const override;
  void reportProblem(std::string_view caption, std::string_view text) override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAction* controlItem(recording::ControlItem item) const;
  void layoutForSize();
  void placeModePageControls();
  void checkFrameRate();
  void stepFrameRate(int delta);
  void applySizeLimits();
  void applyFormOuterSize();

  MainWindowForm form_;
  bool closeAllowed_ = false;
  bool limitsInstalled_ = false;
  bool outerSizeApplied_ = false;
  QSize minOuter_;
  QSize maxOuter_;
};

}  // namespace ostrel::shell
