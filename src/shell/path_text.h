#pragma once

// File names between Qt and the core. Inside, a path is the bytes the system
// takes: on Windows UTF-8, which the file layer turns into the system's
// UTF-16; elsewhere the system's own 8-bit encoding, where a name may be any
// bytes.
#include <QDir>
#include <QFile>
#include <QString>
#include <string>

namespace mervane {

inline std::string PathFromQt(const QString& path) {
#ifdef _WIN32
  // Qt separates folders with "/" everywhere; Windows users expect backslashes.
  return QDir::toNativeSeparators(path).toStdString();
#else
  return QFile::encodeName(path).toStdString();
#endif
}

inline QString PathToQt(const std::string& path) {
#ifdef _WIN32
  return QString::fromStdString(path);
#else
  return QFile::decodeName(path.c_str());
#endif
}

}  // namespace mervane
