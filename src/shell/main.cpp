#include <QApplication>

#include "shell/command_line.h"
#include "shell/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QStringList arguments = app.arguments();
  arguments.removeFirst();
  mervane::frmMain window(mervane::CommandLinePath(arguments));
  window.show();
  return app.exec();
}
