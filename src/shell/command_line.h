#pragma once

#include <QStringList>
#include <string>

namespace mervane {

// The path given to the program: its arguments joined by single blanks, so
// that a path with blanks that reached us unquoted in several pieces is
// whole again; one pair of surrounding double quotes removed, and only a
// pair; then blanks trimmed at both ends.
std::string CommandLinePath(const QStringList& arguments);

}  // namespace mervane
