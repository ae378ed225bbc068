#pragma once

#include <QWidget>

namespace mervane {

// The small window shown while a file is read or written. It never blocks
// the main window and its text never changes.
class frmWait : public QWidget {
  Q_OBJECT

 public:
  explicit frmWait(QWidget* parent);
};

}  // namespace mervane
