#include "shell/command_line.h"

#include <QStringList>

namespace mervane {

std::string CommandLinePath(const QStringList& arguments) {
  QString text = arguments.join(' ');
  if (text.size() >= 2 && text.startsWith('"') && text.endsWith('"'))
    text = text.mid(1, text.size() - 2);
  return text.trimmed().toStdString();
}

}  // namespace mervane
