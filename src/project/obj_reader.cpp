#include <array>
#include <cmath>

#include "model/numbers.h"
#include "model/paths.h"
#include "project/obj_reader.h"
#include "project/world.h"

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
  void ReadLine(std::string_view line) {
    std::array<std::string_view, 4> f;
    const std::size_t n = SplitFields(line, f);
    if (n == 0) return;
    const std::string keyword = ToLowerAscii(f[0]);
    if (keyword == "v") {
      AddTriple(f, n, lists_.vertices, FailureKind::VertexLimit, "a \"v\" line");
      lists_.vertex_line_numbers.push_back(in_.line_number());
    } else if (keyword == "vn") {
      AddTriple(f, n, lists_.normals, FailureKind::NormalLimit, "a \"vn\" line");
    } else if (keyword == "vt") {
      if (n < 3) throw Failure::Error(err::kInvalidArgument, "a \"vt\" line needs two numbers");
      lists_.tex_vertices.push_back(FormatCoord(ReadNumber(f[1]), ReadNumber(f[2])));
      CheckLimit(lists_.tex_vertices, FailureKind::TexVertexLimit);
    } else if (keyword == "f") {
      ReadFace(line);
    }
  }

  void AddTriple(const std::array<std::string_view, 4>& f, std::size_t n,
                 std::vector<std::string>& list, FailureKind limit, const char* what) {
    if (n < 4) throw Failure::Error(err::kInvalidArgument, std::string(what) + " needs three numbers");
    list.push_back(FormatCoord(ReadNumber(f[1]), ReadNumber(f[2]), ReadNumber(f[3])));
    CheckLimit(list, limit);
  }

  static void CheckLimit(const std::vector<std::string>& list, FailureKind limit) {
    if (list.size() > static_cast<std::size_t>(kCountLimit))
      throw Failure(limit, 0, "more than " + std::to_string(kCountLimit) + " lines of its kind");
  }

  // A 1-based index, or a negative one counting back from the last element
  // read so far, as 0-based; outside the line tables is error 9.
  static int Index(std::string_view part, std::size_t read_so_far, const char* what) {
    const double number = std::nearbyint(ReadNumber(part));
    const double index = number < 0 ? static_cast<double>(read_so_far) + number : number - 1;
    if (!(index >= 0 && index <= kLineSlots - 1))
      throw Failure::Error(err::kIndexOutOfRange,
                           std::string("the ") + what + " index \"" + std::string(part) +
                               "\" names no " + what);
    return static_cast<int>(index);
  }

  Corner ReadCorner(std::string_view text) {
    const auto slash1 = text.find('/');
    const auto slash2 = slash1 == std::string_view::npos ? slash1 : text.find('/', slash1 + 1);
    if (slash2 == std::string_view::npos)
      throw Failure::Error(err::kInvalidArgument,
                           "the face corner \"" + std::string(text) +
                               "\" needs vertex, texture and normal indices (v/vt/vn)");
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

  static const std::string& Entry(const std::vector<std::string>& list, int index) {
    static const std::string empty;
    return static_cast<std::size_t>(index) < list.size() ? list[index] : empty;
  }

  void AddTriangle(const Corner& a, const Corner& b, const Corner& c) {
    for (const Corner* corner : {&a, &b, &c}) {
      const int normal = state_ == NormalCheckState::UseVertexIndices ? corner->vertex : corner->normal;
      model_.TexVertexLines.set(corner->vertex, Entry(lists_.tex_vertices, corner->tex));
      model_.NormalLines.set(corner->vertex, Entry(lists_.normals, normal));
    }
    if (model_.FaceCount >= kLineSlots)
      throw Failure::Error(err::kIndexOutOfRange, "more than " + std::to_string(kLineSlots) + " faces");
    model_.FaceLines.set(model_.FaceCount, std::to_string(a.vertex) + " " + std::to_string(b.vertex) +
                                               " " + std::to_string(c.vertex));
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
  for (int i = 0; i < model.BoneCount; ++i) {
    CheckBoneIndex(i);
    const BoneRange range = ParseBindingLine(model.BindingLines.at(i));
    const Vec3 offset = BoneOffset(model, i);
    const LimbClass limb = ClassifyBone(model.BoneNames.at(i));
    for (int j = range.first; j < range.end(); ++j) {
      try {
        const std::string& world =
            static_cast<std::size_t>(j) < lists.vertices.size() ? lists.vertices[j] : std::string();
        const Vec3 p = PositionToLocal(limb, ParseTriple(world, "its position"), offset);
        model.VertexLines.set(j, FormatCoord(p.x, p.y, p.z));
      } catch (Failure& failure) {
        failure.About(Counted("vertex", j) + " of bone " + std::string(model.BoneNames.at(i)));
        throw;
      }
    }
    for (int j = range.first; j < range.end(); ++j) {
      try {
        const Vec3 n = NormalToLocal(limb, ParseTriple(model.NormalLines.at(j),
                                                       "its normal (no face uses the vertex)"));
        model.NormalLines.set(j, FormatCoord(n.x, n.y, n.z));
      } catch (Failure& failure) {
        failure.About(Counted("vertex", j) + " of bone " + std::string(model.BoneNames.at(i)));
        throw;
      }
    }
  }
  for (int j = 0; j < model.TexVertexCount; ++j) {
    std::array<std::string_view, 2> f;
    if (SplitFields(model.TexVertexLines.at(j), f) < 2)
      throw Failure::Error(err::kInvalidArgument,
                           Counted("vertex", j) + " has no texture vertex: no face uses it");
    model.TexVertexLines.set(j, FormatCoord(ReadNumber(f[0]), 1.0 - ReadNumber(f[1])));
  }
}

}  // namespace mervane
