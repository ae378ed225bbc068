#pragma once

// The one grammar of .cmx and .bcf, over a field reader or writer of either
// form: both formats hold the same fields in the same order.
#include <string>
#include <utility>

#include "character/character.h"
#include "model/failure.h"

namespace mervane::grammar {

// The kinds of counted elements, so that a reader can check a count against
// the least room that many elements take before allocating for them.
enum class Element { Skeleton, Bone, Suit, Skin, Skill, Motion, PropertyList, Property, TimeList, TimeProperty };

// Reading. In provides:
//   std::string Text(const char* what);
//   std::uint32_t U32(const char* what);  std::int32_t I32(const char* what);
//   float F32(const char* what);
//   void Floats(float* out, int n, const char* what);  // a vector
//   std::uint32_t Count(const char* what, Element);  // checked against the room left
//   auto Mark();  void Place(Failure&, mark);  // where an element starts
template <class In, class Body>
void Named(In& in, const std::string& element, Body&& body) {
  const auto mark = in.Mark();
  try {
    body();
  } catch (Failure& failure) {
    failure.About(element);
    in.Place(failure, mark);
    throw;
  }
}

template <class In>
PropertyList ReadProperties(In& in) {
  PropertyList list(in.Count("a property count", Element::Property));
  for (Property& property : list) {
    property.key = in.Text("a property key");
    property.value = in.Text("a property value");
  }
  return list;
}

template <class In>
std::vector<PropertyList> ReadPropertyLists(In& in) {
  std::vector<PropertyList> lists(in.Count("a property-list count", Element::PropertyList));
  for (PropertyList& list : lists) list = ReadProperties(in);
  return lists;
}

template <class In>
std::vector<TimePropertyList> ReadTimeLists(In& in) {
  std::vector<TimePropertyList> lists(in.Count("a time-property-list count", Element::TimeList));
  for (TimePropertyList& list : lists) {
    list.resize(in.Count("a time-property count", Element::TimeProperty));
    for (TimeProperty& entry : list) {
      entry.time_ms = in.U32("a time");
      entry.properties = ReadProperties(in);
    }
  }
  return lists;
}

template <class In>
void ReadBone(In& in, Bone& bone) {
  bone.name = in.Text("a bone name");
  bone.parent = in.Text("a parent name");
  bone.properties = ReadPropertyLists(in);
  in.Floats(bone.position.data(), 3, "a position");
  in.Floats(bone.rotation.data(), 4, "a rotation");
  bone.can_translate = in.U32("canTranslate");
  bone.can_rotate = in.U32("canRotate");
  bone.can_blend = in.U32("canBlend");
  bone.wiggle_value = in.F32("the wiggle value");
  bone.wiggle_power = in.F32("the wiggle power");
}

template <class In>
void ReadMotion(In& in, Motion& motion) {
  motion.bone_name = in.Text("a motion's bone name");
  motion.frames = in.U32("the frame count");
  motion.duration = in.F32("the duration");
  motion.uses_positions = in.U32("the uses-positions flag");
  motion.uses_rotations = in.U32("the uses-rotations flag");
  motion.position_offset = in.I32("the position offset");
  motion.rotation_offset = in.I32("the rotation offset");
  motion.properties = ReadPropertyLists(in);
  motion.time_properties = ReadTimeLists(in);
}

template <class In>
CharacterFile ReadCharacter(In& in) {
  CharacterFile file;
  file.skeletons.resize(in.Count("the skeleton count", Element::Skeleton));
  for (std::size_t s = 0; s < file.skeletons.size(); ++s) {
    Skeleton& skeleton = file.skeletons[s];
    Named(in, Counted("skeleton", static_cast<long>(s)), [&] {
      skeleton.name = in.Text("a skeleton name");
      skeleton.bones.resize(in.Count("the bone count", Element::Bone));
      for (std::size_t b = 0; b < skeleton.bones.size(); ++b)
        Named(in, Counted("bone", static_cast<long>(b)) + " of skeleton " + skeleton.name,
              [&] { ReadBone(in, skeleton.bones[b]); });
      CheckSkeleton(skeleton);
    });
  }
  file.suits.resize(in.Count("the suit count", Element::Suit));
  for (std::size_t s = 0; s < file.suits.size(); ++s) {
    Suit& suit = file.suits[s];
    Named(in, Counted("suit", static_cast<long>(s)), [&] {
      suit.name = in.Text("a suit name");
      suit.type = in.U32("the suit type");
      suit.properties = ReadPropertyLists(in);
      suit.skins.resize(in.Count("the skin count", Element::Skin));
      for (std::size_t k = 0; k < suit.skins.size(); ++k)
        Named(in, Counted("skin", static_cast<long>(k)) + " of suit " + suit.name, [&] {
          SuitSkin& skin = suit.skins[k];
          skin.bone_name = in.Text("a skin's bone name");
          skin.skin_name = in.Text("a skin name");
          skin.censor_flags = in.U32("the censor flags");
          skin.properties = ReadPropertyLists(in);
        });
    });
  }
  file.skills.resize(in.Count("the skill count", Element::Skill));
  for (std::size_t s = 0; s < file.skills.size(); ++s) {
    Skill& skill = file.skills[s];
    Named(in, Counted("skill", static_cast<long>(s)), [&] {
      skill.name = in.Text("a skill name");
      skill.frames_name = in.Text("the frame-data name");
      skill.duration = in.F32("the duration");
      skill.distance = in.F32("the distance");
      skill.moves = in.U32("the moves flag");
      skill.position_count = in.U32("the position count");
      skill.rotation_count = in.U32("the rotation count");
      skill.motions.resize(in.Count("the motion count", Element::Motion));
      for (std::size_t m = 0; m < skill.motions.size(); ++m)
        Named(in, Counted("motion", static_cast<long>(m)) + " of skill " + skill.name,
              [&] { ReadMotion(in, skill.motions[m]); });
    });
  }
  return file;
}

// Writing. Out provides Text(std::string_view), U32, I32, F32 and
// Floats(const float*, int) for the same fields; counts go through U32.
template <class Out>
void WriteProperties(Out& out, const PropertyList& list) {
  out.Count(list.size());
  for (const Property& property : list) {
    out.Text(property.key);
    out.Text(property.value);
  }
}

template <class Out>
void WritePropertyLists(Out& out, const std::vector<PropertyList>& lists) {
  out.Count(lists.size());
  for (const PropertyList& list : lists) WriteProperties(out, list);
}

template <class Out>
void WriteCharacter(Out& out, const CharacterFile& file) {
  out.Count(file.skeletons.size());
  for (const Skeleton& skeleton : file.skeletons) {
    out.Text(skeleton.name);
    out.Count(skeleton.bones.size());
    for (const Bone& bone : skeleton.bones) {
      out.Text(bone.name);
      out.Text(bone.parent);
      WritePropertyLists(out, bone.properties);
      out.Floats(bone.position.data(), 3);
      out.Floats(bone.rotation.data(), 4);
      out.U32(bone.can_translate);
      out.U32(bone.can_rotate);
      out.U32(bone.can_blend);
      out.F32(bone.wiggle_value);
      out.F32(bone.wiggle_power);
    }
  }
  out.Count(file.suits.size());
  for (const Suit& suit : file.suits) {
    out.Text(suit.name);
    out.U32(suit.type);
    WritePropertyLists(out, suit.properties);
    out.Count(suit.skins.size());
    for (const SuitSkin& skin : suit.skins) {
      out.Text(skin.bone_name);
      out.Text(skin.skin_name);
      out.U32(skin.censor_flags);
      WritePropertyLists(out, skin.properties);
    }
  }
  out.Count(file.skills.size());
  for (const Skill& skill : file.skills) {
    out.Text(skill.name);
    out.Text(skill.frames_name);
    out.F32(skill.duration);
    out.F32(skill.distance);
    out.U32(skill.moves);
    out.U32(skill.position_count);
    out.U32(skill.rotation_count);
    out.Count(skill.motions.size());
    for (const Motion& motion : skill.motions) {
      out.Text(motion.bone_name);
      out.U32(motion.frames);
      out.F32(motion.duration);
      out.U32(motion.uses_positions);
      out.U32(motion.uses_rotations);
      out.I32(motion.position_offset);
      out.I32(motion.rotation_offset);
      WritePropertyLists(out, motion.properties);
      out.Count(motion.time_properties.size());
      for (const TimePropertyList& list : motion.time_properties) {
        out.Count(list.size());
        for (const TimeProperty& entry : list) {
          out.U32(entry.time_ms);
          WriteProperties(out, entry.properties);
        }
      }
    }
  }
}

}  // namespace mervane::grammar
