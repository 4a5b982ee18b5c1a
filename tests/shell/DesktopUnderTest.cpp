#include "shell/DesktopUnderTest.h"

#include <QApplication>
#include <QLineEdit>

#include "shell/PackingWindow.h"
#include "shell/ShellTestEnvironment.h"

namespace ostrel::shell::test {

MessageBoxWatcher::MessageBoxWatcher(std::function<bool(QMessageBox&)> answer) {
  timer.setInterval(50);
  QObject::connect(&timer, &QTimer::timeout, [this, answer = std::move(answer)] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    text = box->text();
    caption = box->windowTitle();
    captions.append(caption);
    texts.append(text);
    for (QWidget* w : QApplication::topLevelWidgets())
      if (qobject_cast<PackingWindow*>(w) && w->isVisible()) packingWindowWasOpen = true;
    if (!answer || !answer(*box)) box->accept();
  });
  timer.start();
}

DesktopUnderTest::DesktopUnderTest()
    : folder(temporaryFolder()),
      program(application()),
      window(program.mainWindow()),
      menus(window.form().menus) {
  program.start();
  MainWindowForm& form = window.form();
  form.cacheFolder->setText(cacheFolder());
  form.saveFolder->setText(saveFolder());
  form.fileName->setText(QString::fromUtf8("录像1"));
}

}  // namespace ostrel::shell::test
