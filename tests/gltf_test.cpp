#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <tiny_gltf.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <set>
#include <sstream>
#include <tuple>

#include "character/lookup.h"
#include "character_files.h"
#include "cli/converter.h"
#include "gltf/glb.h"
#include "gltf/glb_file.h"
#include "gltf/gltf_document.h"
#include "gltf/gltf_skills.h"
#include "model/world.h"
#include "pose/skinning.h"
#include "scene/character_scene.h"
#include "skn/skn.h"
#include "support.h"

namespace mervane {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::TempDir;

int Convert(const std::vector<std::string>& args, std::string* err = nullptr) {
  std::ostringstream out, errors;
  const int status = RunConverter(args, out, errors);
  if (err) *err = errors.str();
  return status;
}

// A skin with blends, its numbers in the digits a game file has them
// (7 significant, not six decimals), on bones of the built-in table.
std::string SampleSkn(unsigned seed = 1) {
  return test::MakeSkn({{"PELVIS", "SPINE", "L_ARM"}, {6, 6, 6}, 3, seed});
}

SkinModel ReadAsWritten(const std::string& text) { return ParseSkn(text, "in.skn", SknDigits::AsWritten); }

std::string GlbOf(std::span<const SkinModel> models) {
  return GlbBytes(BuiltInRig(), models, {}, {});
}

// A .glb taken apart, to change and put together again.
struct Glb {
  json doc;
  std::string bin;

  static Glb Of(const std::string& bytes) {
    std::uint32_t json_length;
    std::memcpy(&json_length, bytes.data() + 12, 4);
    return {json::parse(bytes.substr(20, json_length)), bytes.substr(20 + json_length + 8)};
  }
  std::string Bytes() const {
    std::string text = doc.dump();
    text.resize((text.size() + 3) / 4 * 4, ' ');
    std::string out = "glTF";
    auto put = [&](std::uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
    put(2);
    put(static_cast<std::uint32_t>(28 + text.size() + bin.size()));
    put(static_cast<std::uint32_t>(text.size()));
    put(0x4E4F534A);
    out += text;
    put(static_cast<std::uint32_t>(bin.size()));
    put(0x004E4942);
    return out + bin;
  }
  // The first primitive's accessor of an attribute, and where its element starts.
  json& Primitive() { return doc["meshes"][0]["primitives"][0]; }
  std::size_t At(int accessor, std::size_t element) {
    const json& a = doc["accessors"][accessor];
    const json& view = doc["bufferViews"][a["bufferView"].get<int>()];
    const std::size_t size = a["componentType"] == 5126 ? 4 : a["componentType"] == 5123 ? 2 : 1;
    const std::size_t components = a["type"] == "VEC4" ? 4 : a["type"] == "VEC3" ? 3 : a["type"] == "VEC2" ? 2 : a["type"] == "MAT4" ? 16 : 1;
    return view.value("byteOffset", std::size_t{0}) + a.value("byteOffset", std::size_t{0}) +
           element * size * components;
  }
  template <typename T>
  void Set(const char* attribute, std::size_t element, int component, T value) {
    const int accessor = attribute[0] == '#' ? Primitive()["indices"].get<int>() : Primitive()["attributes"][attribute].get<int>();
    std::memcpy(bin.data() + At(accessor, element) + sizeof(T) * static_cast<std::size_t>(component), &value, sizeof(T));
  }
  template <typename T>
  T Get(const char* attribute, std::size_t element, int component) {
    T value;
    std::memcpy(&value, bin.data() + At(Primitive()["attributes"][attribute].get<int>(), element) + sizeof(T) * static_cast<std::size_t>(component), sizeof(T));
    return value;
  }
  // A new buffer view of bytes at the BIN chunk's end, padded to 4: its index.
  std::size_t AddView(const std::string& bytes) {
    doc["bufferViews"].push_back({{"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", bytes.size()}});
    bin += bytes;
    bin.resize((bin.size() + 3) / 4 * 4);
    doc["buffers"][0]["byteLength"] = bin.size();
    return doc["bufferViews"].size() - 1;
  }
  // A new mesh of zeroed data, placed by `placements` nodes of the scene:
  // `vertices` positions of its own (else the first primitive's) and
  // `indices` 16-bit indices (else none) read in `mode`.
  void PlaceManyTimes(std::size_t vertices, std::size_t indices, int placements = 17, int mode = 4) {
    auto add = [&](std::size_t count, int type, const char* shape, std::size_t element) {
      doc["accessors"].push_back(
          {{"bufferView", AddView(std::string(count * element, '\0'))}, {"componentType", type}, {"count", count}, {"type", shape}});
      return doc["accessors"].size() - 1;
    };
    json primitive;
    primitive["attributes"]["POSITION"] = vertices ? json(add(vertices, 5126, "VEC3", 12)) : Primitive()["attributes"]["POSITION"];
    if (indices) primitive["indices"] = add(indices, 5123, "SCALAR", 2);
    primitive["mode"] = mode;
    doc["meshes"].push_back({{"primitives", json::array({primitive})}});
    for (int k = 0; k < placements; ++k) {
      doc["scenes"][0]["nodes"].push_back(doc["nodes"].size());
      doc["nodes"].push_back({{"mesh", doc["meshes"].size() - 1}});
    }
  }
  // As a .gltf whose buffer lies where uri says.
  std::string Gltf(const std::string& uri) const {
    json text = doc;
    text["buffers"][0]["uri"] = uri;
    return text.dump();
  }
};

std::string Base64(const std::string& bytes) {
  static const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 3; ++k) v = v << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    for (std::size_t k = 0; k < 4; ++k) out += k <= n ? abc[(v >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}

// Every way a glTF file can fail, each a file made here: the rigged reader's
// refusals, which tell the modder what to do in Blender, and the hostile
// files' (references, ranges, cycles, numbers, URIs, limits). Each is read
// in a folder of its own; the folder around it holds a file that a climbing
// URI would reach, and must be as it was after each case.
TEST(GltfReader, RefusesEveryBrokenOrHostileFileByNameAndTouchesNothingOutsideItsFolder) {
  const SkinModel skin = ReadAsWritten(SampleSkn());
  const Glb good = Glb::Of(GlbOf({&skin, 1}));
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN(), kInf = std::numeric_limits<float>::infinity();
  // A reference equal to its table's size is the first one past the end.
  const auto size_of = [&](const char* table) { return std::to_string(good.doc.value(table, json::array()).size()); };
  const std::string joints = std::to_string(good.doc["skins"][0]["joints"].size());
  struct Case {
    const char* name;
    std::function<void(Glb&)> change;
    std::string file = "x.glb";  // .gltf: the buffer is in uri
    std::string uri;
    int number;             // 0: read
    std::string fragment;   // in the message
  };
  const std::vector<Case> cases{
      // What a modeller may leave out or get wrong.
      {"no UVs", [](Glb& g) { g.Primitive()["attributes"].erase("TEXCOORD_0"); }, "x.glb", "", 5, "UV map"},
      {"no normals", [](Glb& g) { g.Primitive()["attributes"].erase("NORMAL"); }, "x.glb", "", 5, "Normals ticked"},
      {"a vertex without weight", [](Glb& g) { for (int k = 0; k < 4; ++k) g.Set<float>("WEIGHTS_0", 4, k, 0); }, "x.glb", "", 5,
       "vertex 4 (counted from 0) of mesh mesh_1"},
      {"a joint that is no bone", [](Glb& g) { g.doc["nodes"][1]["name"] = "Bone.001"; }, "x.glb", "", 5, "\"Bone.001\", which is not a bone"},
      {"a joint not where the skeleton has it", [](Glb& g) { g.doc["nodes"][1]["translation"][1] = 3.0; }, "x.glb", "", 5, "--skeleton"},
      {"no mesh with weights", [](Glb& g) { g.Primitive()["attributes"].erase("JOINTS_0"); g.Primitive()["attributes"].erase("WEIGHTS_0"); }, "x.glb", "", 5, "no mesh with bone weights"},
      // References past what they refer to, and ranges past the bytes.
      {"an index past the vertices", [](Glb& g) { g.Set<std::uint16_t>("#", 2, 0, 18); }, "x.glb", "", 9, "index 18 is past the 18 vertices"},
      {"a joint past the skin", [](Glb& g) { g.Set<std::uint8_t>("JOINTS_0", 0, 0, static_cast<std::uint8_t>(g.doc["skins"][0]["joints"].size())); },
       "x.glb", "", 9, "joint " + joints + " is past the skin's " + joints + " joints"},
      {"a view past its buffer", [](Glb& g) { g.doc["bufferViews"][0]["byteLength"] = g.bin.size() + 4; }, "x.glb", "", 9, "buffer view 0"},
      {"a stride smaller than its element", [](Glb& g) { g.doc["bufferViews"][g.doc["accessors"][g.Primitive()["attributes"]["POSITION"].get<int>()]["bufferView"].get<int>()]["byteStride"] = 4; }, "x.glb", "", 5, "stride 4 is smaller"},
      {"a count the bytes cannot hold", [](Glb& g) { g.doc["accessors"][g.Primitive()["attributes"]["NORMAL"].get<int>()]["count"] = 5000; }, "x.glb", "", 9, "5000 elements"},
      {"an accessor past the accessors", [](Glb& g) { g.Primitive()["attributes"]["TEXCOORD_0"] = g.doc["accessors"].size(); }, "x.glb", "", 9,
       "TEXCOORD_0: accessor " + size_of("accessors") + " is past the " + size_of("accessors") + " there are"},
      {"a material past the materials", [](Glb& g) { g.Primitive()["material"] = g.doc["materials"].size(); }, "x.glb", "", 9, "material " + size_of("materials") + " is past"},
      {"a mesh past the meshes", [](Glb& g) { g.doc["nodes"].back()["mesh"] = g.doc["meshes"].size(); }, "x.glb", "", 9, "mesh " + size_of("meshes") + " is past"},
      {"a child past the nodes", [](Glb& g) { g.doc["nodes"][0]["children"].push_back(g.doc["nodes"].size()); }, "x.glb", "", 9, "child node " + size_of("nodes") + " is past"},
      {"a far child", [](Glb& g) { g.doc["nodes"][0]["children"].push_back(500); }, "x.glb", "", 9, "child node 500"},
      {"a negative mesh", [](Glb& g) { g.doc["nodes"].back()["mesh"] = -2; }, "x.glb", "", 9, "mesh -2 is past"},
      {"a texture past the textures", [](Glb& g) { g.doc["materials"][0]["pbrMetallicRoughness"]["baseColorTexture"]["index"] = g.doc["textures"].size(); }, "x.glb", "", 9,
       "texture " + size_of("textures") + " is past"},
      // Node trees that are no trees, and joints outside the scene.
      {"a cycle through the nodes", [](Glb& g) { g.doc["nodes"][2]["children"].push_back(1); }, "x.glb", "", 5, "cycle"},
      {"a node with two parents", [](Glb& g) { g.doc["nodes"][3]["children"].push_back(g.doc["nodes"][1]["children"][1]); }, "x.glb", "", 5, "child of two nodes"},
      {"joints not in the scene", [](Glb& g) { g.doc["scenes"][0]["nodes"] = json::array({g.doc["nodes"].size() - 1}); }, "x.glb", "", 5, "not in the scene"},
      // Numbers that are no numbers.
      {"a NaN position", [=](Glb& g) { g.Set<float>("POSITION", 3, 1, kNaN); }, "x.glb", "", 6, "its position is not a finite number"},
      {"an infinite weight", [=](Glb& g) { g.Set<float>("WEIGHTS_0", 2, 0, kInf); }, "x.glb", "", 6, "its weight is not a finite number"},
      {"an infinite inverse bind matrix", [=](Glb& g) {
         const auto at = g.At(g.doc["skins"][0]["inverseBindMatrices"].get<int>(), 1);
         std::memcpy(g.bin.data() + at, &kInf, 4);
       }, "x.glb", "", 6, "inverse bind matrix"},
      {"a rotation of length 0", [](Glb& g) { g.doc["nodes"][0]["rotation"] = json::array({0, 0, 0, 0}); }, "x.glb", "", 5, "not a rotation"},
      // What the JSON and the container must be.
      {"nesting without end", [](Glb& g) { g.doc["extras"] = json::parse(std::string(200, '[') + std::string(200, ']')); }, "x.glb", "", 5, "nests deeper than 64"},
      {"nesting one too deep", [](Glb& g) { g.doc["extras"] = json::parse(std::string(64, '[') + std::string(64, ']')); }, "x.glb", "", 5, "nests deeper than 64"},
      {"nesting at the limit", [](Glb& g) { g.doc["extras"] = json::parse(std::string(63, '[') + std::string(63, ']')); }, "x.glb", "", 0, ""},
      {"a sparse accessor", [](Glb& g) { g.doc["accessors"][0]["sparse"] = {{"count", 1}, {"indices", {{"bufferView", 0}, {"componentType", 5123}}}, {"values", {{"bufferView", 0}}}}; }, "x.glb", "", 5, "sparse"},
      {"a required extension", [](Glb& g) { g.doc["extensionsRequired"] = {"KHR_draco_mesh_compression"}; g.doc["extensionsUsed"] = {"KHR_draco_mesh_compression"}; }, "x.glb", "", 5, "KHR_draco_mesh_compression"},
      {"lines, not triangles", [](Glb& g) { g.Primitive()["mode"] = 1; }, "x.glb", "", 5, "only triangles"},
      {"two indices past whole triangles", [](Glb& g) { auto& count = g.doc["accessors"][g.Primitive()["indices"].get<int>()]["count"]; count = count.get<int>() - 1; },
       "x.glb", "", 5, "indices do not make whole triangles"},
      {"one index past whole triangles", [](Glb& g) { auto& count = g.doc["accessors"][g.Primitive()["indices"].get<int>()]["count"]; count = count.get<int>() - 2; },
       "x.glb", "", 5, "indices do not make whole triangles"},
      // Attributes that must come together, and integers that must be normalized.
      {"primitives that differ in what they hold", [](Glb& g) {
         json other = g.Primitive();
         other["attributes"].erase("NORMAL");
         g.doc["meshes"][0]["primitives"].push_back(other);
       }, "x.glb", "", 5, "its primitives differ in the attributes they hold"},
      {"joints without weights", [](Glb& g) { g.Primitive()["attributes"].erase("WEIGHTS_0"); }, "x.glb", "", 5, "JOINTS_0 and WEIGHTS_0 come together"},
      {"weights on a node without a skin", [](Glb& g) { g.doc["nodes"].back().erase("skin"); }, "x.glb", "", 5, "its node has no skin"},
      {"integer UVs not normalized", [](Glb& g) { g.doc["accessors"][g.Primitive()["attributes"]["TEXCOORD_0"].get<int>()]["componentType"] = 5123; }, "x.glb", "", 5,
       "integer texture coordinates must be normalized"},
      {"integer weights not normalized", [](Glb& g) { g.doc["accessors"][g.Primitive()["attributes"]["WEIGHTS_0"].get<int>()]["componentType"] = 5121; }, "x.glb", "", 5,
       "integer weights must be normalized"},
      // Limits announced, refused before anything is allocated for them.
      {"more vertices than a mesh may hold", [](Glb& g) {
         const int a = g.Primitive()["attributes"]["POSITION"].get<int>();
         g.doc["accessors"][a]["count"] = 65536;
         g.doc["bufferViews"][g.doc["accessors"][a]["bufferView"].get<int>()]["byteLength"] = 65536 * 12;
         g.doc["bufferViews"][g.doc["accessors"][a]["bufferView"].get<int>()]["byteOffset"] = g.bin.size();
         g.bin.resize(g.bin.size() + 65536 * 12);
         g.doc["buffers"][0]["byteLength"] = g.bin.size();
       }, "x.glb", "", -1, "65536 vertices"},
      {"more indices than a mesh's triangles need", [](Glb& g) {
         const std::size_t count = 3 * kGltfTriangleLimit + 3;
         json& indices = g.doc["accessors"][g.Primitive()["indices"].get<int>()];
         indices = {{"bufferView", g.AddView(std::string(2 * count, '\0'))}, {"componentType", 5123}, {"count", count}, {"type", "SCALAR"}};
       }, "x.glb", "", 9, std::to_string(3 * kGltfTriangleLimit + 3) + " indices are more than"},
      {"more joints than a skin may hold", [](Glb& g) { while (g.doc["skins"][0]["joints"].size() < 257) g.doc["skins"][0]["joints"].push_back(0); }, "x.glb", "", 9, "257 joints are more than the 256"},
      {"as many joints as a skin may hold", [](Glb& g) { while (g.doc["skins"][0]["joints"].size() < 256) g.doc["skins"][0]["joints"].push_back(0); }, "x.glb", "", 9, "inverse bind matrices"},
      {"one large mesh placed by many nodes", [](Glb& g) { g.PlaceManyTimes(64998, 0); }, "x.glb", "", -1, "vertices in all; a file may hold 1048560"},
      {"many triangles placed by many nodes", [](Glb& g) { g.PlaceManyTimes(0, 96000); }, "x.glb", "", 9, "more than 512016 triangles in all"},
      {"a second buffer copying the BIN chunk", [](Glb& g) { g.doc["buffers"].push_back({{"byteLength", g.bin.size()}}); }, "x.glb", "", 5, "buffer 1 (counted from 0): it has no URI"},
      {"buffers announcing more than is read", [](Glb& g) { g.doc["buffers"].push_back({{"byteLength", 3000000000u}, {"uri", "big.bin"}}); }, "x.glb", "", 9, "its buffers announce more than"},
      // Where a .gltf may read its buffer: data: URIs and its own folder or below.
      {"a buffer as a data: URI", nullptr, "x.gltf", "data:application/octet-stream;base64,", 0, ""},
      {"a buffer in a folder below", nullptr, "x.gltf", "sub/x.bin", 0, ""},
      {"a URL", nullptr, "x.gltf", "https://example.com/x.bin", 52, "\"https://example.com/x.bin\" is a URL"},
      {"a file: URL", nullptr, "x.gltf", "file:///etc/passwd", 52, "\"file:///etc/passwd\""},
      {"an absolute path", nullptr, "x.gltf", "/SECRET", 52, "is an absolute path"},
      {"a path that climbs", nullptr, "x.gltf", "../secret.bin", 52, "\"../secret.bin\" climbs out"},
      {"a path that climbs further down", nullptr, "x.gltf", "sub/../../secret.bin", 52, "climbs out"},
      {"a path that climbs the Windows way", nullptr, "x.gltf", "..\\secret.bin", 52, "climbs out"},
      {"a climbing path written in escapes", nullptr, "x.gltf", "%2e%2e/secret.bin", 52, "\"../secret.bin\" climbs out"},
      {"a drive path", nullptr, "x.gltf", "C:\\secret.bin", 52, "\"C:\\secret.bin\" is an absolute path"},
      {"a buffer that is not there", nullptr, "x.gltf", "missing.bin", 53, "missing.bin"},
      {"a control character in the path", nullptr, "x.gltf", "sub/x\x01.bin", 52, "holds a control character"},
      {"an image URL", [](Glb& g) { g.doc["images"] = {{{"uri", "http://example.com/skin.png"}}}; }, "x.glb", "", 52, "http://example.com/skin.png"},
      {"a DEL in the path", nullptr, "x.gltf", "sub/x\x7F.bin", 52, "holds a control character"},
      {"a path from the root the Windows way", nullptr, "x.gltf", "\\secret.bin", 52, "is an absolute path"},
      {"two more buffers copying the BIN chunk", [](Glb& g) { for (int k = 0; k < 2; ++k) g.doc["buffers"].push_back({{"byteLength", g.bin.size()}}); }, "x.glb", "", 5,
       "buffer 1 (counted from 0): it has no URI"},
      {"a URI in a second buffer's extras", [](Glb& g) { g.doc["buffers"].push_back({{"byteLength", g.bin.size()}, {"extras", {{"uri", "x.bin"}}}}); }, "x.glb", "", 5,
       "buffer 1 (counted from 0): it has no URI"},
      {"a byteLength in a buffer's extras", [](Glb& g) { g.doc["buffers"][0]["extras"] = {{"byteLength", 3000000000u}}; }, "x.glb", "", 0, ""},
      // Attributes a reader cannot take, and primitives that disagree.
      {"a mesh of no vertices", [](Glb& g) {
         g.Primitive().erase("indices");
         for (auto& [name, accessor] : g.Primitive()["attributes"].items()) g.doc["accessors"][accessor.get<int>()]["count"] = 0;
       }, "x.glb", "", 5, "it has no vertices"},
      {"a primitive without POSITION", [](Glb& g) { g.Primitive()["attributes"].erase("POSITION"); }, "x.glb", "", 5, "a primitive has no POSITION"},
      {"fewer normals than positions", [](Glb& g) { g.doc["accessors"][g.Primitive()["attributes"]["NORMAL"].get<int>()]["count"] = 17; }, "x.glb", "", 5,
       "NORMAL has 17 elements for 18 positions"},
      {"more normals than positions", [](Glb& g) {
         json& normals = g.doc["accessors"][g.Primitive()["attributes"]["NORMAL"].get<int>()];
         normals["bufferView"] = g.AddView(std::string(19 * 12, '\0')), normals["count"] = 19;
       }, "x.glb", "", 5, "NORMAL has 19 elements for 18 positions"},
      {"positions as integers", [](Glb& g) { g.doc["accessors"][g.Primitive()["attributes"]["POSITION"].get<int>()]["componentType"] = 5123; }, "x.glb", "", 5,
       "its accessor has a type glTF does not allow there"},
      {"UVs of one number", [](Glb& g) { g.doc["accessors"][g.Primitive()["attributes"]["TEXCOORD_0"].get<int>()]["type"] = "SCALAR"; }, "x.glb", "", 5,
       "its accessor has a type glTF does not allow there"},
      {"normals without a buffer view", [](Glb& g) { g.doc["accessors"][g.Primitive()["attributes"]["NORMAL"].get<int>()].erase("bufferView"); }, "x.glb", "", 5,
       "an accessor without a buffer view is not read"},
      {"a negative weight", [](Glb& g) { g.Set<float>("WEIGHTS_0", 2, 1, -0.25f); }, "x.glb", "", 5, "a weight is negative"},
      {"primitives that differ in their UVs", [](Glb& g) {
         json other = g.Primitive();
         other["attributes"].erase("TEXCOORD_0");
         g.doc["meshes"][0]["primitives"].push_back(other);
       }, "x.glb", "", 5, "its primitives differ in the attributes they hold"},
      {"primitives that differ in their weights", [](Glb& g) {
         json other = g.Primitive();
         other["attributes"].erase("JOINTS_0"), other["attributes"].erase("WEIGHTS_0");
         g.doc["meshes"][0]["primitives"].push_back(other);
       }, "x.glb", "", 5, "its primitives differ in the attributes they hold"},
      {"a view starting past its buffer", [](Glb& g) { g.doc["bufferViews"][0]["byteOffset"] = g.bin.size() + 4; }, "x.glb", "", 9, "buffer view 0"},
      {"a shape key past the accessors", [](Glb& g) { g.Primitive()["targets"] = json::array({{{"POSITION", g.doc["accessors"].size()}}}); }, "x.glb", "", 9,
       "POSITION: accessor " + size_of("accessors") + " is past"},
      {"a translation of two numbers", [](Glb& g) { g.doc["nodes"][0]["translation"] = json::array({0, 1}); }, "x.glb", "", 5, "its translation needs 3 numbers"},
      // What a modeller's file may leave out and still be read.
      {"no skin at all", [](Glb& g) {
         g.doc.erase("skins");
         for (json& node : g.doc["nodes"]) node.erase("skin");
         g.Primitive()["attributes"].erase("JOINTS_0"), g.Primitive()["attributes"].erase("WEIGHTS_0");
       }, "x.glb", "", 5, "no mesh with bone weights"},
      {"no inverse bind matrices", [](Glb& g) { g.doc["skins"][0].erase("inverseBindMatrices"); }, "x.glb", "", 0, ""},
      {"no scene", [](Glb& g) { g.doc.erase("scenes"), g.doc.erase("scene"); }, "x.glb", "", 0, ""},
  };
  TempDir dir;
  test::WriteFile(dir.path("secret.bin"), good.bin);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path folder = dir.root() / "case";
    fs::create_directories(folder / "sub");
    const std::vector<std::string> around = dir.Listing();
    Glb glb = good;
    if (c.change) c.change(glb);
    const std::string path = (folder / c.file).string();
    if (c.file == "x.glb") {
      test::WriteFile(path, glb.Bytes());
    } else {
      std::string uri = c.uri;
      if (uri.rfind("data:", 0) == 0) uri += Base64(glb.bin);
      if (uri == "/SECRET") uri = dir.path("secret.bin");
      test::WriteFile(path, glb.Gltf(uri));
      test::WriteFile((folder / "sub" / "x.bin").string(), glb.bin);
    }
    std::string err;
    const int status = Convert({"--to", "skn", "--out", (folder / "out").string(), path}, &err);
    if (c.number == 0) {
      EXPECT_EQ(status, 0) << err;
      EXPECT_TRUE(fs::exists(folder / "out" / "x.skn"));
    } else {
      EXPECT_EQ(status, 1);
      if (c.number > 0) {
        EXPECT_NE(err.find("error " + std::to_string(c.number) + ": "), std::string::npos) << err;
      }
      EXPECT_NE(err.find(c.fragment), std::string::npos) << err;
      EXPECT_TRUE(!fs::exists(folder / "out") || fs::is_empty(folder / "out"));
    }
    EXPECT_EQ(dir.Listing(), around) << "outside the case's folder";
    EXPECT_EQ(test::ReadFile(dir.path("secret.bin")), good.bin);
    fs::remove_all(folder);
  }
  // Every cut of a .glb fails cleanly; so does a whole one whose chunks'
  // lengths or types are wrong.
  const std::string bytes = good.Bytes();
  for (std::size_t cut = 0; cut < bytes.size(); cut += 97) {
    test::WriteFile(dir.path("cut.glb"), bytes.substr(0, cut));
    EXPECT_THROW(ReadGlbFile(dir.path("cut.glb"), {}), Failure) << cut;
  }
  const std::uint32_t bin_at = static_cast<std::uint32_t>(bytes.size() - good.bin.size() - 8);
  const std::uint32_t bin_length = static_cast<std::uint32_t>(good.bin.size());
  const struct {
    std::uint32_t at, value;
    const char* message;
    std::size_t size = std::string::npos;  // cut there
  } chunks[] = {
      {12, bin_at - 20 + 8 + bin_length + 1, "the JSON chunk runs past the end of the file"},
      {bin_at + 4, 0x004E4943, "the second chunk must be BIN"},
      {bin_at, bin_length + 1, "the BIN chunk runs past the end of the file"},
      {bin_at, bin_length - 2, "the BIN chunk's length must be a multiple of 4"},
      {bin_at, 0, "the BIN chunk's length must be a multiple of 4"},
      {4, 1, "only glTF version 2 is read"},
      {8, static_cast<std::uint32_t>(bytes.size() - 4), "bytes follow the announced end"},
      {16, 0x4E4F534B, "the first chunk must be JSON"},
      {12, static_cast<std::uint32_t>(bytes.size() - 24), "a chunk header needs 8 bytes"},
      {8, 16, "a .glb starts with a 20-byte header", 16},
  };
  for (const auto& c : chunks) {
    std::string changed = bytes;
    std::memcpy(changed.data() + c.at, &c.value, 4);
    changed.resize(std::min(changed.size(), c.size));
    const Failure failure = test::ExpectFailure([&] { ParseGltf(changed, "x.glb", ""); });
    EXPECT_NE(failure.detail().find(c.message), std::string::npos) << c.message << ": " << failure.detail();
  }
}

// A mesh and a file hold as many vertices and triangles as their limits and
// not one more; the file's totals count every placement of a mesh.
TEST(GltfReader, MeshAndFileLimitsHoldAtTheLimitAndNotOnePast) {
  const SkinModel skin = ReadAsWritten(SampleSkn());
  const Glb good = Glb::Of(GlbOf({&skin, 1}));
  const std::size_t vertices = good.doc["accessors"][good.doc["meshes"][0]["primitives"][0]["attributes"]["POSITION"].get<int>()]["count"];
  const std::size_t triangles = good.doc["accessors"][good.doc["meshes"][0]["primitives"][0]["indices"].get<int>()]["count"].get<std::size_t>() / 3;
  constexpr int kStrip = 5;
  const struct {
    const char* name;
    std::function<void(Glb&, std::size_t)> add;  // at the limit, or one past it when given 1
    const char* past;
  } cases[] = {
      {"triangles in a mesh", [](Glb& g, std::size_t extra) { g.PlaceManyTimes(0, kGltfTriangleLimit + 2 + extra, 1, kStrip); },
       "(the faces a skin holds)"},
      {"vertices in a file", [&](Glb& g, std::size_t extra) {
         g.PlaceManyTimes(kGltfVertexLimit, 0, 15);
         g.PlaceManyTimes(kGltfFileVertexLimit - vertices - 15 * kGltfVertexLimit + extra, 0, 1);
       }, "vertices in all"},
      {"triangles in a file", [&](Glb& g, std::size_t extra) {
         g.PlaceManyTimes(0, kGltfTriangleLimit + 2, 15, kStrip);
         g.PlaceManyTimes(0, kGltfFileTriangleLimit - triangles - 15 * kGltfTriangleLimit + 2 + extra, 1, kStrip);
       }, "triangles in all"},
  };
  for (const auto& c : cases) {
    for (std::size_t extra : {0, 1}) {
      Glb glb = good;
      c.add(glb, extra);
      if (extra == 0) {
        EXPECT_NO_THROW(ParseGltf(glb.Bytes(), "x.glb", "")) << c.name;
      } else {
        const Failure failure = test::ExpectFailure([&] { ParseGltf(glb.Bytes(), "x.glb", ""); });
        EXPECT_NE(failure.detail().find(c.past), std::string::npos) << c.name << ": " << failure.detail();
      }
    }
  }
}

// Texture coordinates and weights stored as normalized integers read as
// fractions of the largest value their type holds.
TEST(GltfReader, NormalizedIntegersReadAsFractions) {
  const SkinModel skin = ReadAsWritten(SampleSkn());
  const Glb good = Glb::Of(GlbOf({&skin, 1}));
  const struct {
    const char* attribute;
    int type;  // unsigned byte or short
    std::uint16_t raw;
    double value;
  } cases[] = {
      {"TEXCOORD_0", 5123, 65535, 1.0}, {"TEXCOORD_0", 5123, 32768, 32768 / 65535.0},
      {"WEIGHTS_0", 5121, 255, 1.0},    {"WEIGHTS_0", 5121, 128, 128 / 255.0},
      {"WEIGHTS_0", 5123, 65535, 1.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.attribute) + " " + std::to_string(c.raw));
    Glb glb = good;
    const bool uv = std::string(c.attribute) == "TEXCOORD_0";
    json& a = glb.doc["accessors"][glb.Primitive()["attributes"][c.attribute].get<int>()];
    const std::size_t values = a["count"].get<std::size_t>() * (uv ? 2 : 4), size = c.type == 5121 ? 1 : 2;
    std::string bytes;
    for (std::size_t k = 0; k < values; ++k) bytes.append(reinterpret_cast<const char*>(&c.raw), size);
    a = {{"bufferView", glb.AddView(bytes)}, {"componentType", c.type}, {"normalized", true}, {"count", a["count"]}, {"type", a["type"]}};
    const GltfDocument doc = ParseGltf(glb.Bytes(), "x.glb", "");
    ASSERT_FALSE(doc.meshes.empty());
    EXPECT_DOUBLE_EQ(uv ? doc.meshes[0].uvs[0][0] : doc.meshes[0].weights[0][0], c.value);
  }
}

// A skin is named by its object (a modeller renames the object, not its
// mesh data), else by its mesh; alone, with no material, it wears the game's
// "x".
TEST(GltfReader, ASkinIsNamedByItsObjectAndWithoutAMaterialWearsX) {
  const SkinModel skin = ReadAsWritten(SampleSkn());
  const Glb written = Glb::Of(GlbOf({&skin, 1}));
  auto object = [](Glb& g) -> json& {
    for (json& node : g.doc["nodes"])
      if (node.contains("mesh")) return node;
    throw std::logic_error("no mesh node");
  };
  const struct {
    const char* what;
    std::function<void(Glb&)> change;
    std::string mesh, texture;
  } cases[] = {
      {"the mesh data renamed", [](Glb& g) { g.doc["meshes"][0]["name"] = "Cube"; }, skin.MeshName, skin.TextureName},
      {"the object unnamed", [&](Glb& g) { g.doc["meshes"][0]["name"] = "Cube", object(g).erase("name"); }, "Cube", skin.TextureName},
      {"no material", [](Glb& g) { g.Primitive().erase("material"); }, skin.MeshName, "x"},
  };
  TempDir dir;  // no original beside
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Glb glb = written;
    c.change(glb);
    test::WriteFile(dir.path("x.glb"), glb.Bytes());
    const RiggedRead read = ReadGlbFile(dir.path("x.glb"), {});
    ASSERT_EQ(read.models.size(), 1u);
    EXPECT_EQ(read.models[0].MeshName, c.mesh);
    EXPECT_EQ(read.models[0].TextureName, c.texture);
  }
}

// A strip's every other triangle is turned so that all face one way; a fan's
// share its first corner.
TEST(GltfReader, StripsAndFansWindAsTheirFirstTriangle) {
  const SkinModel skin = ReadAsWritten(SampleSkn());
  const Glb good = Glb::Of(GlbOf({&skin, 1}));
  const struct {
    int mode;
    std::vector<std::array<std::uint32_t, 3>> triangles;  // of the corners 0 1 2 3 4
    int type = 5123;                                      // of the indices
  } cases[] = {
      {5, {{0, 1, 2}, {2, 1, 3}, {2, 3, 4}}},
      {6, {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}}},
      {5, {{0, 1, 2}, {2, 1, 3}, {2, 3, 4}}, 5125},
  };
  for (const auto& c : cases) {
    Glb glb = good;
    glb.Primitive()["mode"] = c.mode;
    json& indices = glb.doc["accessors"][glb.Primitive()["indices"].get<int>()];
    indices["count"] = 5;
    if (c.type == 5125) {  // 32-bit indices, as exporters write for large meshes
      const std::uint32_t corners[] = {0, 1, 2, 3, 4};
      indices["bufferView"] = glb.AddView(std::string(reinterpret_cast<const char*>(corners), sizeof corners)), indices["componentType"] = 5125;
    } else {
      for (std::uint16_t k = 0; k < 5; ++k) glb.Set<std::uint16_t>("#", k, 0, k);
    }
    const GltfDocument doc = ParseGltf(glb.Bytes(), "x.glb", "");
    ASSERT_FALSE(doc.meshes.empty());
    EXPECT_EQ(doc.meshes[0].triangles, c.triangles) << "mode " << c.mode;
  }
}

// A document holding the rig's bones where they stand at rest, as a
// modeller writes them (x mirrored), and nothing else.
GltfDocument NodesAtRest(const Rig& rig) {
  const Pose rest = RestPose(rig);
  GltfDocument doc;
  for (const int b : rig.order) {
    GltfNode node{rig.bone_names[static_cast<std::size_t>(b)], -1, kIdentity4};
    const Vec3& p = rest[static_cast<std::size_t>(b)].position;
    node.world[12] = -p.x, node.world[13] = p.y, node.world[14] = p.z;
    doc.nodes.push_back(node);
  }
  return doc;
}

// A vertex's bone is its heaviest joint, its blend the second, the two
// weights renormalised; more influences keep the two largest and are
// counted once; a second weight that rounds to 0 is no blend.
TEST(GltfReader, KeepsEachVertexsTwoHeaviestBones) {
  struct Case {
    std::array<const char*, 4> bones;
    std::array<double, 4> weights;
    const char* bone;
    const char* blend;  // "" for none
    int weight;         // of the blend, out of 32768
    int extra;
  };
  const std::vector<Case> cases{
      {{"SPINE", "PELVIS", "PELVIS", "PELVIS"}, {1, 0, 0, 0}, "SPINE", "", 0, 0},
      {{"SPINE", "PELVIS", "PELVIS", "PELVIS"}, {0.7, 0.3, 0, 0}, "SPINE", "PELVIS", 9830, 0},
      {{"SPINE", "PELVIS", "NECK", "HEAD"}, {0.3, 0.7, 0, 0}, "PELVIS", "SPINE", 9830, 0},
      {{"SPINE", "PELVIS", "NECK", "PELVIS"}, {0.5, 0.3, 0.2, 0}, "SPINE", "PELVIS", 12288, 1},
      {{"SPINE", "PELVIS", "NECK", "HEAD"}, {0.1, 0.2, 0.3, 0.4}, "HEAD", "NECK", 14043, 1},
      {{"SPINE", "PELVIS", "PELVIS", "PELVIS"}, {0.5, 0.5, 0, 0}, "SPINE", "PELVIS", 16384, 0},
      {{"SPINE", "PELVIS", "PELVIS", "PELVIS"}, {1, 1e-6, 0, 0}, "SPINE", "", 0, 0},
      {{"SPINE", "SPINE", "PELVIS", "PELVIS"}, {0.4, 0.4, 0.2, 0}, "SPINE", "PELVIS", 6554, 0},
  };
  const Rig rig = BuiltInRig();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.bones[0]) + " " + std::to_string(c.weights[0]));
    GltfDocument doc = NodesAtRest(rig);
    GltfMesh mesh;
    mesh.name = "m";
    mesh.has_normals = mesh.has_uvs = mesh.has_weights = true;
    for (int v = 0; v < 3; ++v) {
      mesh.positions.push_back({0.1 * v, 1, 0});
      mesh.normals.push_back({0, 0, 1});
      mesh.uvs.push_back({0.1 * v, 0.5});
      std::array<int, 4> joints{};
      for (std::size_t k = 0; k < 4; ++k) joints[k] = rig.Find(c.bones[k]);
      mesh.joints.push_back(joints);
      mesh.weights.push_back(c.weights);
    }
    mesh.triangles.push_back({0, 1, 2});
    doc.meshes.push_back(mesh);
    const SkinsRead read = SkinsFromGltf(doc, rig, "the table", {});
    EXPECT_EQ(read.extra_influences, 3 * c.extra);
    const SkinMesh skin = MakeSkinMesh(read.models.at(0));
    for (int v = 0; v < 3; ++v) EXPECT_EQ(skin.bone_names[static_cast<std::size_t>(skin.vertex_bones[static_cast<std::size_t>(v)])], c.bone);
    ASSERT_EQ(skin.blends.size(), std::string(c.blend).empty() ? 0u : 3u);
    for (std::size_t e = 0; e < skin.blends.size(); ++e) {
      EXPECT_EQ(skin.bone_names[static_cast<std::size_t>(skin.vertex_bones[3 + e])], c.blend);
      EXPECT_EQ(std::lround(skin.blends[e].weight * 32768), c.weight);
    }
  }
  // The modder is told how many vertices lost a bone.
  for (const auto& [vertices, note] : {std::pair{0, ""}, {1, "1 vertex had more than two bones; each keeps its two largest."},
                                       {3, "3 vertices had more than two bones; each keeps its two largest."}})
    EXPECT_EQ(ExtraInfluencesNote(vertices), note);
}

// A new vertex's copies (a modeller splits vertices along seams and sharp
// edges) are one vertex again; one a little apart from it stays its own.
// A mesh holds as many texture vertices, and vertices with its blends, as
// a skin may, and not one more.
TEST(GltfReader, CopiesOfAVertexAreOneAndASkinHoldsNoMoreThanItsLimits) {
  const Rig rig = BuiltInRig();
  const int pelvis = rig.Find("PELVIS"), spine = rig.Find("SPINE");
  // n vertices on PELVIS (blended to SPINE when asked), and a copy of vertex 0 moved by `apart`.
  auto read = [&](int n, bool blended, std::optional<Vec3> apart, double u = 0.25) {
    GltfDocument doc = NodesAtRest(rig);
    GltfMesh mesh;
    mesh.name = "m";
    mesh.has_normals = mesh.has_uvs = mesh.has_weights = true;
    auto add = [&](Vec3 p, double at_u = 0.25) {
      mesh.positions.push_back(p);
      mesh.normals.push_back({0, 0, 1});
      mesh.uvs.push_back({at_u, 0.5});
      mesh.joints.push_back({pelvis, spine, 0, 0});
      mesh.weights.push_back({blended ? 0.75 : 1, blended ? 0.25 : 0, 0, 0});
    };
    for (int v = 0; v < n; ++v) add({0.002 * (v % 500), 0.002 * (v / 500), 0});
    mesh.triangles.push_back({0, 1, 2});
    if (apart) {
      add({apart->x, apart->y, apart->z}, u);
      mesh.triangles.push_back({static_cast<std::uint32_t>(n), 2, 1});
    }
    doc.meshes.push_back(mesh);
    return SkinsFromGltf(doc, rig, "the table", {}).models.at(0);
  };
  const struct {
    std::optional<Vec3> copy;
    int vertices;
    double u = 0.25;  // the copy's
  } copies[] = {{Vec3{0, 0, 0}, 3}, {Vec3{4e-6, 0, 0}, 3}, {Vec3{0, 0, 2e-5}, 4}, {std::nullopt, 3}, {Vec3{0, 0, 0}, 4, 0.5}};
  for (const auto& c : copies) {
    const SkinModel model = read(3, false, c.copy, c.u);
    EXPECT_EQ(model.TexVertexCount, c.vertices) << testing::PrintToString(c.copy.has_value());
    EXPECT_EQ(model.FaceCount, c.copy ? 2 : 1);
  }
  const struct {
    int n;
    bool blended;
    const char* past;  // nullptr: read
  } limits[] = {{kCountLimit, false, nullptr}, {kCountLimit + 1, false, "32000 texture vertices"},
                {(kCountLimit - 1) / 2, true, nullptr}, {(kCountLimit + 1) / 2, true, "32000 vertices"}};
  for (const auto& c : limits) {
    SCOPED_TRACE(std::to_string(c.n) + (c.blended ? " blended" : ""));
    if (!c.past) {
      EXPECT_EQ(read(c.n, c.blended, std::nullopt).VertexCount, c.blended ? 2 * c.n : c.n);
    } else {
      const Failure failure = test::ExpectFailure([&] { read(c.n, c.blended, std::nullopt); });
      EXPECT_NE(failure.detail().find(c.past), std::string::npos) << failure.detail();
    }
  }
}

// A vertex nobody changed keeps the original's lines, digits and all; a
// moved one changes its own lines only, keeping its place; a new one comes
// after the others of its bone.
TEST(GltfReader, UntouchedVerticesKeepTheirDigits) {
  const std::string original = SampleSkn();
  const SkinModel skin = ReadAsWritten(original);
  const Glb written = Glb::Of(GlbOf({&skin, 1}));
  struct Case {
    const char* name;
    std::function<void(Glb&)> change;
    std::vector<int> lines;  // of the .skn that differ, counted from 0
  };
  // The lines of the vertex block start after the bones, faces, bindings,
  // texture vertices and blends of the sample; vertex 7 is bound to SPINE,
  // vertex 0 is the target of blend 0 (blended vertex 18).
  const int vertex_lines = static_cast<int>(test::SplitCrLf(original).size()) - skin.VertexCount;
  const int tex_lines = vertex_lines - 2 - skin.BlendCount - skin.TexVertexCount;
  auto shift = [](const char* attribute, std::size_t v, int k, float by) {
    return [=](Glb& g) { g.Set<float>(attribute, v, k, g.Get<float>(attribute, v, k) + by); };
  };
  const std::vector<Case> cases{
      {"nothing changed", nullptr, {}},
      {"a place rounded within 1e-5", shift("POSITION", 7, 0, 4e-6f), {}},
      {"a normal rounded within 1e-4", shift("NORMAL", 7, 1, 5e-5f), {}},
      {"a weight rounded within 1/32768", shift("WEIGHTS_0", 0, 1, 1.0f / 70000), {}},
      {"a vertex moved", shift("POSITION", 7, 2, 0.01f), {vertex_lines + 7}},
      {"a vertex moved a little along z", shift("POSITION", 7, 2, 5e-5f), {vertex_lines + 7}},
      {"a vertex moved a little along y", shift("POSITION", 7, 1, 5e-5f), {vertex_lines + 7}},
      // A vertex given another texture place is new, the last of its bone as
      // vertex 11 was; its face (faces 3 to 5 are lines 10 to 12) follows the others.
      {"a UV moved along v", shift("TEXCOORD_0", 11, 1, 0.01f), {10, 11, 12, tex_lines + 11, vertex_lines + 11}},
      {"a UV moved along u", shift("TEXCOORD_0", 11, 0, 0.01f), {10, 11, 12, tex_lines + 11, vertex_lines + 11}},
      {"a blended vertex moved", shift("POSITION", 0, 2, 0.01f), {vertex_lines + 0, vertex_lines + 18}},
      // A modeller's copy of the material is still the texture; another name is another.
      {"the material renamed .001", [](Glb& g) { g.doc["materials"][0]["name"] = g.doc["materials"][0]["name"].get<std::string>() + ".001"; }, {}},
      {"the material renamed .0a", [](Glb& g) { g.doc["materials"][0]["name"] = g.doc["materials"][0]["name"].get<std::string>() + ".0a"; }, {1}},
      {"the material renamed with a bare dot", [](Glb& g) { g.doc["materials"][0]["name"] = g.doc["materials"][0]["name"].get<std::string>() + "."; }, {1}},
      {"the material unnamed", [](Glb& g) { g.doc["materials"][0].erase("name"); }, {}},
      {"another material's copy", [](Glb& g) { g.doc["materials"][0]["name"] = "other.001"; }, {1}},
  };
  TempDir dir;
  test::WriteFile(dir.path("mesh_1.skn"), original);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Glb glb = written;
    if (c.change) c.change(glb);
    test::WriteFile(dir.path("x.glb"), glb.Bytes());
    const RiggedRead read = ReadGlbFile(dir.path("x.glb"), {});
    const std::vector<std::string> before = test::SplitCrLf(original), after = test::SplitCrLf(SknText(read.models.at(0)));
    ASSERT_EQ(after.size(), before.size());
    std::vector<int> differ;
    for (std::size_t i = 0; i < before.size(); ++i)
      if (before[i] != after[i]) differ.push_back(static_cast<int>(i));
    EXPECT_EQ(differ, c.lines);
  }
  // A vertex of SPINE given a blend onto PELVIS starts PELVIS's blends, and
  // L_ARM's three follow it: its binding line is written anew.
  {
    Glb glb = written;
    const json& joints = glb.doc["skins"][0]["joints"];
    const auto pelvis = std::find_if(joints.begin(), joints.end(), [&](const json& j) { return glb.doc["nodes"][j.get<int>()]["name"] == "PELVIS"; });
    ASSERT_NE(pelvis, joints.end());
    glb.Set<std::uint8_t>("JOINTS_0", 6, 1, static_cast<std::uint8_t>(pelvis - joints.begin()));
    glb.Set<float>("WEIGHTS_0", 6, 0, 0.75f), glb.Set<float>("WEIGHTS_0", 6, 1, 0.25f);
    test::WriteFile(dir.path("x.glb"), glb.Bytes());
    const SkinModel read = ReadGlbFile(dir.path("x.glb"), {}).models.at(0);
    ASSERT_EQ(read.BoneCount, 3);
    EXPECT_EQ(read.BindingLines.at(2), "2 12 6 1 3");
  }
  // A skin in a game's digits and one in the writers' own come back byte
  // for byte through a .glb, the original found beside it by its mesh name.
  // A bone without vertices may give its empty range any start.
  std::string empty_bone = test::MakeSkn({{"PELVIS", "SPINE", "L_ARM"}, {6, 0, 6}, 3, 5});
  const std::size_t range = empty_bone.find("\r\n1 6 0 0 0\r\n");
  ASSERT_NE(range, std::string::npos);
  empty_bone.replace(range, 13, "\r\n1 0 0 0 0\r\n");
  // Two identical vertices each keep their own.
  std::vector<std::string> twin_lines = test::SplitCrLf(original);
  twin_lines[static_cast<std::size_t>(vertex_lines + 8)] = twin_lines[static_cast<std::size_t>(vertex_lines + 7)];
  twin_lines[static_cast<std::size_t>(tex_lines + 8)] = twin_lines[static_cast<std::size_t>(tex_lines + 7)];
  twin_lines[0] = "twins";
  const std::string twins = test::CrLf(twin_lines);
  for (const std::string& source : {original, test::ReadFile(test::ExamplePath("mannequin.skn")), empty_bone, twins}) {
    const std::string name = test::ReadSknText(source).MeshName;
    test::WriteFile(dir.path(name + ".skn"), source);
    ASSERT_EQ(Convert({dir.path(name + ".skn"), dir.path("in.glb")}), 0);
    ASSERT_EQ(Convert({dir.path("in.glb"), dir.path("back.skn")}), 0);
    EXPECT_EQ(test::ReadFile(dir.path("back.skn")), source);
  }
  // An original beside on bones the skeleton lacks lends nothing; the file still reads.
  std::string unfit = original;
  unfit.replace(unfit.find("\r\nSPINE\r\n"), 9, "\r\nTAIL\r\n");
  test::WriteFile(dir.path("mesh_1.skn"), unfit);
  EXPECT_EQ(ReadGlbFile(dir.path("x.glb"), {}).models.at(0).BoneCount, 3);
  // So does a .bmf, the original beside it a .bmf.
  fs::create_directories(dir.root() / "bmf");
  const std::string bmf = "bmf/mannequin.bmf";
  ASSERT_EQ(Convert({test::ExamplePath("mannequin.skn"), dir.path(bmf)}), 0);
  ASSERT_EQ(Convert({dir.path(bmf), dir.path("bmf/in.glb")}), 0);
  ASSERT_EQ(Convert({dir.path("bmf/in.glb"), dir.path("bmf/back.bmf")}), 0);
  EXPECT_EQ(test::ReadFile(dir.path("bmf/back.bmf")), test::ReadFile(dir.path(bmf)));
}

// Several skins share one .glb on one skeleton, one mesh node each, and
// come back one skin each.
TEST(GltfReader, SeveralMeshesGoIntoOneFileAndComeBackOneSkinEach) {
  TempDir dir;
  const std::string one = SampleSkn(1), two = SampleSkn(2);
  test::WriteFile(dir.path("mesh_1.skn"), one);
  test::WriteFile(dir.path("mesh_2.bmf"), "");
  test::WriteFile(dir.path("b.skn"), two);
  std::string err;
  ASSERT_EQ(Convert({dir.path("mesh_1.skn"), dir.path("b.skn"), dir.path("both.glb")}, &err), 0) << err;
  EXPECT_EQ(Convert({dir.path("both.glb"), dir.path("one.skn")}, &err), 1);
  EXPECT_NE(err.find("holds 2 meshes (mesh_1, mesh_2); write them one skin each with --to skn --out DIR"),
            std::string::npos)
      << err;
  // A note on the file is told once, not once per skin.
  Glb crowded = Glb::Of(test::ReadFile(dir.path("both.glb")));
  for (int k = 0; k < 3; ++k) crowded.Set<std::uint8_t>("JOINTS_0", 0, k, static_cast<std::uint8_t>(k));
  for (int k = 0; k < 3; ++k) crowded.Set<float>("WEIGHTS_0", 0, k, k == 0 ? 0.5f : 0.25f);
  test::WriteFile(dir.path("crowded.glb"), crowded.Bytes());
  ASSERT_EQ(Convert({"--to", "skn", "--out", dir.path("crowded"), dir.path("crowded.glb")}, &err), 0) << err;
  EXPECT_NE(err.find("1 vertex had more than two bones"), std::string::npos) << err;
  EXPECT_EQ(err.find("more than two bones"), err.rfind("more than two bones")) << err;
  // Read straight into one skin, the file is refused for its two meshes, the note told first.
  EXPECT_EQ(Convert({dir.path("crowded.glb"), dir.path("one.skn")}, &err), 1);
  EXPECT_NE(err.find("1 vertex had more than two bones"), std::string::npos) << err;
  // Nor is a file without animations a skill file, nor a .gltf written, nor
  // a skin without faces, nor a file that does not read.
  test::WriteFile(dir.path("faceless.skn"), test::CrLf({"m", "x", "1", "PELVIS", "0", "1", "0 0 3 -1 0", "3", "0 0", "1 0", "0 1", "0", "3",
                                                        "0 0 0 0 1 0", "1 0 0 0 1 0", "0 1 0 0 1 0"}));
  test::WriteFile(dir.path("broken.skn"), "m\r\nx\r\n");
  test::WriteFile(dir.path("broken.glb"), "glTF");
  for (const auto& [args, message] : {std::pair{std::vector<std::string>{dir.path("both.glb"), dir.path("skills.cmx")}, "both.glb: it holds no animation"},
                                      {{dir.path("b.skn"), dir.path("b.gltf")}, "glTF is written as .glb (binary); .gltf is only read"},
                                      {{dir.path("faceless.skn"), dir.path("faceless.glb")}, "a mesh without vertices or faces has no glTF form"},
                                      {{dir.path("broken.skn"), dir.path("x.glb")}, "broken.skn"},
                                      {{dir.path("broken.glb"), dir.path("x.skn")}, "broken.glb"}}) {
    EXPECT_EQ(Convert(args, &err), 1) << args[0];
    EXPECT_NE(err.find(message), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(args[1])) << args[1];
  }
  // A .glb read into another keeps its meshes; --info on one mesh shows it alone.
  ASSERT_EQ(Convert({dir.path("both.glb"), dir.path("again.glb")}, &err), 0) << err;
  ASSERT_EQ(Convert({dir.path("mesh_1.skn"), dir.path("one.glb")}, &err), 0) << err;
  // --info names the skeleton it was read on and describes each skin as --info on a .skn does.
  std::ostringstream info, errors;
  ASSERT_EQ(RunConverter({"--info", dir.path("both.glb")}, info, errors), 0) << errors.str();
  std::ostringstream first, second;
  PrintSkinInfo(ReadAsWritten(one), first);
  PrintSkinInfo(ReadAsWritten(two), second);
  EXPECT_EQ(info.str(), "skeleton: the built-in table\n\n" + first.str() + "\n" + second.str());
  for (const auto& [file, want] : {std::pair{"again.glb", info.str()}, {"one.glb", "skeleton: the built-in table\n" + first.str()}}) {
    std::ostringstream again;
    ASSERT_EQ(RunConverter({"--info", dir.path(file)}, again, errors), 0) << errors.str();
    EXPECT_EQ(again.str(), want) << file;
  }
  ASSERT_EQ(Convert({"--to", "skn", "--out", dir.path("out"), dir.path("both.glb")}, &err), 0) << err;
  EXPECT_EQ(test::ReadFile(dir.path("out/mesh_1.skn")), one);
  // mesh_2's original is not beside the .glb (a broken .bmf is): the same
  // skin, in the writers' digits, its normals of unit length.
  const SkinModel back = test::ReadSknText(test::ReadFile(dir.path("out/mesh_2.skn"))), before = test::ReadSknText(two);
  ASSERT_EQ(back.VertexCount, before.VertexCount);
  ASSERT_EQ(back.FaceCount, before.FaceCount);
  for (int i = 0; i < back.FaceCount; ++i) EXPECT_EQ(back.FaceLines.at(i), before.FaceLines.at(i));
  for (int i = 0; i < back.BlendCount; ++i) EXPECT_EQ(back.BlendLines.at(i), before.BlendLines.at(i));
  // Vertices that no blend moves: a blended vertex read back is its
  // target's place in its own bone (see GltfReader.KeepsEachVertexsTwoHeaviestBones).
  for (int i = 3; i < back.TexVertexCount; ++i) {
    const Vec3 a = ParseTriple(back.VertexLines.at(i), "v"), b = ParseTriple(before.VertexLines.at(i), "v");
    EXPECT_NEAR(a.x, b.x, 2e-6);
    EXPECT_NEAR(a.y, b.y, 2e-6);
    EXPECT_NEAR(a.z, b.z, 2e-6);
  }

  // The window asks which to open; without an answer, or with one past the
  // meshes, it keeps its model.
  for (const std::optional<std::size_t> answer : {std::optional<std::size_t>(1), std::optional<std::size_t>(), std::optional<std::size_t>(2)}) {
    struct Choosing : test::FakePrompts {
      std::optional<std::size_t> answer;
      std::vector<std::string> choices;
      std::optional<std::size_t> AskChoice(const std::string&, const std::string&,
                                           const std::vector<std::string>& offered) override {
        choices = offered;
        return answer;
      }
    } prompts;
    prompts.answer = answer;
    SkinModel model = ReadAsWritten(one);
    EXPECT_EQ(LoadGlb(model, prompts, dir.path("both.glb")), answer == 1u ? Outcome::Succeeded : Outcome::Failed);
    EXPECT_EQ(prompts.choices, (std::vector<std::string>{"mesh_1", "mesh_2"}));
    EXPECT_EQ(model.MeshName, answer == 1u ? "mesh_2" : "mesh_1");
    EXPECT_TRUE(prompts.messages.empty());
  }
  // The window tells of the vertices that lost a bone.
  struct First : test::FakePrompts {
    std::optional<std::size_t> AskChoice(const std::string&, const std::string&, const std::vector<std::string>&) override { return 0; }
  } told;
  SkinModel crowded_model;
  ASSERT_EQ(LoadGlb(crowded_model, told, dir.path("crowded.glb")), Outcome::Succeeded);
  ASSERT_EQ(told.messages.size(), 1u);
  EXPECT_EQ(told.messages[0].text, "1 vertex had more than two bones; each keeps its two largest.");
}

// The glTF commands' own usage errors name the problem.
TEST(GltfCommands, UsageErrorsNameTheProblem) {
  const std::string glb_options = "with a .glb, only --skeleton, --animation, --game, --to, --out, --info and --fix-normals go";
  const struct {
    std::vector<std::string> args;
    std::string problem;
  } cases[] = {
      {{"a.txt", "b.glb"}, "a MESH ends in .spj, .skn, .bmf or .glb, .cmx or .bcf: \"a.txt\""},
      {{"--to", "glb"}, "--to needs at least one FILE or FOLDER"},
      {{"--to", "glb", "a.txt"}, "\"a.txt\" is neither a folder nor a file ending in .spj, .skn, .bmf or .glb"},
      {{"--info", "a.glb", "b.glb"}, "--info takes one SOURCE"},
      {{"--skill", "wave", "a.glb", "b.skn"}, "--skill and --lossy go with writing skills (.cmx, .bcf)"},
      {{"a.glb", "b.txt"}, "\"b.txt\" must end in .spj, .skn, .bmf or .glb"},
      {{"--animation", "w.cmx", "a.glb", "b.skn"}, "--animation goes with writing a .glb"},
      {{"--import", "p.obj", "a.glb", "b.skn"}, glb_options},
      {{"--attach", "HEAD", "a.glb", "b.skn"}, glb_options},
      {{"--name", "n", "a.glb", "b.skn"}, glb_options},
      {{"--texture", "t", "a.glb", "b.skn"}, glb_options},
  };
  for (const auto& c : cases) {
    std::string err;
    EXPECT_EQ(Convert(c.args, &err), 2) << testing::PrintToString(c.args);
    EXPECT_EQ(err, "mervane-convert: " + c.problem + "\nTry 'mervane-convert --help'.\n");
  }
}

// The built-in table puts each vertex where the project writer puts it
// (raised to stand on the floor, x negated); the joints' rest transforms and
// inverse bind matrices undo each other.
TEST(GltfWriter, PlacesSkinsAsTheProjectDoesAndBindsAtRest) {
  const SkinModel model = test::ReadSknText(test::ReadFile(test::ExamplePath("mannequin.skn")));
  const GltfDocument doc = ParseGltf(GlbOf({&model, 1}), "m.glb", "");
  const WorldMesh world = BuildWorldMesh(model);
  double lowest = 0;  // of the table's bones, which the .glb raises to 0
  for (const BoneRow& row : kBoneTable)
    if (row.in_skeleton) lowest = std::min(lowest, PositionToWorld(row.limb, {}, *SkeletonOffset(row.name)).y);
  ASSERT_EQ(doc.meshes.size(), 1u);
  ASSERT_EQ(doc.meshes[0].positions.size(), static_cast<std::size_t>(model.TexVertexCount));
  std::vector<bool> blended(doc.meshes[0].positions.size(), false);
  for (int i = 0; i < model.BlendCount; ++i)
    blended.at(static_cast<std::size_t>(std::stoi(std::string(model.BlendLines.at(i))))) = true;
  for (std::size_t v = 0; v < doc.meshes[0].positions.size(); ++v) {
    if (!world.placed[v] || blended[v]) continue;  // blended ones are where their blends put them
    const Vec3& p = doc.meshes[0].positions[v];
    EXPECT_NEAR(-p.x, world.positions[v].x, 1e-5);
    EXPECT_NEAR(p.y, world.positions[v].y - lowest, 1e-5);
    EXPECT_NEAR(p.z, world.positions[v].z, 1e-5);
  }
  // The bounds the POSITION accessor declares are its data's, axis by axis.
  Glb glb = Glb::Of(GlbOf({&model, 1}));
  const json& accessor = glb.doc["accessors"][glb.Primitive()["attributes"]["POSITION"].get<int>()];
  for (int k = 0; k < 3; ++k) {
    double low = 1e300, high = -1e300;
    for (std::size_t v = 0; v < doc.meshes[0].positions.size(); ++v) {
      const double value = glb.Get<float>("POSITION", v, k);
      low = std::min(low, value);
      high = std::max(high, value);
    }
    EXPECT_EQ(accessor["min"][k].get<double>(), low) << "axis " << k;
    EXPECT_EQ(accessor["max"][k].get<double>(), high) << "axis " << k;
  }
}

// Saved from the window into another folder, a skin stands on the skeleton
// beside the file it was read from; with none anywhere, on the built-in table.
TEST(GltfWriter, SavingFindsTheSkeletonWhereTheSkinWasRead) {
  const test::SmallCharacter character;
  TempDir elsewhere;
  const struct {
    std::string source;
    const char* skeleton;
  } cases[] = {{character.mesh, "adult-skeleton.cmx"}, {"", kBuiltInSkeleton}};
  for (const auto& c : cases) {
    SkinModel model = ReadMeshFile(character.mesh);
    model.SourcePath = c.source;
    const std::string target = elsewhere.path("body.glb");
    EXPECT_EQ(GlbSkeletonFor(model, target), c.skeleton);
    test::WriteFile(target, RenderGlb(model, target, FolderFiles(FolderOf(target))).front().bytes);
    const GltfDocument doc = ParseGltf(test::ReadFile(target), target, "");
    EXPECT_EQ(doc.nodes.size() > 10, c.source.empty()) << "the built-in table has many more bones than the small skeleton";
  }
  // A skeleton beside the target that does not read names none: the save tells why.
  test::WriteFile(elsewhere.path("adult-skeleton.cmx"), "junk");
  EXPECT_EQ(GlbSkeletonFor(ReadMeshFile(character.mesh), elsewhere.path("body.glb")), "");
}

// A .glb as a modeller's library sees it, to change; and read back as ours.
tinygltf::Model LoadGlb(const std::string& bytes) {
  tinygltf::Model gltf;
  std::string error, warning;
  EXPECT_TRUE(tinygltf::TinyGLTF().LoadBinaryFromMemory(&gltf, &error, &warning, reinterpret_cast<const unsigned char*>(bytes.data()),
                                                        static_cast<unsigned>(bytes.size())))
      << error;
  return gltf;
}

// A new buffer view of length bytes (zeroed unless given) at the end of the
// buffer: its index.
int AddView(tinygltf::Model& gltf, std::size_t length, const void* bytes = nullptr) {
  auto& data = gltf.buffers[0].data;
  tinygltf::BufferView view;
  view.buffer = 0, view.byteOffset = data.size(), view.byteLength = length;
  data.resize(data.size() + length);
  if (bytes) std::memcpy(data.data() + view.byteOffset, bytes, length);
  gltf.bufferViews.push_back(view);
  return static_cast<int>(gltf.bufferViews.size() - 1);
}

GltfDocument ParseEdited(tinygltf::Model gltf) {
  std::ostringstream out;
  tinygltf::TinyGLTF().WriteGltfSceneToStream(&gltf, out, false, true);
  return ParseGltf(out.str(), "edited.glb", "");
}

// A two-bone skeleton, a one-triangle mesh on it, and a skill "wave" of
// three frames whose rotations are a little off unit length and change sign.
struct Waving {
  Skeleton skeleton{"s", {}};
  Rig rig;
  Skill skill;
  Frames frames;
  Animation animation;
  SkinModel model;
  Waving() {
    skeleton.bones.push_back({"ROOT", std::string(kNoParent), {}, {0, 3, 0}, {0, 0.70710678f, 0, 0.70710678f}});
    skeleton.bones.push_back({"ARM", "ROOT", {}, {1, 0.5f, 0}, {0.1f, 0.2f, 0.3f, 0.927f}});
    rig = MakeRig(skeleton);
    skill.name = "wave";
    skill.position_count = 3;
    skill.rotation_count = 6;
    skill.motions.push_back({"ROOT", 3, 100, 1, 1, 0, 0, {}, {}});
    skill.motions.push_back({"ARM", 3, 100, 0, 1, -1, 3, {}, {}});
    frames.positions = {{0, 3, 0}, {0.2f, 3, 0}, {0.4f, 3.1f, 0}};
    frames.rotations = {{0, 0, 0, 1}, {0, 0.1f, 0, 0.995f}, {0, 0.2f, 0, 0.98f},
                        {0.1f, 0.2f, 0.3f, 0.927f}, {-0.3f, 0.2f, 0.1f, 0.93f}, {-0.78f, 0.52f, 0.26f, -0.13f}};
    animation = MakeAnimation(rig, skill, frames);
    model = test::ReadSknText(test::CrLf({"m", "x", "1", "ARM", "1", "0 1 2", "1", "0 0 3 -1 0", "3", "0 0", "1 0",
                                          "0 1", "0", "3", "0 0 0 0 1 0", "1 0 0 0 1 0", "0 1 0 0 1 0"}));
  }
  std::string Glb() const { return GlbBytes(rig, {&model, 1}, {}, {&animation, 1}); }
};

// A file is read on the skeleton it names when that one is beside it, else
// on the one it carries; on --skeleton whatever it names; and, its name
// lost (a modeller keeps none of ours), on the one beside or the table.
TEST(GltfReader, IsReadOnTheSkeletonItNames) {
  const SkinModel skin = ReadAsWritten(SampleSkn());
  const struct {
    const char* what;
    bool table;           // written on the built-in table, not the two-bone one
    const char* beside;   // the name of adult-skeleton.cmx's skeleton, if there
    bool given;           // --skeleton names another file, its skeleton "t"
    bool unnamed;         // the name taken out of the file
    std::string skeleton;
    bool armature = false;  // the root joint a child of a node that is no joint, as Blender writes it
  } cases[] = {
      {"beside, as named", false, "s", false, false, "adult-skeleton.cmx"},
      {"beside, named otherwise", false, "t", false, false, "the skeleton the file carries (s)"},
      {"none beside", false, nullptr, false, false, "the skeleton the file carries (s)"},
      {"none beside, its root under an armature node", false, nullptr, false, false, "the skeleton the file carries (s)", true},
      {"given", false, nullptr, true, false, "given.cmx"},
      {"the table's, unnamed", true, nullptr, false, true, kBuiltInSkeleton},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const Waving waving;
    Glb glb = Glb::Of(c.table ? GlbOf({&skin, 1}) : waving.Glb());
    if (c.unnamed) glb.doc["asset"].erase("extras");
    if (c.armature) {
      glb.doc["nodes"].push_back({{"name", "Armature"}, {"children", {0}}});
      std::replace(glb.doc["scenes"][0]["nodes"].begin(), glb.doc["scenes"][0]["nodes"].end(), json(0), json(glb.doc["nodes"].size() - 1));
    }
    test::WriteFile(dir.path("x.glb"), glb.Bytes());
    auto skeleton_file = [&](const char* name, const std::string& path) {
      CharacterFile file;
      file.skeletons.push_back(waving.skeleton);
      file.skeletons[0].name = name;
      test::WriteFile(path, CmxText(file));
    };
    if (c.beside) skeleton_file(c.beside, dir.path("adult-skeleton.cmx"));
    RigContext context;
    if (c.given) {
      fs::create_directories(dir.root() / "other");
      skeleton_file("t", dir.path("other/given.cmx"));
      context.sources.skeleton = dir.path("other/given.cmx");
    }
    EXPECT_EQ(ReadGlbFile(dir.path("x.glb"), context).skeleton, c.skeleton);
  }
}

// Each key of an animation puts the joints where the game's posing puts the
// bones at that frame, including rotations a little off unit length.
TEST(GltfWriter, AnimationKeysAreTheGamesPoseAtEachFrame) {
  const Waving waving;
  const Rig& rig = waving.rig;
  const Animation& animation = waving.animation;
  const std::string bytes = waving.Glb();
  tinygltf::Model gltf;
  tinygltf::TinyGLTF loader;
  std::string error, warning;
  loader.SetImageLoader([](tinygltf::Image*, int, std::string*, std::string*, int, int, const unsigned char*, int, void*) { return true; }, nullptr);
  ASSERT_TRUE(loader.LoadBinaryFromMemory(&gltf, &error, &warning, reinterpret_cast<const unsigned char*>(bytes.data()),
                                          static_cast<unsigned>(bytes.size())))
      << error;
  ASSERT_EQ(gltf.animations.size(), 1u);
  auto value = [&](int accessor, int key, int k) {
    const auto& a = gltf.accessors[static_cast<std::size_t>(accessor)];
    const auto& view = gltf.bufferViews[static_cast<std::size_t>(a.bufferView)];
    const int n = a.type == TINYGLTF_TYPE_VEC4 ? 4 : a.type == TINYGLTF_TYPE_VEC3 ? 3 : 1;
    float f;
    std::memcpy(&f, gltf.buffers[0].data.data() + view.byteOffset + a.byteOffset + 4 * static_cast<std::size_t>(n * key + k), 4);
    return static_cast<double>(f);
  };
  // Each key on the side of the one before (the last key's w is negative), so
  // that a modeller's blend between them turns the short way.
  for (const auto& channel : gltf.animations[0].channels) {
    if (channel.target_path != "rotation") continue;
    const int output = gltf.animations[0].samplers[static_cast<std::size_t>(channel.sampler)].output;
    for (int key = 1; key < 3; ++key) {
      double dot = 0;
      for (int k = 0; k < 4; ++k) dot += value(output, key - 1, k) * value(output, key, k);
      EXPECT_GT(dot, 0) << "joint " << channel.target_node << " key " << key;
    }
  }
  Pose pose;
  for (int frame = 0; frame < 3; ++frame) {
    AnimatedPose(rig, animation, frame, pose);
    // Each joint's local transform at the key: its channels', else its node's.
    std::vector<tinygltf::Node> nodes(gltf.nodes.begin(), gltf.nodes.begin() + 2);
    for (const auto& channel : gltf.animations[0].channels) {
      const auto& sampler = gltf.animations[0].samplers[static_cast<std::size_t>(channel.sampler)];
      EXPECT_NEAR(value(sampler.input, frame, 0), frame / 30.0, 1e-6);
      std::vector<double>& out = channel.target_path == "translation" ? nodes[static_cast<std::size_t>(channel.target_node)].translation
                                 : channel.target_path == "rotation"  ? nodes[static_cast<std::size_t>(channel.target_node)].rotation
                                                                      : nodes[static_cast<std::size_t>(channel.target_node)].scale;
      out.resize(channel.target_path == "rotation" ? 4 : 3);
      for (std::size_t k = 0; k < out.size(); ++k) out[k] = value(sampler.output, frame, static_cast<int>(k));
    }
    Mat4 world = kIdentity4;
    for (std::size_t b = 0; b < 2; ++b) {
      const auto& n = nodes[b];
      const double x = n.rotation[0], y = n.rotation[1], z = n.rotation[2], w = n.rotation[3];
      const double s = n.scale.empty() ? 1 : n.scale[0];
      const Mat4 local{s * (1 - 2 * (y * y + z * z)), s * 2 * (x * y + z * w), s * 2 * (x * z - y * w), 0,
                       s * 2 * (x * y - z * w), s * (1 - 2 * (x * x + z * z)), s * 2 * (y * z + x * w), 0,
                       s * 2 * (x * z + y * w), s * 2 * (y * z - x * w), s * (1 - 2 * (x * x + y * y)), 0,
                       n.translation[0], n.translation[1], n.translation[2], 1};
      world = Multiply(world, local);
      // The game's world, x negated: M R M for the axes, -x for the place.
      const BoneTransform& game = pose[b];
      EXPECT_NEAR(world[12], -game.position.x, 1e-5) << frame << " " << b;
      EXPECT_NEAR(world[13], game.position.y, 1e-5);
      EXPECT_NEAR(world[14], game.position.z, 1e-5);
      for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
          EXPECT_NEAR(world[static_cast<std::size_t>(4 * c + r)],
                      (r == 0) != (c == 0) ? -game.rotation.m[static_cast<std::size_t>(3 * r + c)] : game.rotation.m[static_cast<std::size_t>(3 * r + c)],
                      1e-5)
              << frame << " " << b << " " << r << c;
    }
  }
}

// The real Ross: his four skins through one .glb come back byte for byte,
// placed as the independent reference places them.
TEST(GltfReal, RossComesBackByteForByteAndStandsWhereTheReferencePutsHim) {
  const fs::path real = fs::path(MERVANE_TEST_DATA) / "../../../shared/real";
  if (!fs::exists(real / "ross")) GTEST_SKIP() << "../shared/real is absent (the game's files are not part of this repository)";
  TempDir dir;
  for (const auto& entry : fs::directory_iterator(real / "ross")) fs::copy(entry.path(), dir.root() / entry.path().filename());
  std::string err;
  ASSERT_EQ(Convert({"--skeleton", dir.path("adult-skeleton.cmx"), dir.path("B002MAFit_01.cmx"), dir.path("C001MA_Ross.cmx"),
                     dir.path("HMLO.cmx"), dir.path("HMRO.cmx"), dir.path("ross.glb")},
                    &err),
            0)
      << err;
  ASSERT_EQ(Convert({"--to", "skn", "--out", dir.path("back"), dir.path("ross.glb")}, &err), 0) << err;
  for (const char* name : {"xskin-b002mafit_01-PELVIS-BODY", "xskin-C001MA_Ross-HEAD-HEADB", "xskin-hmlo-L_HAND-HANDML",
                           "xskin-hmro-R_HAND-HANDMR"}) {
    const std::string back = FindFileIgnoringCase(dir.path("back") + "/", std::string(name) + ".skn");
    EXPECT_EQ(test::ReadFile(dir.path("back/" + back)), test::ReadFile((real / "ross" / (std::string(name) + ".skn")).string()));
  }
  std::vector<Vec3> expected;
  std::istringstream obj(test::ReadFile((real / "expected/ross-rest.obj").string()));
  for (std::string line; std::getline(obj, line);)
    if (line.rfind("v ", 0) == 0) {
      std::istringstream in(line.substr(2));
      Vec3 v;
      in >> v.x >> v.y >> v.z;
      expected.push_back(v);
    }
  const GltfDocument doc = ParseGltf(test::ReadFile(dir.path("ross.glb")), "ross.glb", "");
  std::size_t k = 0;
  for (const GltfMesh& mesh : doc.meshes)
    for (const Vec3& p : mesh.positions) {
      ASSERT_LT(k, expected.size());
      EXPECT_NEAR(p.x, expected[k].x, 1e-5);
      EXPECT_NEAR(p.y, expected[k].y, 1e-5);
      EXPECT_NEAR(p.z, expected[k++].z, 1e-5);
    }
  EXPECT_EQ(k, expected.size());
}

// The .glb's animation read back as the skill it was made from, every
// value the very float32; keys at another rate resampled; what no skill can
// be refused, naming the animation and the channel.
TEST(GltfSkills, AnimationsComeBackAsTheSkillsTheyWereResampledOrRefused) {
  const Waving waving;
  // Exact: the same motions, frames and values.
  const SkillsMade same = SkillsFromGltf(ParseGltf(waving.Glb(), "w.glb", ""), waving.rig, {}, {});
  ASSERT_EQ(same.file.skills.size(), 1u);
  EXPECT_EQ(same.file.skills[0].motions.size(), 2u);
  EXPECT_EQ(same.frames[0].positions, waving.frames.positions);
  EXPECT_EQ(same.frames[0].rotations, waving.frames.rotations);
  EXPECT_EQ(same.file.skills[0].frames_name, "xskill-wave");
  // A key the writer turns to the other sign, to blend the short way, comes back as stored.
  Waving flipped;
  flipped.frames.rotations[5] = {0.3f, -0.2f, -0.1f, -0.93f};
  flipped.animation = MakeAnimation(flipped.rig, flipped.skill, flipped.frames);
  EXPECT_EQ(SkillsFromGltf(ParseGltf(flipped.Glb(), "f.glb", ""), flipped.rig, {}, {}).frames.at(0).rotations, flipped.frames.rotations);
  // A bone that moves and comes back to rest by the last frame still moves.
  for (const float z : {0.0f, 0.2f}) {  // up and across, or along z alone
    Waving hop;
    hop.frames.positions = {{0, 3, 0}, {z ? 0 : 0.2f, z ? 3 : 3.2f, z}, {0, 3, 0}};
    hop.animation = MakeAnimation(hop.rig, hop.skill, hop.frames);
    const SkillsMade hopped = SkillsFromGltf(ParseGltf(hop.Glb(), "h.glb", ""), hop.rig, {}, {});
    EXPECT_EQ(hopped.file.skills[0].motions[0].uses_positions, 1u) << z;
    EXPECT_EQ(hopped.frames[0].positions, hop.frames.positions) << z;
  }
  // A bone at rest throughout moves not, unless the skill beside says it uses positions.
  Waving still;
  still.frames.positions.assign(3, {0, 3, 0});
  still.animation = MakeAnimation(still.rig, still.skill, still.frames);
  for (const bool beside : {false, true}) {
    const std::vector<Skill> originals = beside ? std::vector<Skill>{still.skill} : std::vector<Skill>{};
    const SkillsMade made = SkillsFromGltf(ParseGltf(still.Glb(), "s.glb", ""), still.rig, {}, originals);
    EXPECT_EQ(made.file.skills[0].motions[0].uses_positions, beside ? 1u : 0u) << beside;
  }
  // The skill beside (found whatever its case) keeps its durations when the
  // file has as many frames, and turns a bone it turned at rest when the
  // file no longer does; another length lasts as made.
  {
    tinygltf::Model unturned = LoadGlb(waving.Glb());
    auto& channels = unturned.animations[0].channels;
    channels.erase(std::remove_if(channels.begin(), channels.end(),
                                  [](const auto& c) { return c.target_node == 0 && c.target_path == "rotation"; }),
                   channels.end());
    const GltfDocument doc = ParseEdited(unturned);
    for (const auto& [frames, skill_ms, motion_ms] : {std::tuple{3u, 120.0f, 110.0f}, std::tuple{4u, 99.0f, 99.0f}}) {
      SCOPED_TRACE(frames);
      Skill beside = waving.skill;
      beside.name = "WAVE";
      beside.duration = 120;
      for (Motion& motion : beside.motions) motion.frames = frames, motion.duration = 110;
      const SkillsMade made = SkillsFromGltf(doc, waving.rig, {}, {&beside, 1});
      const Skill& skill = made.file.skills.at(0);
      EXPECT_EQ(skill.duration, skill_ms);
      ASSERT_EQ(skill.motions.size(), 2u);
      for (const Motion& motion : skill.motions) EXPECT_EQ(motion.duration, motion_ms) << motion.bone_name;
      EXPECT_EQ(skill.motions[0].uses_rotations, 1u);
      const Quat& rest = waving.rig.rest_rotations[0];
      ASSERT_GE(made.frames[0].rotations.size(), 3u);
      EXPECT_EQ(made.frames[0].rotations[2], (std::array<float, 4>{static_cast<float>(rest.x), static_cast<float>(rest.y),
                                                                    static_cast<float>(rest.z), static_cast<float>(rest.w)}));
    }
    // With no skill beside, the root that is only moved is still a motion.
    const SkillsMade moved = SkillsFromGltf(doc, waving.rig, {}, {});
    EXPECT_EQ(moved.file.skills.at(0).motions.size(), 2u);
    EXPECT_EQ(moved.frames.at(0).positions, waving.frames.positions);
  }
  // A shape key's channel (weights) moves no bone and is passed over.
  tinygltf::Model keyed = LoadGlb(waving.Glb());
  tinygltf::AnimationChannel weights = keyed.animations[0].channels[0];
  weights.target_node = 2, weights.target_path = "weights";
  keyed.animations[0].channels.push_back(weights);
  EXPECT_EQ(SkillsFromGltf(ParseEdited(keyed), waving.rig, {}, {}).frames.at(0).rotations, waving.frames.rotations);
  // Cubic-spline keys give their values, not their tangents.
  tinygltf::Model cubic = LoadGlb(waving.Glb());
  for (auto& sampler : cubic.animations[0].samplers) {
    sampler.interpolation = "CUBICSPLINE";
    auto& values = cubic.accessors[static_cast<std::size_t>(sampler.output)];
    const std::size_t width = values.type == TINYGLTF_TYPE_VEC4 ? 4 : 3, keys = values.count;
    auto& data = cubic.buffers[0].data;
    std::vector<float> plain(keys * width), tripled;
    std::memcpy(plain.data(), data.data() + cubic.bufferViews[static_cast<std::size_t>(values.bufferView)].byteOffset + values.byteOffset,
                plain.size() * 4);
    for (std::size_t k = 0; k < keys; ++k) {
      tripled.insert(tripled.end(), width, 0.0f);  // the in-tangent
      tripled.insert(tripled.end(), plain.begin() + static_cast<long>(k * width), plain.begin() + static_cast<long>((k + 1) * width));
      tripled.insert(tripled.end(), width, 0.0f);  // the out-tangent
    }
    values.bufferView = AddView(cubic, tripled.size() * 4, tripled.data()), values.byteOffset = 0, values.count = 3 * keys;
  }
  const SkillsMade from_cubic = SkillsFromGltf(ParseEdited(cubic), waving.rig, {}, {});
  EXPECT_EQ(from_cubic.frames[0].positions, waving.frames.positions);
  EXPECT_EQ(from_cubic.frames[0].rotations, waving.frames.rotations);
  // The three keys of every channel put at first, first + step, first + 2 step seconds.
  auto retime = [](tinygltf::Model& g, double first, double step) {
    std::set<int> inputs;
    for (const auto& sampler : g.animations[0].samplers) inputs.insert(sampler.input);
    for (const int input : inputs) {
      auto& accessor = g.accessors[static_cast<std::size_t>(input)];
      for (std::size_t k = 0; k < 3; ++k) {
        const float t = static_cast<float>(first + static_cast<double>(k) * step);
        std::memcpy(g.buffers[0].data.data() + g.bufferViews[static_cast<std::size_t>(accessor.bufferView)].byteOffset + accessor.byteOffset + 4 * k, &t, 4);
      }
      accessor.minValues = {first}, accessor.maxValues = {first + 2 * step};
    }
  };
  // Keys from 1/30 s on (a modeller's first frame is 1): frame 0 holds the first key.
  tinygltf::Model late = LoadGlb(waving.Glb());
  retime(late, 1 / 30.0, 1 / 30.0);
  const std::vector<std::array<float, 3>> held{waving.frames.positions[0], waving.frames.positions[0], waving.frames.positions[1],
                                               waving.frames.positions[2]};
  EXPECT_EQ(SkillsFromGltf(ParseEdited(late), waving.rig, {}, {}).frames.at(0).positions, held);
  // Resampled between keys that do not turn, the turn stays (blended straight, not by an angle of 0).
  Waving calm;
  calm.frames.rotations.assign(6, {0, 0, 0, 1});
  calm.animation = MakeAnimation(calm.rig, calm.skill, calm.frames);
  tinygltf::Model slowed = LoadGlb(calm.Glb());
  retime(slowed, 0, 1 / 24.0);
  slowed.animations[0].extras = tinygltf::Value();
  const SkillsMade calmed = SkillsFromGltf(ParseEdited(slowed), calm.rig, {}, {});
  EXPECT_EQ(calmed.frames.at(0).rotations, (std::vector<std::array<float, 4>>(8, {0, 0, 0, 1})));
  // A bone that only moves comes back without turns.
  Waving moving;
  moving.skill.motions[0].uses_rotations = 0, moving.skill.motions[0].rotation_offset = -1;
  moving.skill.motions[1].rotation_offset = 0, moving.skill.rotation_count = 3;
  moving.frames.rotations.erase(moving.frames.rotations.begin(), moving.frames.rotations.begin() + 3);
  moving.animation = MakeAnimation(moving.rig, moving.skill, moving.frames);
  const SkillsMade moved_only = SkillsFromGltf(ParseGltf(moving.Glb(), "m.glb", ""), moving.rig, {}, {});
  ASSERT_EQ(moved_only.file.skills.at(0).motions.size(), 2u);
  EXPECT_EQ(moved_only.file.skills[0].motions[0].uses_rotations, 0u);
  EXPECT_EQ(moved_only.frames[0].positions, moving.frames.positions);
  EXPECT_EQ(moved_only.frames[0].rotations, moving.frames.rotations);
  // Written into a .bcf, the skills are a .bcf.
  {
    TempDir dir;
    test::WriteFile(dir.path("w.glb"), waving.Glb());
    test::WriteFile(dir.path("junk.cmx"), "junk");  // a skill file beside that does not read lends nothing
    std::string err;
    ASSERT_EQ(Convert({dir.path("w.glb"), dir.path("skills.bcf")}, &err), 0) << err;
    EXPECT_EQ(ReadCharacterFile(dir.path("skills.bcf")).skills.at(0).name, "wave");
    EXPECT_TRUE(fs::exists(dir.path("xskill-wave.cfp")));
  }
  // A made skill lasts as the game's (its idle: 60 frames, 1999 ms), rounded down.
  for (const auto& [frames, ms] : {std::pair{2, 66.0f}, std::pair{3, 99.0f}, std::pair{60, 1999.0f}})
    EXPECT_EQ(SkillDuration(frames), ms) << frames;

  // A modeller's 24 a second: three keys span 1/12 s, four frames at 30,
  // between keys blended the short way (a key's sign is no turn) or, for
  // STEP keys, held at the key before.
  for (const bool step : {false, true}) {
    SCOPED_TRACE(step ? "STEP" : "LINEAR");
    tinygltf::Model slow = LoadGlb(waving.Glb());
    for (const auto& channel : slow.animations[0].channels) {
      if (channel.target_path != "rotation") continue;
      const auto& values = slow.accessors[static_cast<std::size_t>(slow.animations[0].samplers[static_cast<std::size_t>(channel.sampler)].output)];
      unsigned char* key = slow.buffers[0].data.data() + slow.bufferViews[static_cast<std::size_t>(values.bufferView)].byteOffset + values.byteOffset + 16;
      std::array<float, 4> q;
      std::memcpy(q.data(), key, 16);
      for (float& e : q) e = -e;
      std::memcpy(key, q.data(), 16);
    }
    for (auto& sampler : slow.animations[0].samplers) {
      if (step) sampler.interpolation = "STEP";
      auto& accessor = slow.accessors[static_cast<std::size_t>(sampler.input)];
      auto& data = slow.buffers[0].data;
      const auto& view = slow.bufferViews[static_cast<std::size_t>(accessor.bufferView)];
      for (int k = 0; k < 3; ++k) {
        const float t = static_cast<float>(k / 24.0);
        std::memcpy(data.data() + view.byteOffset + accessor.byteOffset + 4 * static_cast<std::size_t>(k), &t, 4);
      }
      accessor.maxValues = {2 / 24.0};
    }
    slow.animations[0].extras = tinygltf::Value();  // a modeller keeps none of ours
    const SkillsMade resampled = SkillsFromGltf(ParseEdited(slow), waving.rig, {}, {});
    const Skill& skill = resampled.file.skills[0];
    EXPECT_EQ(skill.motions[0].frames, 4u);
    const Animation animation = MakeAnimation(waving.rig, skill, resampled.frames[0]);
    Pose got, want;
    for (const auto& [frame, original] : {std::pair{1, 0.8}, std::pair{2, 1.6}, std::pair{3, 2.0}}) {
      AnimatedPose(waving.rig, animation, frame, got);
      AnimatedPose(waving.rig, waving.animation, step ? std::floor(original) : original, want);
      // The root, whose keys are unit quaternions as the game's are (the arm's
      // are 4 % off, and between keys the game's slerp of them scales otherwise
      // than glTF's linear scale).
      EXPECT_NEAR(got[0].position.x, want[0].position.x, 1e-5) << frame;
      EXPECT_NEAR(got[0].position.y, want[0].position.y, 1e-5) << frame;
      for (std::size_t e = 0; e < 9; ++e) EXPECT_NEAR(got[0].rotation.m[e], want[0].rotation.m[e], 5e-4) << frame;
    }
    // At its last key the arm, turned about all three axes, is where it was:
    // the modeller's rotations are mirrored back into the game's.
    AnimatedPose(waving.rig, animation, 3, got);
    AnimatedPose(waving.rig, waving.animation, 2, want);
    for (std::size_t e = 0; e < 9; ++e) EXPECT_NEAR(got[1].rotation.m[e], want[1].rotation.m[e], 1e-4) << e;
  }

  // Every scale key doubled along one axis.
  auto scaled = [](std::size_t axis) {
    return [axis](tinygltf::Model& g) {
      for (auto& c : g.animations[0].channels)
        if (c.target_path == "scale") {
          auto& a = g.accessors[static_cast<std::size_t>(g.animations[0].samplers[static_cast<std::size_t>(c.sampler)].output)];
          const float two = 2;
          std::memcpy(g.buffers[0].data.data() + g.bufferViews[static_cast<std::size_t>(a.bufferView)].byteOffset + a.byteOffset + 4 * axis, &two, 4);
        }
    };
  };
  const struct {
    const char* what;
    std::function<void(tinygltf::Model&)> edit;
    const char* message;
  } refusals[] = {
      {"a channel on the mesh's node", [](tinygltf::Model& g) { g.animations[0].channels[0].target_node = 2; },
       "channel 0 (counted from 0): it moves m, which is not a bone"},
      {"a scaled bone", scaled(0), "is scaled"},
      {"a bone scaled along y alone", scaled(1), "is scaled"},
      {"a bone scaled along z alone", scaled(2), "is scaled"},
      {"times going backwards", [](tinygltf::Model& g) {
         const auto& a = g.accessors[static_cast<std::size_t>(g.animations[0].samplers[0].input)];
         const float late = 1;
         std::memcpy(g.buffers[0].data.data() + g.bufferViews[static_cast<std::size_t>(a.bufferView)].byteOffset + a.byteOffset, &late, 4);
       }, "go backwards at key 1"},
      {"a value that is not a number", [](tinygltf::Model& g) {
         const auto& a = g.accessors[static_cast<std::size_t>(g.animations[0].samplers[0].output)];
         const float nan = std::numeric_limits<float>::quiet_NaN();
         std::memcpy(g.buffers[0].data.data() + g.bufferViews[static_cast<std::size_t>(a.bufferView)].byteOffset + a.byteOffset, &nan, 4);
       }, "value is not a finite number"},
      {"a key before time 0", [](tinygltf::Model& g) {
         const auto& a = g.accessors[static_cast<std::size_t>(g.animations[0].samplers[0].input)];
         const float early = -1;
         std::memcpy(g.buffers[0].data.data() + g.bufferViews[static_cast<std::size_t>(a.bufferView)].byteOffset + a.byteOffset, &early, 4);
       }, "key 0's time is negative"},
      {"longer than a skill can be", [](tinygltf::Model& g) {
         const auto& a = g.accessors[static_cast<std::size_t>(g.animations[0].samplers[0].input)];
         const float late = 65536 / 30.0f;
         std::memcpy(g.buffers[0].data.data() + g.bufferViews[static_cast<std::size_t>(a.bufferView)].byteOffset + a.byteOffset + 8, &late, 4);
       }, "more than a skill's 65536 frames"},
      {"a channel moving what no bone has", [](tinygltf::Model& g) { g.animations[0].channels[0].target_path = "shear"; },
       "it moves \"shear\", which no bone has"},
      {"more keys than a skill has frames", [](tinygltf::Model& g) {
         auto& a = g.accessors[static_cast<std::size_t>(g.animations[0].samplers[0].input)];
         a.bufferView = AddView(g, 4 * (kGltfKeyLimit + 1)), a.byteOffset = 0, a.count = kGltfKeyLimit + 1;
       }, "65537 keys are more than a skill's 65536 frames"},
      {"fewer values than keys", [](tinygltf::Model& g) {
         g.accessors[static_cast<std::size_t>(g.animations[0].samplers[0].output)].count = 2;
       }, "has 3 keys but 2 values"},
      {"a sampler of no keys", [](tinygltf::Model& g) {
         g.accessors[static_cast<std::size_t>(g.animations[0].samplers[0].input)].count = 0;
         g.accessors[static_cast<std::size_t>(g.animations[0].samplers[0].output)].count = 0;
       }, "its sampler has 0 keys but 0 values"},
      {"an unnamed animation, by its place", [](tinygltf::Model& g) { g.animations[0].name.clear(), g.animations[0].channels[0].target_path = "shear"; },
       "animation animation 0 (counted from 0), channel 0 (counted from 0): it moves \"shear\""},
  };
  for (const auto& refusal : refusals) {
    SCOPED_TRACE(refusal.what);
    tinygltf::Model edited = LoadGlb(waving.Glb());
    refusal.edit(edited);
    const Failure failure = test::ExpectFailure([&] { SkillsFromGltf(ParseEdited(edited), waving.rig, {}, {}); });
    EXPECT_NE(failure.detail().find(refusal.message), std::string::npos) << failure.detail();
  }
  // Read without a skeleton beside, a file's joints carry the rig: one
  // placed by a matrix has no rest transform to give.
  {
    TempDir dir;
    Glb placed = Glb::Of(waving.Glb());
    json& joint = placed.doc["nodes"][placed.doc["skins"][0]["joints"][0].get<int>()];
    for (const char* part : {"translation", "rotation", "scale"}) joint.erase(part);
    joint["matrix"] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 3, 0, 1};
    test::WriteFile(dir.path("placed.glb"), placed.Bytes());
    EXPECT_NE(test::ExpectFailure([&] { ReadGlbFile(dir.path("placed.glb"), {}); }).detail().find("is placed by a matrix, not a rest transform"),
              std::string::npos);
  }
  // Joints listed children first still give a rig whose every bone follows its parent.
  {
    tinygltf::Model reversed = LoadGlb(waving.Glb());
    std::reverse(reversed.skins[0].joints.begin(), reversed.skins[0].joints.end());
    const Rig rig = RigFromGltf(ParseEdited(reversed), "r");
    ASSERT_EQ(rig.bone_names, (std::vector<std::string>{"ARM", "ROOT"}));
    EXPECT_EQ(rig.order, (std::vector<int>{1, 0}));
  }
  // An animation asked for by name is found whatever its case.
  const std::string upper[] = {"WAVE"};
  EXPECT_EQ(SkillsFromGltf(ParseGltf(waving.Glb(), "w.glb", ""), waving.rig, upper, {}).file.skills.size(), 1u);
  const std::string only[] = {"dance"};
  EXPECT_NE(test::ExpectFailure([&] { SkillsFromGltf(ParseGltf(waving.Glb(), "w.glb", ""), waving.rig, only, {}); })
                .detail()
                .find("no animation dance"),
            std::string::npos);
}

// A modeller that re-expresses each joint in axes of its own (a bone along
// its y, say) changes every node and key but not one vertex's motion: the
// skill read back poses the Sim as the one written did.
TEST(GltfSkills, ReexpressedJointsGiveTheSkillTheyWereWrittenFrom) {
  using Q = std::array<double, 4>;  // x y z w
  auto times = [](const Q& a, const Q& b) {
    return Q{a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1], a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0],
             a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3], a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2]};
  };
  auto inverse = [](const Q& q) { return Q{-q[0], -q[1], -q[2], q[3]}; };
  auto turn = [&](const Q& q, const std::array<double, 3>& v) {
    const Q r = times(times(q, {v[0], v[1], v[2], 0}), inverse(q));
    return std::array<double, 3>{r[0], r[1], r[2]};
  };
  // Per joint node (ROOT, ARM) the turn from the game's axes to the modeller's.
  const double h = std::sqrt(0.5);
  const Q axes[] = {{h, 0, 0, h}, {0.5, -0.5, 0.5, 0.5}};
  auto parent_axes = [&](std::size_t node) { return node == 1 ? axes[0] : Q{0, 0, 0, 1}; };

  // The arm's last key turns it most about x, y or z in turn (more than a
  // quarter turn each), so that each way of reading a turn back is taken.
  for (const std::array<float, 4>& last : {std::array<float, 4>{-0.78f, 0.52f, 0.26f, -0.13f}, {0.26f, -0.78f, 0.52f, -0.13f},
                                           {0.52f, 0.26f, -0.78f, -0.13f}}) {
    SCOPED_TRACE(testing::PrintToString(last));
    Waving waving;
    waving.frames.rotations[5] = last;
    waving.animation = MakeAnimation(waving.rig, waving.skill, waving.frames);
    tinygltf::Model gltf = LoadGlb(waving.Glb());
    ASSERT_GE(gltf.nodes.size(), 2u);  // read, or stop here
    for (std::size_t n = 0; n < 2; ++n) {
      tinygltf::Node& node = gltf.nodes[n];
      ASSERT_EQ(node.name, n == 0 ? "ROOT" : "ARM");
      const Q r = node.rotation.empty() ? Q{0, 0, 0, 1} : Q{node.rotation[0], node.rotation[1], node.rotation[2], node.rotation[3]};
      const Q q = times(times(inverse(parent_axes(n)), r), axes[n]);
      node.rotation.assign(q.begin(), q.end());
      const auto t = turn(inverse(parent_axes(n)), {node.translation[0], node.translation[1], node.translation[2]});
      node.translation.assign(t.begin(), t.end());
    }
    for (const auto& channel : gltf.animations[0].channels) {
      if (channel.target_path == "scale") continue;
      const auto n = static_cast<std::size_t>(channel.target_node);
      const auto& accessor = gltf.accessors[static_cast<std::size_t>(gltf.animations[0].samplers[static_cast<std::size_t>(channel.sampler)].output)];
      float* values = reinterpret_cast<float*>(gltf.buffers[0].data.data() + gltf.bufferViews[static_cast<std::size_t>(accessor.bufferView)].byteOffset +
                                               accessor.byteOffset);
      for (std::size_t key = 0; key < accessor.count; ++key) {
        if (channel.target_path == "rotation") {
          float* v = values + 4 * key;
          const Q q = times(times(inverse(parent_axes(n)), {v[0], v[1], v[2], v[3]}), axes[n]);
          for (std::size_t e = 0; e < 4; ++e) v[e] = static_cast<float>(q[e]);
        } else {
          float* v = values + 3 * key;
          const auto t = turn(inverse(parent_axes(n)), {v[0], v[1], v[2]});
          for (std::size_t e = 0; e < 3; ++e) v[e] = static_cast<float>(t[e]);
        }
      }
    }
    gltf.animations[0].extras = tinygltf::Value();  // a modeller keeps none of ours
    const SkillsMade made = SkillsFromGltf(ParseEdited(gltf), waving.rig, {}, {});
    ASSERT_EQ(made.file.skills.size(), 1u);
    const Animation animation = MakeAnimation(waving.rig, made.file.skills[0], made.frames[0]);
    Pose got, want;
    for (int frame = 0; frame < 3; ++frame) {
      AnimatedPose(waving.rig, animation, frame, got);
      AnimatedPose(waving.rig, waving.animation, frame, want);
      for (std::size_t b = 0; b < 2; ++b) {
        EXPECT_NEAR(got[b].position.x, want[b].position.x, 1e-4) << frame << " " << b;
        EXPECT_NEAR(got[b].position.y, want[b].position.y, 1e-4) << frame << " " << b;
        EXPECT_NEAR(got[b].position.z, want[b].position.z, 1e-4) << frame << " " << b;
        for (std::size_t e = 0; e < 9; ++e) EXPECT_NEAR(got[b].rotation.m[e], want[b].rotation.m[e], 1e-4) << frame << " " << b << " " << e;
      }
    }
  }
}

// A skill file gives every skill it holds, or the one named after its colon.
TEST(GltfSkills, ASkillFileGivesAllItsSkillsOrTheOneNamed) {
  const Waving waving;
  TempDir dir;
  CharacterFile file;
  file.skills = {waving.skill, waving.skill};
  file.skills[1].name = "wave-again";
  for (Skill& skill : file.skills) skill.frames_name = "xskill-wave";
  test::WriteFile(dir.path("skills.cmx"), CmxText(file));
  test::WriteFile(dir.path("xskill-wave.cfp"), CfpBytes(waving.frames));
  const struct {
    std::optional<std::string> skill;
    std::vector<std::string> names;
  } cases[] = {{std::nullopt, {"wave", "wave-again"}}, {"wave-again", {"wave-again"}}};
  for (const auto& c : cases) {
    const SkillRequest request{dir.path("skills.cmx"), c.skill};
    std::vector<std::string> names;
    for (const Animation& animation : ReadAnimations({&request, 1}, waving.rig, {})) names.push_back(animation.name);
    EXPECT_EQ(names, c.names) << c.skill.value_or("(none)");
  }
}

// The character view lists a shown glTF's animations and plays them.
TEST(GltfSkills, TheCharacterViewPlaysAGltfsAnimations) {
  const Waving waving;
  test::TempDir dir;
  test::WriteFile(dir.path("wave.glb"), waving.Glb());
  CharacterFile skeleton_file;
  skeleton_file.skeletons.push_back(waving.skeleton);
  test::WriteFile(dir.path("s.cmx"), CmxText(skeleton_file));
  const RiggedRead read = ReadGlbFile(dir.path("wave.glb"), {});
  CharacterScene scene;
  scene.SetModel(read.models.front(), dir.path("wave.glb"));
  scene.UseSkeleton(SkeletonKind::File, dir.path("s.cmx"));
  ASSERT_TRUE(scene.HasRig());
  // Shown twice (the model and the file added again), its animations are listed once.
  scene.AddPart(dir.path("wave.glb"));  // its bitmap is not there: only a line
  ASSERT_EQ(scene.parts().size(), 2u);
  const std::vector<SkillEntry> skills = scene.FindSkills();
  EXPECT_EQ(std::count_if(skills.begin(), skills.end(), [](const SkillEntry& e) { return e.name == "wave"; }), 1);
  const auto wave = std::find_if(skills.begin(), skills.end(), [](const SkillEntry& e) { return e.name == "wave"; });
  ASSERT_NE(wave, skills.end());
  EXPECT_EQ(scene.SelectSkill(*wave), "");
  EXPECT_EQ(scene.frame_count(), 3);
  scene.SetFrame(2);
  Pose want;
  AnimatedPose(waving.rig, waving.animation, 2, want);
  EXPECT_NEAR(scene.pose()[0].position.x, want[0].position.x, 1e-6);
}

}  // namespace
}  // namespace mervane
