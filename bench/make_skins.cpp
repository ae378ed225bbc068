// Writes benchmark inputs: the maximum-size skin to a file, or a folder of
// typical skins for the batch measurements. Run by bench/compare.sh.
//   make_skins max FILE.skn
//   make_skins typical FOLDER COUNT
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "max_skin.h"

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "max" && argc == 3) {
    std::ofstream(argv[2], std::ios::binary) << mervane::MaxSkn();
    return 0;
  }
  if (mode == "typical" && argc == 4) {
    std::filesystem::create_directories(argv[2]);
    const int count = std::atoi(argv[3]);
    for (int i = 0; i < count; ++i)
      std::ofstream(std::filesystem::path(argv[2]) / ("skin" + std::to_string(i) + ".skn"), std::ios::binary)
          << mervane::TypicalSkn(static_cast<unsigned>(i));
    return 0;
  }
  std::fprintf(stderr, "usage: make_skins max FILE.skn | typical FOLDER COUNT\n");
  return 2;
}
