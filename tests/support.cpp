#include "support.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <random>
#include <sstream>

namespace mervane::test {

void FakePrompts::ShowMessage(const std::string& text, const std::string& detail) {
  messages.push_back({text, detail});
  if (on_call) on_call();
}

std::optional<bool> FakePrompts::AskYesNo(const std::string& title, const std::string& text, bool yes) {
  questions.push_back(title + ": " + text);
  yes_by_default.push_back(yes);
  if (on_call) on_call();
  if (answers.empty()) return std::nullopt;
  const auto answer = answers.front();
  answers.erase(answers.begin());
  return answer;
}

TempDir::TempDir() {
  static std::mt19937 random{std::random_device{}()};
  root_ = std::filesystem::temp_directory_path() /
          ("mervane-test-" + std::to_string(random()) + "-" + std::to_string(random()));
  std::filesystem::create_directories(root_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(root_, ec);
}

std::vector<std::string> TempDir::Listing() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(root_))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string CrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const auto end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::string DataPath(const std::string& relative) {
  return std::string(MERVANE_TEST_DATA) + "/" + relative;
}

std::string ExamplePath(const std::string& name) {
  return std::string(MERVANE_EXAMPLES) + "/" + name;
}

bool IsEmptyModel(const SkinModel& model) {
  if (model.BoneCount || model.FaceCount || model.TexVertexCount || model.BlendCount ||
      model.VertexCount || model.NormalCount || !model.MeshName.empty() || !model.TextureName.empty())
    return false;
  for (int i = 0; i < kBoneSlots - 1; ++i)
    if (!model.BoneNames.at(i).empty() || !model.BindingLines.at(i).empty() ||
        model.BoneOffsetX[i] != 0 || model.BoneOffsetY[i] != 0 || model.BoneOffsetZ[i] != 0)
      return false;
  for (const LineTable* t : {&model.FaceLines, &model.TexVertexLines, &model.VertexLines,
                             &model.NormalLines, &model.BlendLines})
    for (int i = 0; i < 64; ++i)
      if (!t->at(i).empty()) return false;
  return true;
}

std::string MakeSkn(const SkinShape& shape) {
  std::mt19937 random(shape.seed);
  std::uniform_real_distribution<double> coord(-2.5, 2.5), unit(0.0, 1.0);
  auto num = [](double v) {
    std::ostringstream s;
    s.precision(7);
    s << v;
    return s.str();
  };
  int real = 0;
  for (int n : shape.vertices_per_bone) real += n;
  const int total = real + shape.blended;
  std::vector<std::string> lines{"mesh_" + std::to_string(shape.seed), "tex_" + std::to_string(shape.seed),
                                 std::to_string(shape.bones.size())};
  lines.insert(lines.end(), shape.bones.begin(), shape.bones.end());
  // Faces: every real vertex is used, so each gets its normal and texture vertex back.
  std::vector<std::string> faces;
  for (int v = 0; real >= 3 && v < real; v += 3)
    faces.push_back(std::to_string(v % real) + " " + std::to_string((v + 1) % real) + " " +
                    std::to_string((v + 2) % real));
  lines.push_back(std::to_string(faces.size()));
  lines.insert(lines.end(), faces.begin(), faces.end());
  lines.push_back(std::to_string(shape.bones.size()));
  int first = 0;
  for (std::size_t b = 0; b < shape.bones.size(); ++b) {
    const int blended_here = b + 1 == shape.bones.size() ? shape.blended : 0;
    lines.push_back(std::to_string(b) + " " + std::to_string(first) + " " +
                    std::to_string(shape.vertices_per_bone[b]) + " " +
                    std::to_string(0) + " " + std::to_string(blended_here));
    first += shape.vertices_per_bone[b];
  }
  lines.push_back(std::to_string(real));
  for (int i = 0; i < real; ++i) lines.push_back(num(unit(random)) + " " + num(unit(random)));
  lines.push_back(std::to_string(shape.blended));
  for (int i = 0; i < shape.blended; ++i)
    lines.push_back(std::to_string(i) + " " + std::to_string(1000 + 37 * i));
  lines.push_back(std::to_string(total));
  for (int i = 0; i < total; ++i) {
    std::string line;
    for (int k = 0; k < 6; ++k) {
      if (k) line += ' ';
      line += num(coord(random));
    }
    lines.push_back(line);
  }
  return CrLf(lines);
}

}  // namespace mervane::test

#include "import/obj_import.h"
#include "model/numbers.h"
#include "project/project.h"
#include "skn/skn.h"

namespace mervane::test {

ReadEnd ReadSkn(const std::string& text) {
  return ReadCleanly([&](const NormalsQuestion&) { return ParseSkn(text, "in.skn"); });
}

ReadEnd ReadProject(const std::string& spj, const std::string& obj, std::optional<bool> answer) {
  return ReadCleanly([&](const NormalsQuestion& ask) { return ParseProject(spj, obj, "in.spj", "in.obj", ask); },
                     answer);
}

ReadEnd ReadPart(const std::string& obj, const std::string& site, std::optional<bool> answer) {
  const ImportRequest request{"in.obj", "part", "skin", site};
  return ReadCleanly([&](const NormalsQuestion& ask) { return ParseObjPart(obj, request, ask); }, answer);
}

SkinModel ModelOf(ReadEnd end) {
  EXPECT_TRUE(end.model) << end.message() << " / " << end.detail();
  EXPECT_EQ(end.questions, 0);
  return end.model ? std::move(*end.model) : SkinModel{};
}

SkinModel ReadSknText(const std::string& text) {
  try {
    return ParseSkn(text, "in.skn");
  } catch (const Failure& failure) {
    ADD_FAILURE() << failure.message() << " / " << failure.detail();
    return {};
  }
}

namespace {

std::vector<double> Numbers(std::string_view line) {
  std::vector<double> values;
  std::array<std::string_view, 8> f;
  const std::size_t n = SplitFields(line, f);
  for (std::size_t i = 0; i < n; ++i) values.push_back(ReadNumber(f[i]));
  return values;
}

void ExpectNearLines(const LineTable& actual, const LineTable& expected, int count, double tolerance,
                     const char* what) {
  for (int i = 0; i < count; ++i) {
    const auto a = Numbers(actual.at(i)), e = Numbers(expected.at(i));
    ASSERT_EQ(a.size(), e.size()) << what << " " << i << ": \"" << actual.at(i) << "\" vs \"" << expected.at(i) << '"';
    for (std::size_t k = 0; k < a.size(); ++k)
      ASSERT_NEAR(a[k], e[k], tolerance) << what << " " << i << ": \"" << actual.at(i) << "\" vs \"" << expected.at(i) << '"';
  }
}

void ExpectEqualLines(const LineTable& actual, const LineTable& expected, int count, const char* what) {
  for (int i = 0; i < count; ++i) ASSERT_EQ(actual.at(i), expected.at(i)) << what << " " << i;
}

}  // namespace

void ExpectSameUpTo(const SkinModel& a, const SkinModel& e, double position_tolerance,
                    double normal_tolerance) {
  EXPECT_EQ(a.MeshName, e.MeshName);
  EXPECT_EQ(a.TextureName, e.TextureName);
  ASSERT_EQ(a.BoneCount, e.BoneCount);
  ASSERT_EQ(a.FaceCount, e.FaceCount);
  ASSERT_EQ(a.VertexCount, e.VertexCount);
  ASSERT_EQ(a.NormalCount, e.NormalCount);
  ASSERT_EQ(a.BlendCount, e.BlendCount);
  ExpectEqualLines(a.BoneNames, e.BoneNames, a.BoneCount, "bone");
  ExpectEqualLines(a.BindingLines, e.BindingLines, a.BoneCount, "binding");
  ExpectEqualLines(a.FaceLines, e.FaceLines, a.FaceCount, "face");
  ExpectEqualLines(a.BlendLines, e.BlendLines, a.BlendCount, "blend");
  ExpectNearLines(a.VertexLines, e.VertexLines, a.VertexCount, position_tolerance, "vertex");
  ExpectNearLines(a.NormalLines, e.NormalLines, a.NormalCount, normal_tolerance, "normal");
  const int tex = std::min(a.TexVertexCount, e.TexVertexCount);
  ExpectNearLines(a.TexVertexLines, e.TexVertexLines, tex, position_tolerance, "texture vertex");
}

}  // namespace mervane::test
