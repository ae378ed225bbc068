// Runs the fixed conversions of output_set.h: the Linux build's files are
// what the Windows build's tests compare their own with.
#include <cstdio>
#include <filesystem>

#include "output_set.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: mervane_output_set SAMPLES FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = std::filesystem::absolute(argv[2]);
  std::filesystem::create_directories(folder / "in");
  std::filesystem::create_directories(folder / "out");
  mervane::test::WriteGeneratedSkins((folder / "in").string());
  mervane::test::ConvertAll((folder / "in").string(), std::filesystem::absolute(argv[1]).string(),
                            (folder / "out").string());
  return 0;
}
