// The file work of a conversion without the conversion: reads its sources
// whole and writes, as one atomic set, files of its targets' sizes, through
// the same file layer as the converter. What this takes is the part of a
// conversion's time that parsing and formatting cannot win back.
//   io_floor OUT_DIR SOURCE... -- LIKE...
// writes OUT_DIR/<name of LIKE> with as many bytes as LIKE has, for each LIKE.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "archive/far.h"
#include "files/textfile.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  auto split = std::find(args.begin(), args.end(), "--");
  if (args.empty() || split == args.end() || split == args.begin() + 1) {
    std::cerr << "usage: io_floor OUT_DIR SOURCE... -- LIKE...\n";
    return 2;
  }
  try {
    std::size_t read = 0;
    for (auto source = args.begin() + 1; source != split; ++source) read += mervane::ReadWholeFile(*source).size();
    std::vector<std::string> texts, paths;
    for (auto like = split + 1; like != args.end(); ++like) {
      texts.emplace_back(static_cast<std::size_t>(std::filesystem::file_size(*like)), 'x');
      paths.push_back((std::filesystem::path(args[0]) / std::filesystem::path(*like).filename()).string());
    }
    std::vector<mervane::FileToWrite> writes;
    for (std::size_t i = 0; i < texts.size(); ++i) writes.push_back({paths[i], texts[i]});
    mervane::WriteFilesAtomically(writes);
    return read > 0 ? 0 : 1;
  } catch (const std::exception& e) {
    std::cerr << "io_floor: " << e.what() << "\n";
    return 1;
  }
}
