#include <array>
#include <charconv>
#include <cmath>
#include <span>

#include "model/numbers.h"
#include "model/paths.h"
#include "model/world.h"
#include "project/obj_reader.h"

namespace mervane {
namespace {

constexpr std::size_t kMaxCorners = 4096;

struct Corner {
  int vertex, tex, normal;
};

// Whether face corners take the normals they name, or (after the user asked
// for the fix) the normal with their vertex's index.
enum class NormalCheckState { Untested, UseNormalIndices, UseVertexIndices };

class ObjReader {
 public:
  ObjReader(SkinModel& model, LineReader& in, const NormalsQuestion& ask)
      : model_(model), in_(in), ask_(ask) {}

  ObjLists Run() {
    std::string_view line;
    while (in_.TryNext(line)) {
      try {
        ReadLine(line);
      } catch (Failure& failure) {
        failure.AtLine(in_.line_number());
        throw;
      }
    }
    model_.VertexCount = static_cast<std::int16_t>(lists_.vertices.size());
    model_.NormalCount = static_cast<std::int16_t>(lists_.normals.size());
    model_.TexVertexCount = static_cast<std::int16_t>(lists_.tex_vertices.size());
    return std::move(lists_);
  }

 private:
  // Keywords are taken without regard to case.
  static bool Is(std::string_view field, std::string_view keyword) {
    if (field.size() != keyword.size()) return false;
    for (std::size_t i = 0; i < field.size(); ++i)
      if ((field[i] | 0x20) != keyword[i]) return false;
    return true;
  }

  // A number as it reads after the six-decimal rounding every coordinate
  // gets on the way in.
  static double Rounded(std::string_view field) {
    double value;
    return !field.empty() && ReadCanonicalCoord(field, value) == field.size() ? value
                                                                               : RoundCoord(ReadNumber(field));
  }

  // A "v", "vn" or "vt" line as modellers write it: the keyword, one space,
  // and six-decimal numbers one space apart, read in one pass. False for
  // any other line.
  bool ReadPlainLine(std::string_view line) {
    std::array<double, 3> v;
    if (line.starts_with("v ") && ReadCanonicalCoords(line.substr(2), v)) {
      AddVertex({v[0], v[1], v[2]});
    } else if (line.starts_with("vn ") && ReadCanonicalCoords(line.substr(3), v)) {
      AddNormal({v[0], v[1], v[2]});
    } else if (line.starts_with("vt ") && ReadCanonicalCoords(line.substr(3), std::span(v).first<2>())) {
      AddTexVertex({v[0], v[1]});
    } else {
      return false;
    }
    return true;
  }

  void AddVertex(Vec3 v) {
    lists_.vertices.push_back(v);
    CheckLimit(lists_.vertices, FailureKind::VertexLimit);
    lists_.vertex_line_numbers.push_back(in_.line_number());
  }
  void AddNormal(Vec3 n) {
    lists_.normals.push_back(n);
    CheckLimit(lists_.normals, FailureKind::NormalLimit);
  }
  void AddTexVertex(Vec2 uv) {
    lists_.tex_vertices.push_back(uv);
    CheckLimit(lists_.tex_vertices, FailureKind::TexVertexLimit);
  }

  void ReadLine(std::string_view line) {
    if (ReadPlainLine(line)) return;
    // The keyword decides; a face line is read by ReadFace on its own.
    std::size_t start = 0;
    while (start < line.size() && IsBlank(line[start])) ++start;
    std::size_t end = start;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    const std::string_view keyword = line.substr(start, end - start);
    if (keyword.empty()) return;
    if (Is(keyword, "f")) {
      ReadFace(line);
      return;
    }
    std::array<std::string_view, 4> f;
    const std::size_t n = SplitFields(line, f);
    if (Is(f[0], "v")) {
      if (n < 4) throw Failure::Error(err::kInvalidArgument, "a \"v\" line needs three numbers");
      AddVertex({Rounded(f[1]), Rounded(f[2]), Rounded(f[3])});
    } else if (Is(f[0], "vn")) {
      if (n < 4) throw Failure::Error(err::kInvalidArgument, "a \"vn\" line needs three numbers");
      AddNormal({Rounded(f[1]), Rounded(f[2]), Rounded(f[3])});
    } else if (Is(f[0], "vt")) {
      if (n < 3) throw Failure::Error(err::kInvalidArgument, "a \"vt\" line needs two numbers");
      AddTexVertex({Rounded(f[1]), Rounded(f[2])});
    }
  }

  template <typename List>
  static void CheckLimit(const List& list, FailureKind limit) {
    if (list.size() > static_cast<std::size_t>(kCountLimit)) FailLimit(limit);
  }
  [[noreturn]] static void FailLimit(FailureKind limit) {
    throw Failure(limit, 0, "more than " + std::to_string(kCountLimit) + " lines of its kind");
  }

  // A plain positive index, as modellers write them (up to five digits, no
  // leading zero), read from p on as 0-based without the number rule; false
  // for any other text.
  static bool ReadPlainIndex(const char*& p, const char* end, int& index) {
    if (p == end || *p < '1' || *p > '9') return false;
    const char* const start = p;
    int n = 0;
    for (; p != end && *p >= '0' && *p <= '9'; ++p) {
      if (p - start == 5) return false;
      n = n * 10 + (*p - '0');
    }
    if (n > kLineSlots) return false;
    index = n - 1;
    return true;
  }

  // A corner as modellers write it, "v/vt/vn" with plain indices, read in
  // one pass; false for any other.
  static bool ReadPlainCorner(std::string_view text, Corner& corner) {
    const char* p = text.data();
    const char* const end = p + text.size();
    return ReadPlainIndex(p, end, corner.vertex) && p != end && *p++ == '/' &&
           ReadPlainIndex(p, end, corner.tex) && p != end && *p++ == '/' &&
           ReadPlainIndex(p, end, corner.normal) && p == end;
  }

  // A 1-based index, or a negative one counting back from the last element
  // read so far, as 0-based; outside the line tables is error 9.
  static int Index(std::string_view part, std::size_t read_so_far, const char* what) {
    const char* p = part.data();
    if (int index; ReadPlainIndex(p, part.data() + part.size(), index) && p == part.data() + part.size())
      return index;
    const double number = std::nearbyint(ReadNumber(part));
    const double index = number < 0 ? static_cast<double>(read_so_far) + number : number - 1;
    if (!(index >= 0 && index <= kLineSlots - 1))
      throw Failure::Error(err::kIndexOutOfRange,
                           std::string("the ") + what + " index \"" + std::string(part) +
                               "\" names no " + what);
    return static_cast<int>(index);
  }

  Corner ReadCorner(std::string_view text) {
    if (Corner corner; ReadPlainCorner(text, corner)) return corner;
    // Corners are short: a plain loop beats a library search.
    std::size_t slash1 = std::string_view::npos, slash2 = std::string_view::npos;
    for (std::size_t k = 0; k < text.size(); ++k) {
      if (text[k] != '/') continue;
      if (slash1 != std::string_view::npos) {
        slash2 = k;
        break;
      }
      slash1 = k;
    }
    // Blender leaves the normal index out when Normals is unticked in its
    // OBJ export, the usual way a user meets this.
    if (slash2 == std::string_view::npos)
      throw Failure::Error(err::kInvalidArgument,
                           "the face corner \"" + std::string(text) +
                               "\" needs vertex, texture and normal indices (v/vt/vn): the file "
                               "has no normals. In Blender, export it again with Normals and UV "
                               "Coordinates ticked under Geometry");
    return {Index(text.substr(0, slash1), lists_.vertices.size(), "vertex"),
            Index(text.substr(slash1 + 1, slash2 - slash1 - 1), lists_.tex_vertices.size(),
                  "texture vertex"),
            Index(text.substr(slash2 + 1), lists_.normals.size(), "normal")};
  }

  void ReadFace(std::string_view line) {
    corners_.clear();
    std::size_t i = 0;
    while (i < line.size() && IsBlank(line[i])) ++i;
    while (i < line.size() && !IsBlank(line[i])) ++i;  // the keyword
    for (;;) {
      while (i < line.size() && IsBlank(line[i])) ++i;
      if (i == line.size()) break;
      const std::size_t start = i;
      while (i < line.size() && !IsBlank(line[i])) ++i;
      if (corners_.size() == kMaxCorners)
        throw Failure::Error(err::kInvalidArgument, "a face has more corners than can be read");
      corners_.push_back(ReadCorner(line.substr(start, i - start)));
    }
    if (corners_.size() < 3)
      throw Failure::Error(err::kInvalidArgument, "a face needs at least three corners");
    if (state_ == NormalCheckState::Untested) CheckNormals();
    for (std::size_t k = 1; k + 1 < corners_.size(); ++k)
      AddTriangle(corners_[0], corners_[k], corners_[k + 1]);
  }

  void CheckNormals() {
    bool valid = true;
    for (const Corner& c : corners_)
      if (static_cast<std::size_t>(c.normal) >= lists_.normals.size()) valid = false;
    if (valid) {
      state_ = NormalCheckState::UseNormalIndices;
      return;
    }
    const auto fix = ask_();
    if (!fix)
      throw Failure(FailureKind::Unanswered, 0,
                    "the first face names normals that the file does not hold");
    state_ = *fix ? NormalCheckState::UseVertexIndices : NormalCheckState::UseNormalIndices;
  }

  // The entry an index names among those read so far, or -1.
  template <typename List>
  static int Known(const List& list, int index) {
    return static_cast<std::size_t>(index) < list.size() ? index : -1;
  }

  void AddTriangle(const Corner& a, const Corner& b, const Corner& c) {
    for (const Corner* corner : {&a, &b, &c}) {
      const int normal = state_ == NormalCheckState::UseVertexIndices ? corner->vertex : corner->normal;
      const auto v = static_cast<std::size_t>(corner->vertex);
      if (v >= lists_.tex_of.size()) {
        lists_.tex_of.resize(v + 1, -1);
        lists_.normal_of.resize(v + 1, -1);
      }
      lists_.tex_of[v] = Known(lists_.tex_vertices, corner->tex);
      // A normal the file lacks is kept apart from none at all, for the message.
      lists_.normal_of[v] = Known(lists_.normals, normal) >= 0 ? normal : kMissingNormal - normal;
    }
    if (model_.FaceCount >= kLineSlots)
      throw Failure::Error(err::kIndexOutOfRange, "more than " + std::to_string(kLineSlots) + " faces");
    char text[48];
    char* p = text;
    for (const Corner* corner : {&a, &b, &c}) {
      if (p != text) *p++ = ' ';
      p = std::to_chars(p, text + sizeof text, corner->vertex).ptr;
    }
    model_.FaceLines.set(model_.FaceCount, std::string_view(text, static_cast<std::size_t>(p - text)));
    ++model_.FaceCount;
  }

  SkinModel& model_;
  LineReader& in_;
  const NormalsQuestion& ask_;
  NormalCheckState state_ = NormalCheckState::Untested;
  ObjLists lists_;
  std::vector<Corner> corners_;
};

}  // namespace

NormalsQuestion AskThrough(Prompts& prompts) {
  return [&prompts] { return prompts.AskYesNo(kInvalidNormalsTitle, kInvalidNormalsQuestion); };
}

ObjLists ReadObjGeometry(SkinModel& model, LineReader& in, const NormalsQuestion& ask) {
  return ObjReader(model, in, ask).Run();
}

void BackTransform(SkinModel& model, const ObjLists& lists) {
  BuildSkeleton(model);  // the offsets depend on the bone names only
  // Normals are turned from what the vertex holds so far, so that a vertex
  // in two bones' ranges is turned twice, as its line would be.
  auto named = [](const std::vector<int>& of, std::size_t v) { return v < of.size() ? of[v] : -1; };
  std::vector<Vec3> normals(lists.vertices.size());
  for (std::size_t v = 0; v < normals.size(); ++v)
    if (const int k = named(lists.normal_of, v); k >= 0) normals[v] = lists.normals[static_cast<std::size_t>(k)];
  for (int i = 0; i < model.BoneCount; ++i) {
    CheckBoneIndex(i);
    const BoneRange range = ParseBindingLine(model.BindingLines.at(i));
    const Vec3 offset = BoneOffset(model, i);
    const LimbClass limb = ClassifyBone(model.BoneNames.at(i));
    for (int j = range.first; j < range.end(); ++j) {
      const auto v = static_cast<std::size_t>(j);
      try {
        if (v >= lists.vertices.size())
          throw Failure::Error(err::kInvalidArgument, "its position needs three numbers");
        const Vec3 p = PositionToLocal(limb, lists.vertices[v], offset);
        model.VertexLines.set(j, CoordText(p.x, p.y, p.z).view());
        if (const int k = named(lists.normal_of, v); k <= kMissingNormal)
          throw Failure::Error(err::kInvalidArgument,
                               "its faces name normal " + std::to_string(kMissingNormal - k + 1) +
                                   " (counted from 1), which the file does not hold; answered Yes, the "
                                   "Invalid Normals question gives each vertex the normal with its own index");
        else if (k < 0)
          throw Failure::Error(err::kInvalidArgument,
                               "no face uses it any longer (were faces deleted in the modeller?): a skin project "
                               "keeps every vertex and its faces; to delete faces or vertices, edit the rigged "
                               ".glb instead");
        const Vec3 n = normals[v] = NormalToLocal(limb, normals[v]);
        model.NormalLines.set(j, CoordText(n.x, n.y, n.z).view());
      } catch (Failure& failure) {
        failure.About(Counted("vertex", j) + " of bone " + std::string(model.BoneNames.at(i)));
        throw;
      }
    }
  }
  for (int j = 0; j < model.TexVertexCount; ++j) {
    const int k = named(lists.tex_of, static_cast<std::size_t>(j));
    if (k < 0)
      throw Failure::Error(err::kInvalidArgument,
                           Counted("vertex", j) + " has no texture vertex: no face uses it");
    const Vec2 uv = lists.tex_vertices[static_cast<std::size_t>(k)];
    model.TexVertexLines.set(j, CoordText(uv[0], 1.0 - uv[1]).view());
  }
}

}  // namespace mervane
