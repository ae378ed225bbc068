// Makes the README's picture of the main window: the window as a user sees
// it just after starting the program with a skin (the preview saying how to
// open it), and after File > Open with its File menu pulled down. Run under
// a virtual X server by scripts/screenshot.sh.
#include <QAction>
#include <QApplication>
#include <QFont>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "shell/command_line.h"
#include "shell/main_window.h"

namespace {

// The virtual X server has no window manager to draw a title bar, so the
// picture gets a plain one carrying the window's real title, and a border.
QPixmap Framed(const QPixmap& client, const QString& title) {
  const int bar = 28;
  QPixmap framed(client.width() + 2, client.height() + bar + 1);
  framed.fill(QColor(0x55, 0x5a, 0x60));
  QPainter painter(&framed);
  painter.drawPixmap(1, bar, client);
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(QRect(10, 0, client.width() - 10, bar), Qt::AlignVCenter | Qt::AlignLeft, title);
  return framed;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList arguments = app.arguments();
  if (arguments.size() != 3) {
    std::fprintf(stderr, "usage: mervane-screenshot SKIN OUTPUT.png\n");
    return 2;
  }
  mervane::frmMain window(mervane::CommandLinePath({arguments[1]}));
  window.resize(560, 520);
  window.move(0, 0);
  window.show();

  int status = 1;
  QPixmap plain;
  auto grab = [&window] {
    const QRect frame = window.frameGeometry();
    return window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  };
  // Each step waits a little, so that the X server has drawn what the
  // previous one changed.
  QTimer::singleShot(300, [&] {
    plain = grab();
    window.findChild<QAction*>("mnuOpen")->trigger();  // reads the command-line skin
    if (!window.model().ModelLoaded) {
      std::fprintf(stderr, "the skin was not read\n");
      app.exit(1);
      return;
    }
    QTimer::singleShot(300, [&] {
      auto* file = window.findChild<QMenu*>("mnuFile");
      window.menuBar()->setActiveAction(file->menuAction());
      file->setActiveAction(window.findChild<QAction*>("mnuImportOBJ"));
      QTimer::singleShot(500, [&, file] {
        // The window as it starts, and beside it with the skin open and
        // its File menu down.
        const QPixmap with_menu = grab();
        file->hide();
        const QPixmap left = Framed(plain, window.windowTitle());
        const QPixmap right = Framed(with_menu, window.windowTitle());
        const int gap = 24;
        QPixmap both(left.width() + gap + right.width(), std::max(left.height(), right.height()));
        both.fill(Qt::white);
        QPainter painter(&both);
        painter.drawPixmap(0, 0, left);
        painter.drawPixmap(left.width() + gap, 0, right);
        painter.end();
        status = both.save(arguments[2]) ? 0 : 1;
        if (status != 0) std::fprintf(stderr, "could not write %s\n", qPrintable(arguments[2]));
        app.exit(status);
      });
    });
  });
  app.exec();
  return status;
}
