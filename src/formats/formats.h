#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/textfile.h"
#include "gltf/glb_file.h"
#include "model/model.h"
#include "model/prompts.h"

namespace mervane {

// The rigged form of a format: several skins in one file. Both throw
// Failure as load and render report it.
struct RiggedFormat {
  RiggedRead (*read)(const std::string& path, const RigContext& context);
  RiggedWrite (*render)(std::span<const SkinModel> models, const std::string& path, const RigContext& context);
};

// The two poses the window shows a model in. The modelling pose is the
// model as the project's .obj holds it (the world assembly of world.h, arms
// out, as a modeller shows it); the game pose stands it on the game's
// skeleton (arms down), where skills play.
enum class ViewPose { Modelling, Game };

// A file format Mervane opens and saves. Adding a format is adding a row to
// Formats(); the converter, the window's dialogs and drag and drop all
// read the table.
struct Format {
  std::string_view extension;      // lower case, without the "."
  std::string_view open_filter;    // the Open dialog's entry, e.g. "TheSims Skin Files (*.skn)"
  std::string_view save_filter;    // the Save As dialog's entry
  std::string_view description;    // for --help: "skin, text"
  Outcome (*load)(SkinModel&, Prompts&, const std::string& path);
  Outcome (*save)(const SkinModel&, Prompts&, const std::string& path);
  // The files save would write, in memory; throws Failure as save reports
  // it. folder lists the files of path's folder, where a project finds its
  // texture.
  std::vector<OutputFile> (*render)(const SkinModel&, const std::string& path, const FolderFiles& folder);
  // Another extension read as this format (.gltf for .glb), or empty.
  std::string_view also_reads = {};
  // For a format that holds skins on a skeleton; nullptr for the others.
  const RiggedFormat* rigged = nullptr;
  // The pose a file of this format opens in: the one its geometry is
  // edited in.
  ViewPose opens_in = ViewPose::Game;
};

// .spj, .skn, .bmf, .glb, in the order the dialogs list them.
std::span<const Format> Formats();

// The format of a path by its extension (case ignored), or nullptr.
const Format* FormatOf(std::string_view path);

// True for a path of a format that places skins on a skeleton (.glb, .gltf).
bool IsRiggedPath(std::string_view path);

// The pose a model read from path is first shown in: its format's, the
// modelling pose for an .obj imported as a part (a modeller made it in
// that pose), and the game pose for anything else (suits are parts on the
// skeleton).
ViewPose OpeningPose(std::string_view path);

// Every file a save to path writes, in order: a project is three files.
std::vector<std::string> FilesWrittenBy(const std::string& path);

// ".spj, .skn, .bmf or .glb", for messages.
std::string FormatExtensionsText();

}  // namespace mervane
