#pragma once

#include <QImage>
#include <QMatrix4x4>
#include <QOpenGLBuffer>
#include <QOpenGLShaderProgram>
#include <QOpenGLTexture>
#include <QString>
#include <QVector3D>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pose/pose.h"
#include "scene/character_scene.h"

class QOpenGLFunctions;

namespace mervane {

// One vertex as the skinning shader takes it: its bone and place in that
// bone's space, and the blend pulling it (the same bone and place with
// weight 0 when none), then its texture coordinates as the file has them.
struct SkinVertex {
  float bone_a;
  float position_a[3], normal_a[3];
  float bone_b;
  float position_b[3], normal_b[3];
  float weight;
  float uv[2];
};

// The vertices of a dressed mesh for the shader, one per bound vertex.
std::vector<SkinVertex> SkinVertices(const DressedMesh& mesh);

// What the shader computes for one vertex, on the CPU: (1 - w) * (Ma * va)
// + w * (Mb * vb), with the matrices as uploaded (BoneMatrix of the pose).
std::array<float, 3> ShaderPosition(const SkinVertex& vertex, const std::vector<std::array<float, 16>>& bones);

// Draws a character's shown parts skinned on its skeleton in the vertex
// shader, in the game's axes (the view turns them right-handed, as the
// .obj files are). Lives in one GL context: every call but the CPU-side
// Set... needs it current.
class CharacterRenderer {
 public:
  ~CharacterRenderer();

  // Compiles the shaders for bone_count bones; false with why otherwise.
  bool Initialize(QOpenGLFunctions* gl, int bone_count, QString* why);
  int bone_count() const { return bone_count_; }
  // Frees the GL objects; needs the context current.
  void Release();
  // Forgets parts and pose (and frees, like Release).
  void Clear();

  // Takes the scene's parts, bitmaps and skeleton (uploaded at the next Draw).
  void SetParts(const CharacterScene& scene);
  // The bone matrices and bone lines of a pose; uploaded once at Draw.
  void SetPose(const CharacterScene& scene);
  // Crosses at the seams' gaps (game axes); none to clear.
  void SetMarks(std::vector<std::array<float, 3>> points) { marks_ = std::move(points); }

  // The face picked out: face of the scene's part (its index in the
  // scene's parts), drawn at the pose; none clears it. Kept across SetParts
  // while that part still has the face.
  void SetHighlight(std::optional<std::array<int, 2>> part_face) { highlight_ = part_face; }

  bool HasParts() const { return !parts_.empty(); }
  // The shown parts' bounds at the pose set, in the drawn (right-handed) axes.
  bool Bounds(QVector3D& low, QVector3D& high) const;
  // The bones' origins in drawn axes with their names, for hovering.
  struct BoneLabel {
    QVector3D origin;
    QString name;
  };
  const std::vector<BoneLabel>& bone_labels() const { return bone_labels_; }
  int TriangleCount() const;

  // view_projection maps drawn axes to the screen.
  void Draw(const QMatrix4x4& view_projection, const QVector3D& toward_camera, bool overlay);

  // The shown parts' vertices as the vertex shader places them, read back
  // from the GPU (transform feedback), in the game's axes: one list per
  // dressed part in the scene's order, empty for a hidden part; nullopt
  // where the context cannot (before OpenGL 3).
  std::optional<std::vector<std::vector<std::array<float, 3>>>> CaptureSkinned();

  // The matrices uploaded at the last Draw (or to be uploaded).
  const std::vector<std::array<float, 16>>& bone_matrices() const { return matrices_; }

  // The mirror that turns the game's left-handed axes into the drawn ones.
  static QMatrix4x4 GameToDrawn();

 private:
  struct Part {
    std::vector<SkinVertex> vertices;
    std::vector<unsigned> indices, edges;
    QImage bitmap;
    int scene_index = 0;  // in the scene's parts
    bool is_model = false;
    bool shown = true;
    std::string bitmap_path;
    // On the GPU
    QOpenGLBuffer vertex_buffer{QOpenGLBuffer::VertexBuffer};
    QOpenGLBuffer index_buffer{QOpenGLBuffer::IndexBuffer};
    QOpenGLBuffer edge_buffer{QOpenGLBuffer::IndexBuffer};
    std::unique_ptr<QOpenGLTexture> texture;
    bool uploaded = false;
  };
  void Upload(Part& part);
  void BindAttributes(QOpenGLShaderProgram& program);
  void ReleaseAttributes(QOpenGLShaderProgram& program);

  QOpenGLFunctions* gl_ = nullptr;
  int bone_count_ = 0;
  int max_texture_ = 0;
  QOpenGLShaderProgram skin_program_, line_program_;
  std::vector<std::unique_ptr<Part>> parts_;
  std::vector<std::array<float, 16>> matrices_;
  std::vector<float> bone_lines_;
  std::vector<BoneLabel> bone_labels_;
  std::vector<std::array<float, 3>> marks_;
  std::optional<std::array<int, 2>> highlight_;
};

}  // namespace mervane
