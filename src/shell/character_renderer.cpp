#include "shell/character_renderer.h"

#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFunctions>
#include <QOpenGLPixelTransferOptions>
#include <algorithm>
#include <cstring>

#include "files/textfile.h"
#include "model/failure.h"
#include "shell/gl_drawing.h"
#include "shell/image_reader.h"

namespace mervane {
namespace {

// GLSL 1.10, so that OpenGL 2.0 draws it. Each vertex is skinned exactly
// as the game blends: its bound place by its bone, pulled by weight
// towards its blended place by that bone.
const char* kSkinVertexShader = R"(
attribute float bone_a;
attribute vec3 position_a;
attribute vec3 normal_a;
attribute float bone_b;
attribute vec3 position_b;
attribute vec3 normal_b;
attribute float weight;
attribute vec2 uv;
uniform mat4 bones[BONE_COUNT];
uniform mat4 mvp;
varying vec3 v_normal;
varying vec2 v_uv;
varying vec3 v_world;
void main() {
  mat4 ma = bones[int(bone_a + 0.5)];
  mat4 mb = bones[int(bone_b + 0.5)];
  v_world = (1.0 - weight) * (ma * vec4(position_a, 1.0)).xyz + weight * (mb * vec4(position_b, 1.0)).xyz;
  v_normal = (1.0 - weight) * (ma * vec4(normal_a, 0.0)).xyz + weight * (mb * vec4(normal_b, 0.0)).xyz;
  v_uv = uv;
  gl_Position = mvp * vec4(v_world, 1.0);
}
)";

// Two-sided light from the camera (the mirror to drawn axes turns x, so
// the normal's x is turned here too). Every part is drawn in its bitmap's
// own colours, so that tones meet true at the neck and wrists (the panel's
// list marks the model); lines take one colour.
const char* kSkinFragmentShader = R"(
varying vec3 v_normal;
varying vec2 v_uv;
varying vec3 v_world;
uniform sampler2D skin;
uniform bool textured;
uniform vec3 toward_camera;
uniform bool flat_colour;
uniform vec3 colour;
void main() {
  if (flat_colour) {
    gl_FragColor = vec4(colour, 1.0);
    return;
  }
  vec3 base = textured ? texture2D(skin, v_uv).rgb : vec3(0.78, 0.74, 0.68);
  vec3 n = vec3(-v_normal.x, v_normal.y, v_normal.z);
  float len = length(n);
  float light = len > 1e-6 ? 0.25 + 0.75 * abs(dot(n / len, toward_camera)) : 0.8;
  vec3 lit = base * light;
  gl_FragColor = vec4(lit, 1.0);
}
)";

constexpr int kFloats = sizeof(SkinVertex) / sizeof(float);
static_assert(kFloats == 17);

std::array<float, 3> Transform(const std::array<float, 16>& m, const float* p, float w) {
  return {m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12] * w, m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13] * w,
          m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14] * w};
}

QVector3D Drawn(const std::array<float, 3>& p) { return {-p[0], p[1], p[2]}; }

}  // namespace

std::vector<SkinVertex> SkinVertices(const DressedMesh& dressed) {
  const std::vector<VertexBinding> bindings = VertexBindings(dressed);
  std::vector<SkinVertex> vertices;
  vertices.reserve(bindings.size());
  auto f = [](double v) { return static_cast<float>(v); };
  for (std::size_t k = 0; k < bindings.size(); ++k) {
    const VertexBinding& b = bindings[k];
    const bool blended = b.blend_bone >= 0;
    const Vec3& pb = blended ? b.blend_position : b.position;
    const Vec3& nb = blended ? b.blend_normal : b.normal;
    const auto& uv = k < dressed.mesh.uvs.size() ? dressed.mesh.uvs[k] : std::array<double, 2>{};
    vertices.push_back({f(b.bone),
                        {f(b.position.x), f(b.position.y), f(b.position.z)},
                        {f(b.normal.x), f(b.normal.y), f(b.normal.z)},
                        f(blended ? b.blend_bone : b.bone),
                        {f(pb.x), f(pb.y), f(pb.z)},
                        {f(nb.x), f(nb.y), f(nb.z)},
                        blended ? f(b.blend_weight) : 0.0f,
                        {f(uv[0]), f(uv[1])}});
  }
  return vertices;
}

std::array<float, 3> ShaderPosition(const SkinVertex& v, const std::vector<std::array<float, 16>>& bones) {
  const auto a = Transform(bones[static_cast<std::size_t>(v.bone_a + 0.5f)], v.position_a, 1);
  const auto b = Transform(bones[static_cast<std::size_t>(v.bone_b + 0.5f)], v.position_b, 1);
  const float w = v.weight;
  return {(1 - w) * a[0] + w * b[0], (1 - w) * a[1] + w * b[1], (1 - w) * a[2] + w * b[2]};
}

QMatrix4x4 CharacterRenderer::GameToDrawn() {
  QMatrix4x4 mirror;
  mirror.scale(-1, 1, 1);
  return mirror;
}

CharacterRenderer::~CharacterRenderer() = default;

bool CharacterRenderer::Initialize(QOpenGLFunctions* gl, int bone_count, QString* why) {
  gl_ = gl;
  bone_count_ = std::max(bone_count, 1);
  skin_program_.removeAllShaders();
  line_program_.removeAllShaders();
  const QByteArray vertex = QByteArray("#define BONE_COUNT ") + QByteArray::number(bone_count_) + "\n" + kSkinVertexShader;
  bool ok = skin_program_.addShaderFromSourceCode(QOpenGLShader::Vertex, vertex) &&
            skin_program_.addShaderFromSourceCode(QOpenGLShader::Fragment, kSkinFragmentShader) && skin_program_.link();
  if (ok)
    ok = line_program_.addShaderFromSourceCode(QOpenGLShader::Vertex, kLineVertexShader) &&
         line_program_.addShaderFromSourceCode(QOpenGLShader::Fragment, kLineFragmentShader) && line_program_.link();
  if (!ok && why) {
    const QString log = (skin_program_.log() + line_program_.log()).trimmed();
    *why = QStringLiteral("The character's shaders did not compile for %1 bones: %2").arg(bone_count_).arg(log);
  }
  gl_->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_texture_);
  for (auto& part : parts_) part->uploaded = false;
  return ok;
}

void CharacterRenderer::Release() {
  for (auto& part : parts_) {
    part->vertex_buffer.destroy();
    part->index_buffer.destroy();
    part->edge_buffer.destroy();
    part->texture.reset();
    part->uploaded = false;
  }
}

void CharacterRenderer::Clear() {
  Release();
  parts_.clear();
  matrices_.clear();
  bone_lines_.clear();
  bone_labels_.clear();
  marks_.clear();
}

void CharacterRenderer::SetParts(const CharacterScene& scene) {
  Release();
  parts_.clear();
  for (std::size_t p = 0; p < scene.parts().size(); ++p) {
    const ScenePart& source = scene.parts()[p];
    if (!source.dressed) continue;
    auto part = std::make_unique<Part>();
    part->scene_index = static_cast<int>(p);
    part->vertices = SkinVertices(*source.dressed);
    part->is_model = source.is_model;
    part->shown = source.shown;
    for (const auto& face : source.dressed->mesh.faces)
      for (int k = 0; k < 3; ++k) {
        part->indices.push_back(static_cast<unsigned>(face[static_cast<std::size_t>(k)]));
        part->edges.push_back(static_cast<unsigned>(face[static_cast<std::size_t>(k)]));
        part->edges.push_back(static_cast<unsigned>(face[static_cast<std::size_t>((k + 1) % 3)]));
      }
    part->bitmap_path = source.bitmap;
    // Read afresh each time (the user may have painted it since), through
    // the file layer, which also reads a bitmap inside a game archive.
    part->bitmap = ReadImage(source.bitmap);
    parts_.push_back(std::move(part));
  }
  SetPose(scene);
}

void CharacterRenderer::SetPose(const CharacterScene& scene) {
  matrices_.clear();
  bone_lines_.clear();
  bone_labels_.clear();
  if (!scene.HasRig()) return;
  const Pose& pose = scene.pose();
  const Rig& rig = scene.rig();
  for (const BoneTransform& transform : pose) matrices_.push_back(BoneMatrix(transform));
  for (int bone = 0; bone < rig.size() && bone < static_cast<int>(pose.size()); ++bone) {
    const Vec3& p = pose[static_cast<std::size_t>(bone)].position;
    const QVector3D origin = Drawn({static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
    bone_labels_.push_back({origin, QString::fromStdString(rig.bone_names[static_cast<std::size_t>(bone)])});
    const int parent = rig.parents[static_cast<std::size_t>(bone)];
    if (parent < 0) continue;
    const Vec3& q = pose[static_cast<std::size_t>(parent)].position;
    bone_lines_.insert(bone_lines_.end(), {static_cast<float>(q.x), static_cast<float>(q.y), static_cast<float>(q.z),
                                           static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
  }
}

bool CharacterRenderer::Bounds(QVector3D& low, QVector3D& high) const {
  bool any = false;
  if (matrices_.empty()) return false;
  for (const auto& part : parts_) {
    if (!part->shown) continue;
    for (const SkinVertex& v : part->vertices) {
      if (v.bone_a >= matrices_.size() || v.bone_b >= matrices_.size()) continue;
      const QVector3D p = Drawn(ShaderPosition(v, matrices_));
      low = any ? QVector3D(std::min(low.x(), p.x()), std::min(low.y(), p.y()), std::min(low.z(), p.z())) : p;
      high = any ? QVector3D(std::max(high.x(), p.x()), std::max(high.y(), p.y()), std::max(high.z(), p.z())) : p;
      any = true;
    }
  }
  return any;
}

int CharacterRenderer::TriangleCount() const {
  int count = 0;
  for (const auto& part : parts_)
    if (part->shown) count += static_cast<int>(part->indices.size() / 3);
  return count;
}

void CharacterRenderer::Upload(Part& part) {
  part.uploaded = true;
  if (!part.vertex_buffer.isCreated()) part.vertex_buffer.create();
  if (!part.index_buffer.isCreated()) part.index_buffer.create();
  if (!part.edge_buffer.isCreated()) part.edge_buffer.create();
  part.vertex_buffer.bind();
  part.vertex_buffer.allocate(part.vertices.data(), static_cast<int>(part.vertices.size() * sizeof(SkinVertex)));
  part.vertex_buffer.release();
  part.index_buffer.bind();
  part.index_buffer.allocate(part.indices.data(), static_cast<int>(part.indices.size() * sizeof(unsigned)));
  part.index_buffer.release();
  part.edge_buffer.bind();
  part.edge_buffer.allocate(part.edges.data(), static_cast<int>(part.edges.size() * sizeof(unsigned)));
  part.edge_buffer.release();
  // The game's files count v from the top.
  part.texture = UploadTexture(part.bitmap, max_texture_, VOrigin::Top, nullptr);
}

void CharacterRenderer::BindAttributes(QOpenGLShaderProgram& program) {
  struct Attribute {
    const char* name;
    int offset, size;
  };
  static constexpr Attribute kAttributes[] = {{"bone_a", 0, 1},  {"position_a", 1, 3}, {"normal_a", 4, 3},
                                              {"bone_b", 7, 1},  {"position_b", 8, 3}, {"normal_b", 11, 3},
                                              {"weight", 14, 1}, {"uv", 15, 2}};
  for (const Attribute& a : kAttributes) {
    const int location = program.attributeLocation(a.name);
    if (location < 0) continue;  // optimised away
    program.enableAttributeArray(location);
    program.setAttributeBuffer(location, GL_FLOAT, a.offset * static_cast<int>(sizeof(float)), a.size,
                               kFloats * static_cast<int>(sizeof(float)));
  }
}

void CharacterRenderer::ReleaseAttributes(QOpenGLShaderProgram& program) {
  for (const char* name : {"bone_a", "position_a", "normal_a", "bone_b", "position_b", "normal_b", "weight", "uv"}) {
    const int location = program.attributeLocation(name);
    if (location >= 0) program.disableAttributeArray(location);
  }
}

void CharacterRenderer::Draw(const QMatrix4x4& view_projection, const QVector3D& toward_camera, bool overlay) {
  if (!gl_ || matrices_.empty() || static_cast<int>(matrices_.size()) > bone_count_) return;
  const QMatrix4x4 mvp = view_projection * GameToDrawn();
  gl_->glEnable(GL_DEPTH_TEST);
  skin_program_.bind();
  // The bones, once a frame for every part.
  const int bones = skin_program_.uniformLocation("bones");
  gl_->glUniformMatrix4fv(bones, static_cast<GLsizei>(matrices_.size()), GL_FALSE, matrices_.front().data());
  skin_program_.setUniformValue("mvp", mvp);
  skin_program_.setUniformValue("toward_camera", toward_camera);
  skin_program_.setUniformValue("skin", 0);
  for (auto& part : parts_) {
    if (!part->shown || part->indices.empty()) continue;
    if (!part->uploaded) Upload(*part);
    part->vertex_buffer.bind();
    BindAttributes(skin_program_);
    skin_program_.setUniformValue("textured", part->texture != nullptr);
    skin_program_.setUniformValue("flat_colour", false);
    if (part->texture) part->texture->bind(0);
    gl_->glEnable(GL_POLYGON_OFFSET_FILL);
    gl_->glPolygonOffset(1.0f, 1.0f);  // keeps the wireframe in front of its faces
    part->index_buffer.bind();
    gl_->glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(part->indices.size()), GL_UNSIGNED_INT, nullptr);
    part->index_buffer.release();
    gl_->glDisable(GL_POLYGON_OFFSET_FILL);
    if (part->texture) part->texture->release();
    if (overlay && part->is_model) {
      skin_program_.setUniformValue("flat_colour", true);
      skin_program_.setUniformValue("colour", QVector3D(0.15f, 0.16f, 0.2f));
      part->edge_buffer.bind();
      gl_->glDrawElements(GL_LINES, static_cast<GLsizei>(part->edges.size()), GL_UNSIGNED_INT, nullptr);
      part->edge_buffer.release();
    }
    ReleaseAttributes(skin_program_);
    part->vertex_buffer.release();
  }
  skin_program_.release();
  gl_->glDisable(GL_DEPTH_TEST);  // bones and marks show through the skin
  if (overlay) DrawLines(*gl_, line_program_, bone_lines_, mvp, QVector3D(1.0f, 0.75f, 0.2f));
  if (!marks_.empty()) {
    std::vector<float> crosses;
    constexpr float r = 0.025f;
    for (const auto& p : marks_)
      for (int axis = 0; axis < 3; ++axis) {
        std::array<float, 3> a = p, b = p;
        a[static_cast<std::size_t>(axis)] -= r;
        b[static_cast<std::size_t>(axis)] += r;
        crosses.insert(crosses.end(), {a[0], a[1], a[2], b[0], b[1], b[2]});
      }
    DrawLines(*gl_, line_program_, crosses, mvp, QVector3D(1.0f, 0.15f, 0.75f));
  }
  if (highlight_)
    for (const auto& part : parts_) {
      const std::size_t face = static_cast<std::size_t>((*highlight_)[1]);
      if (part->scene_index != (*highlight_)[0] || !part->shown || (*highlight_)[1] < 0 ||
          3 * face + 2 >= part->indices.size())
        continue;
      std::array<QVector3D, 3> corners;
      bool placed = true;
      for (std::size_t k = 0; k < 3; ++k) {
        const std::size_t v = part->indices[3 * face + k];
        placed = placed && v < part->vertices.size() && part->vertices[v].bone_a < matrices_.size() &&
                 part->vertices[v].bone_b < matrices_.size();
        if (!placed) break;
        const auto p = ShaderPosition(part->vertices[v], matrices_);
        corners[k] = QVector3D(p[0], p[1], p[2]);
      }
      if (placed) DrawHighlight(*gl_, line_program_, corners, mvp);
    }
}

std::optional<std::vector<std::vector<std::array<float, 3>>>> CharacterRenderer::CaptureSkinned() {
  QOpenGLContext* context = QOpenGLContext::currentContext();
  if (!gl_ || !context || context->isOpenGLES() || context->format().majorVersion() < 3 || matrices_.empty())
    return std::nullopt;
  QOpenGLExtraFunctions* gl = context->extraFunctions();
  // The same shaders, linked to hand back each vertex's skinned place.
  QOpenGLShaderProgram capture;
  const QByteArray vertex = QByteArray("#define BONE_COUNT ") + QByteArray::number(bone_count_) + "\n" + kSkinVertexShader;
  if (!capture.addShaderFromSourceCode(QOpenGLShader::Vertex, vertex) ||
      !capture.addShaderFromSourceCode(QOpenGLShader::Fragment, kSkinFragmentShader))
    return std::nullopt;
  const char* varyings[] = {"v_world"};
  gl->glTransformFeedbackVaryings(capture.programId(), 1, varyings, GL_INTERLEAVED_ATTRIBS);
  if (!capture.link()) return std::nullopt;
  capture.bind();
  gl->glUniformMatrix4fv(capture.uniformLocation("bones"), static_cast<GLsizei>(matrices_.size()), GL_FALSE,
                         matrices_.front().data());
  capture.setUniformValue("mvp", QMatrix4x4());
  gl->glEnable(GL_RASTERIZER_DISCARD);
  std::vector<std::vector<std::array<float, 3>>> result;
  for (auto& part : parts_) {
    auto& out = result.emplace_back();
    if (!part->shown || part->vertices.empty()) continue;
    if (!part->uploaded) Upload(*part);
    QOpenGLBuffer feedback(QOpenGLBuffer::VertexBuffer);
    feedback.create();
    feedback.bind();
    feedback.allocate(static_cast<int>(part->vertices.size() * 3 * sizeof(float)));
    feedback.release();
    gl->glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, feedback.bufferId());
    part->vertex_buffer.bind();
    BindAttributes(capture);
    gl->glBeginTransformFeedback(GL_POINTS);
    gl->glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(part->vertices.size()));
    gl->glEndTransformFeedback();
    ReleaseAttributes(capture);
    part->vertex_buffer.release();
    gl->glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, 0);
    gl->glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, feedback.bufferId());
    const auto bytes = static_cast<GLsizeiptr>(part->vertices.size() * 3 * sizeof(float));
    if (const void* data = gl->glMapBufferRange(GL_TRANSFORM_FEEDBACK_BUFFER, 0, bytes, GL_MAP_READ_BIT)) {
      out.resize(part->vertices.size());
      std::memcpy(out.data(), data, static_cast<std::size_t>(bytes));
      gl->glUnmapBuffer(GL_TRANSFORM_FEEDBACK_BUFFER);
    }
    gl->glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, 0);
    feedback.destroy();
  }
  gl->glDisable(GL_RASTERIZER_DISCARD);
  capture.release();
  return result;
}

}  // namespace mervane
