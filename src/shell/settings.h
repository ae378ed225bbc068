#pragma once

#include <QSettings>
#include <QStandardPaths>
#include <QString>

namespace mervane {

// Where the window keeps its settings between runs: an INI file in the
// user's configuration folder (a test folder while Qt's test mode is on),
// the same on every system, so that a user can read or delete it.
inline QString SettingsFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Mervane/mervane.ini";
}

// Whatever is missing, unreadable or not of the expected kind in it is
// passed over by its readers: nothing stored can stop a start.
class Settings : public QSettings {
 public:
  Settings() : QSettings(SettingsFile(), QSettings::IniFormat) {}
};

}  // namespace mervane
