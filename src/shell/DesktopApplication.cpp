#include "shell/DesktopApplication.h"

#include <QApplication>
#include <QLabel>

namespace ostrel::shell {

int runDesktopApplication(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel placeholder(QStringLiteral("Ostrel"));
  placeholder.show();
  return app.exec();
}

}  // namespace ostrel::shell
