#include "shell/DesktopApplication.h"

#include <QApplication>

#include "shell/DesktopProgram.h"

namespace ostrel::shell {

int runDesktopApplication(int argc, char** argv) {
  QApplication app(argc, argv);
  // The close box only hides the main window; the Exit items end the program.
  QApplication::setQuitOnLastWindowClosed(false);
  DesktopProgram program(app);
  program.start();
  return app.exec();
}

}  // namespace ostrel::shell
