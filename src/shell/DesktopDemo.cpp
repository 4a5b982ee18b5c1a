#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "shell/DesktopApplication.h"
#include "shell/DesktopProgram.h"
#include "shell/MainWindow.h"
#include "shell/RecordingSession.h"

namespace ostrel::shell {

namespace {

constexpr int kDefaultSeconds = 3;
constexpr int kMessageShownMs = 1500;

int demoSeconds(int argc, char** argv) {
  if (argc < 3) return kDefaultSeconds;
  const int seconds = std::atoi(argv[2]);
  return seconds > 0 && seconds <= 600 ? seconds : kDefaultSeconds;
}

}  // namespace

int runDesktopDemo(int argc, char** argv) {
  const int seconds = demoSeconds(argc, argv);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  DesktopProgram program(app);
  program.start();
  MainWindow& window = program.mainWindow();
  const MainMenus& menus = window.form().menus;
  const QString saveFolder = window.form().saveFolder->text();
  const QString fileName = window.form().fileName->text();

  // Something on the screen changes while recording: the window wanders a little.
  QTimer wander;
  int step = 0;
  QObject::connect(&wander, &QTimer::timeout, &window, [&] {
    window.move(50 + (step % 20) * 10, 50 + (step % 10) * 6);
    ++step;
  });

  // The size message closes by itself after a moment, as if read.
  QTimer closer;
  closer.setInterval(kMessageShownMs);
  QObject::connect(&closer, &QTimer::timeout, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      std::printf("ostrel demo: %s\n", box->text().toUtf8().constData());
      box->accept();
    }
  });

  std::printf("ostrel demo: recording %d seconds of display %s\n", seconds, std::getenv("DISPLAY"));
  QTimer::singleShot(0, menus.startRecording, [&] {
    menus.startRecording->trigger();
    wander.start(200);
  });
  // Stop through the menu, then wait for the package step to finish.
  QTimer finished;
  QObject::connect(&finished, &QTimer::timeout, [&] {
    const recording::RecordingController& controller = program.session().controller();
    if (!controller.isIdle() || controller.isPacking()) return;
    finished.stop();
    closer.stop();
    std::printf("ostrel demo: recording written to %s\n",
                (saveFolder + (saveFolder.endsWith(u'/') ? QString() : QStringLiteral("/")) + fileName +
                 QStringLiteral(".ORec"))
                    .toUtf8()
                    .constData());
    std::fflush(stdout);
    program.exit();
  });
  QTimer::singleShot(seconds * 1000, menus.stopRecording, [&] {
    wander.stop();
    closer.start();
    menus.stopRecording->trigger();
    finished.start(100);
  });
  return app.exec();
}

}  // namespace ostrel::shell
