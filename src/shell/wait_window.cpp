#include "shell/wait_window.h"

#include <QLabel>
#include <QVBoxLayout>

namespace mervane {

frmWait::frmWait(QWidget* parent) : QWidget(parent, Qt::Dialog) {
  setObjectName("frmWait");
  setWindowTitle("Please Wait.");
  setWindowModality(Qt::NonModal);
  auto* label = new QLabel("Please Wait.  Processing File(s)", this);
  label->setObjectName("Label1");
  label->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 16, 24, 16);
  layout->addWidget(label);
}

}  // namespace mervane
