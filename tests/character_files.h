#pragma once

// A small character the tests make for themselves: a rotated two-bone
// skeleton (PELVIS, HEAD), a body skin with a vertex blended between the
// bones, and a skill moving both, in a fresh folder.
#include <string>
#include <vector>

#include "character/character.h"
#include "frames/cfp.h"
#include "support.h"

namespace mervane::test {

// .skn text of a four-vertex skin on PELVIS and a second bone, with one
// blended vertex of the second bone pulling vertex 2 half way.
inline std::string SmallSkn(const std::string& name, const std::string& texture,
                            const std::string& second_bone = "HEAD") {
  return CrLf({name, texture, "2", "PELVIS", second_bone, "2", "0 1 2", "1 3 2", "2", "0 0 3 0 0", "1 3 1 0 1", "4",
               "0 0", "1 0", "0.5 1", "0.25 0.75", "1", "2 16384", "5", "0 0 0 0 0 1", "1 0 0 0 0 1",
               "0 1 0 0 0.6 0.8", "0 0.1234567 -2.5 1 0 0", "0.5 0.5 0.5 0 0 -1"});
}

// A 2 x 2 24-bit .bmp, red in its top row and blue in its bottom row.
inline std::string TwoColourBitmap() {
  const unsigned char bytes[] = {
      'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,                            // file header
      40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0,  // info header
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      255, 0, 0, 255, 0, 0, 0, 0,  // bottom row first: blue, blue (BGR), padding
      0, 0, 255, 0, 0, 255, 0, 0,  // top row: red, red
  };
  return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

struct SmallCharacter {
  TempDir dir;
  std::string mesh = dir.path("xskin-b001mafit_test-PELVIS-BODY.skn");
  std::string skill_file = dir.path("tiny-skills.cmx");

  SmallCharacter() {
    Skeleton skeleton{"adult", {}};
    Bone pelvis;
    pelvis.name = "PELVIS";
    pelvis.parent = std::string(kNoParent);
    pelvis.position = {0.1f, 2.5f, 0.0f};
    pelvis.rotation = {0.0f, 0.258819f, 0.0f, 0.965926f};
    Bone head;
    head.name = "HEAD";
    head.parent = "PELVIS";
    head.position = {0.0f, 1.0f, 0.2f};
    head.rotation = {0.2f, 0.1f, 0.0f, 0.974679f};
    skeleton.bones = {pelvis, head};
    WriteFile(dir.path("adult-skeleton.cmx"), CmxText({{skeleton}, {}, {}}));

    Skill skill;
    skill.name = "tiny-nod";
    skill.frames_name = "tiny-nod";
    skill.duration = 100;
    skill.position_count = 3;
    skill.rotation_count = 6;
    Motion move;
    move.bone_name = "PELVIS";
    move.frames = 3;
    move.uses_positions = move.uses_rotations = 1;
    move.position_offset = 0;
    move.rotation_offset = 0;
    Motion nod = move;
    nod.bone_name = "HEAD";
    nod.uses_positions = 0;
    nod.position_offset = -1;
    nod.rotation_offset = 3;
    skill.motions = {move, nod};
    Skill lost = skill;  // its frames are not there
    lost.name = lost.frames_name = "tiny-lost";
    WriteFile(skill_file, CmxText({{}, {}, {skill, lost}}));
    Frames frames;
    frames.positions = {{0, 2.5f, 0}, {0.3f, 2.6f, 0.1f}, {0.6f, 2.5f, 0.2f}};
    frames.rotations = {{0, 0, 0, 1}, {0, 0.3f, 0, 0.953939f}, {0, 0.5f, 0.1f, 0.860233f},
                        {0, 0, 0, 1}, {0.4f, 0, 0, 0.916515f}, {0.6f, 0.1f, 0, 0.793725f}};
    WriteFile(dir.path("tiny-nod.cfp"), CfpBytes(frames));
    WriteFile(mesh, SmallSkn("xskin-b001mafit_test-PELVIS-BODY", "b001mafitlgt_test"));
    WriteFile(dir.path("b001mafitlgt_test.bmp"), TwoColourBitmap());
  }

  // A suit file naming one skin, with that skin's .skn and light bitmap
  // beside it.
  void AddSuit(const std::string& suit_name, const std::string& skin_name, const std::string& bone) const {
    std::string bitmap = suit_name;
    const std::size_t under = bitmap.find('_');
    bitmap.insert(under == std::string::npos ? bitmap.size() : under, "lgt");
    WriteFile(dir.path(bitmap + ".bmp"), TwoColourBitmap());
    Suit suit;
    suit.name = suit_name;
    suit.skins.push_back({bone, skin_name, 0, {}});
    WriteFile(dir.path(suit_name + ".cmx"), CmxText({{}, {suit}, {}}));
    WriteFile(dir.path(skin_name + ".skn"), SmallSkn(skin_name, "x", bone));
  }
};

}  // namespace mervane::test
