#include <QApplication>
#include <QCoreApplication>
#include <QPushButton>
#include <cstdio>

#include "shell/ControlWindow.h"
#include "shell/DefaultFolders.h"
#include "shell/DesktopApplication.h"
#include "shell/PlayerWindow.h"

namespace ostrel::shell {

int runDesktopPlayer(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: ostrel play FILE.ORec\n", stderr);
    return 2;
  }
  QApplication app(argc, argv);
  const QString path = QString::fromLocal8Bit(argv[2]);
  const QString cache = defaultFolders(QCoreApplication::applicationDirPath()).cache;
  auto* player = new PlayerWindow(path, [cache] { return std::filesystem::path(cache.toStdString()); });
  // The program ends with its player window, also when it closes itself at the end.
  QApplication::setQuitOnLastWindowClosed(false);
  QObject::connect(player, &QObject::destroyed, &app, &QCoreApplication::quit);
  player->controlWindow()->playButton()->click();
  return app.exec();
}

}  // namespace ostrel::shell
