#pragma once

#include <QLabel>

namespace mervane {

// A label for a path: text() keeps the whole path, but what is drawn is cut
// in the middle ("/home/.../body.skn") when it does not fit, so that the
// start of the folder and the file name both stay in view.
class ElidedLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;
  // The text as it is drawn at the label's present width.
  QString ShownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace mervane
