#pragma once

#include <span>
#include <string>
#include <vector>

#include "archive/game_index.h"
#include "install/find_game.h"

namespace mervane {

// What the game makes of a folder of custom skins: the slips that make it
// ignore a skin, show it broken, or show it twice.

struct Finding {
  enum class Level { Error, Warning };
  std::string path;
  Level level = Level::Error;
  std::string message;
};

struct CheckReport {
  std::vector<Finding> findings;
  std::size_t files = 0;  // the skin files read
};

// Reads each path as the game would and reports its findings, errors
// first, each group in path order. A path is a file, a folder of skins, or
// a game install (its GameData/Skins is checked). Errors are what the game
// will not show or shows broken: a bitmap that is not an uncompressed
// 8-bit BMP or not square, a suit whose name is not its file's, a suit
// naming a mesh found nowhere (the folder, then game), a file that does not
// parse, skin files in a subfolder, a mesh bone its age's skeleton lacks.
// Warnings: a suit without a bitmap in some tone, a bitmap that no suit of
// its prefix wears, two suits on one prefix, a .skn whose first line is
// not its file's name, a loose file hiding one of the game's archive
// members, and with env a skin that only Windows' VirtualStore copy of a
// Skins folder holds. game and env may be null.
CheckReport CheckSkins(std::span<const std::string> paths, const GameIndex* game, const Environment* env = nullptr);

// "PATH: error: message", as the converter prints a finding.
std::string FindingLine(const Finding& finding);

// "2 errors, 1 warning in 14 files".
std::string FindingsSummary(const CheckReport& report);

}  // namespace mervane
