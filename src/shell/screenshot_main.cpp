// Makes the README's picture of the main window: the window as a user sees
// it after starting the program with a skin and choosing File > Open, with
// the File menu pulled down. Run under a virtual X server by
// scripts/screenshot.sh.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "shell/command_line.h"
#include "shell/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList arguments = app.arguments();
  if (arguments.size() != 3) {
    std::fprintf(stderr, "usage: mervane-screenshot SKIN OUTPUT.png\n");
    return 2;
  }
  mervane::frmMain window(mervane::CommandLinePath({arguments[1]}));
  window.resize(640, 360);
  window.move(0, 0);
  window.show();

  int status = 1;
  // Each step waits a little, so that the X server has drawn what the
  // previous one changed.
  QTimer::singleShot(300, [&] {
    window.findChild<QAction*>("mnuOpen")->trigger();  // reads the command-line skin
    if (!window.model().ModelLoaded) {
      std::fprintf(stderr, "the skin was not read\n");
      app.exit(1);
      return;
    }
    QTimer::singleShot(300, [&] {
      auto* file = window.findChild<QMenu*>("mnuFile");
      window.menuBar()->setActiveAction(file->menuAction());
      file->setActiveAction(window.findChild<QAction*>("mnuOpen"));
      QTimer::singleShot(500, [&, file] {
        const QRect frame = window.frameGeometry();
        const QPixmap shot =
            window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
        status = shot.save(arguments[2]) ? 0 : 1;
        if (status != 0) std::fprintf(stderr, "could not write %s\n", qPrintable(arguments[2]));
        file->hide();
        app.exit(status);
      });
    });
  });
  app.exec();
  return status;
}
