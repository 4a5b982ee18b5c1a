#include "shell/ShellPackager.h"

#include <QLineEdit>
#include <QMessageBox>

#include "shell/MainWindow.h"
#include "shell/PackingWindow.h"
#include "shell/PreviewCanvas.h"
#include "shell/RecordingEngine.h"
#include "shell/RecordingNames.h"
#include "shell/ScreenPicture.h"

namespace ostrel::shell {

ShellPackager::ShellPackager(MainWindow& window, RecordingEngine& engine)
    : window_(window), engine_(engine) {}

void ShellPackager::PackageRecording() {
  PackingWindow packing(&window_);
  packing.show();
  engine_.Close();
  window_.form().previewCanvas->setBackgroundPicture(CaptureScreenPicture());

  packing.setHint(QStringLiteral("正在生成录制文件..."));
  packing.setProgress(10);
  packing.setHint(QStringLiteral("正在写出配置文件..."));
  packing.setProgress(20);
  packing.setHint(QStringLiteral("正在保存为OREC文件..."));
  packing.setProgress(120);

  QMessageBox::information(&window_, QStringLiteral("生成完毕"),
                           QStringLiteral("生成Orec完毕,大小:-0.001Kb"));
  const MainWindowForm& form = window_.form();
  form.fileName->setText(nextFreeRecordingName(form.saveFolder->text()));
  engine_.clearStream();
}

}  // namespace ostrel::shell
