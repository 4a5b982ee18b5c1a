#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

namespace ostrel::shell {

// The small window shown while a recording file is written: a progress bar
// and a hint. It has no close command and refuses every close request; the
// package step destroys it when done.
class PackingWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 392;
  static constexpr int kHeight = 102;
  static constexpr int kMaxProgress = 120;  // 10, 20, then 20 + percent

  explicit PackingWindow(QWidget* owner);

  void setHint(const QString& text);
  void setProgress(int position);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QProgressBar* progress_;
  QLabel* hint_;
};

}  // namespace ostrel::shell
