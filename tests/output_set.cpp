#include "output_set.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <vector>

#include "cli/converter.h"
#include "model/paths.h"
#include "model/skeleton.h"
#include "support.h"

namespace mervane::test {
namespace fs = std::filesystem;

void WriteGeneratedSkins(const std::string& folder) {
  std::vector<std::string> all_bones;
  for (const auto& bone : SkeletonTable()) all_bones.push_back(bone.name);
  std::vector<int> counts(all_bones.size(), 6);
  counts[2] = 0;
  const std::vector<SkinShape> shapes{
      {all_bones, counts, 9, 21},
      {{"PELVIS"}, {0}, 3, 22},
      {{"HEAD", "L_HAND", "r_foot", "NOT_A_BONE"}, {40, 1, 2, 5}, 1, 23},
      {{"PELVIS", "SPINE", "R_ARM"}, {300, 200, 100}, 50, 24},
  };
  for (const SkinShape& shape : shapes)
    WriteFile(folder + "/gen-" + std::to_string(shape.seed) + ".skn", MakeSkn(shape));
}

void ConvertAll(const std::string& inputs, const std::string& samples, const std::string& out) {
  std::vector<std::string> skins, projects, parts;
  for (const auto& entry : fs::directory_iterator(inputs)) skins.push_back(entry.path().string());
  std::sort(skins.begin(), skins.end());
  for (const char* name : {"blender/blender-roundtrip/sample.skn", "blender/blender-roundtrip/moved-expected.skn",
                           "bmf/tiny.skn", "bmf/tiny-back.skn"})
    skins.push_back(samples + "/" + name);
  skins.push_back(ExamplePath("mannequin.skn"));
  for (const char* name : {"moved.spj", "cube.spj"}) projects.push_back(samples + "/blender/blender-roundtrip/" + name);
  for (const char* name : {"torus_quads.obj", "cone_ngon.obj", "icosphere_tris.obj"})
    parts.push_back(samples + "/blender/blender-parts/" + name);

  // Targets are named without a folder, so that the .mtl files, which name
  // their folder, do not depend on where the set is written.
  const fs::path before = fs::current_path();
  fs::current_path(out);
  std::ostringstream log;
  auto run = [&](std::vector<std::string> args, const std::string& input) {
    std::ostringstream said, err;
    const int status = RunConverter(args, said, err);
    std::replace(args.begin(), args.end(), input, FileNameOf(input));
    for (const std::string& arg : args) log << arg << ' ';
    log << "-> " << status << "\n" << said.str() << err.str();
  };
  for (const std::string& skin : skins) {
    const std::string base = BasePathOf(FileNameOf(skin));
    run({skin, base + ".spj"}, skin);
    run({skin, base + "-copy.skn"}, skin);
    run({"--info", skin}, skin);
    run({base + ".spj", base + "-back.skn"}, base + ".spj");
  }
  for (const std::string& project : projects)
    run({"--fix-normals=yes", project, BasePathOf(FileNameOf(project)) + "-project.skn"}, project);
  for (const std::string& part : parts) {
    const std::string base = BasePathOf(FileNameOf(part));
    run({"--import", part, "--attach", "L_HAND", base + "-part.skn"}, part);
    run({"--import", part, "--attach", "HEAD", "--fix-normals=no", base + "-part.spj"}, part);
  }
  WriteFile("log.txt", log.str());
  fs::current_path(before);
}

}  // namespace mervane::test
