#include <QApplication>
#include <csignal>

#include "shell/command_line.h"
#include "shell/main_window.h"

int main(int argc, char** argv) {
#ifdef SIGXFSZ
  // A file-size limit then fails the save with its message, and the old file
  // stays, instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  QApplication app(argc, argv);
  QStringList arguments = app.arguments();
  arguments.removeFirst();
  mervane::frmMain window(mervane::CommandLinePath(arguments));
  window.show();
  return app.exec();
}
