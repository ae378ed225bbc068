#pragma once

#include <QOpenGLBuffer>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLTexture>
#include <QOpenGLWidget>
#include <QMatrix4x4>
#include <QVector3D>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/model.h"
#include "shell/character_renderer.h"

namespace mervane {

// The loaded model drawn in the same world space as the project's .obj, so
// that a user sees at once whether a skin, project or part came in right.
class PreviewWidget : public QOpenGLWidget, protected QOpenGLFunctions {
  Q_OBJECT

 public:
  enum class View { Front, Side, Top };
  static constexpr const char* kHint = "File > Open a .skn or .spj, or drop one here";

  explicit PreviewWidget(QWidget* parent = nullptr);
  ~PreviewWidget() override;

  // Shows the model, framed; its texture is TextureName.bmp in folder
  // (empty, or ending in its separator).
  void ShowModel(SkinModel& model, const std::string& folder);
  // Back to the empty view with its hint.
  void Clear();
  // The hint the empty view shows; an empty text brings back kHint.
  void SetHint(const QString& hint);
  QString Hint() const { return hint_; }
  // Draws the model with the image at path, whatever the model's texture
  // name; the next ShowModel goes back to the model's own bitmap. False
  // (and no change) when the file is not an image Qt reads.
  bool ShowTexture(const std::string& path);
  bool HasModel() const { return !indices_.empty() || !bone_lines_.empty(); }
  int TriangleCount() const { return static_cast<int>(indices_.size() / 3); }
  bool HasTexture() const { return !texture_image_.isNull(); }
  const QImage& Texture() const { return texture_image_; }

  // The character view: while scene has a skeleton and a part it can
  // dress, the preview draws the scene's shown parts skinned at its pose
  // instead of the model alone. nullptr turns it off.
  void SetCharacter(const CharacterScene* scene);
  // The scene's parts, bitmaps or skeleton changed; frames when reframe.
  void CharacterChanged(bool reframe);
  // Only the pose changed; seam gaps are marked when seams is set.
  void CharacterPosed(std::optional<float> seams);
  bool DrawsCharacter() const;
  CharacterRenderer& character_renderer() { return character_renderer_; }

  void SetOverlay(bool on);  // wireframe and bones
  bool Overlay() const { return overlay_; }
  void FrameAll();
  void SetView(View view);

 protected:
  void initializeGL() override;
  void resizeGL(int w, int h) override;
  void paintGL() override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;

 private:
  // The character's part of paintGL; false when it has nothing to draw.
  bool PaintCharacter(const QMatrix4x4& view_projection);
  // The bone whose origin is nearest pos on screen, within a few pixels.
  QString BoneAt(const QPoint& pos) const;
  QMatrix4x4 ViewMatrix() const;
  QMatrix4x4 ProjectionMatrix() const;
  QVector3D CameraRight() const;
  QVector3D CameraUp() const;
  QVector3D CameraForward() const;
  void Upload();
  // Lines from a buffer on the GPU when given, else from lines in memory.
  void DrawLines(const std::vector<float>& lines, QOpenGLBuffer* buffer, const QMatrix4x4& mvp,
                 const QVector3D& color);

  // What is drawn, kept on the CPU until the context takes it.
  std::vector<float> vertices_;  // position 3, normal 3, uv 2
  std::vector<unsigned> indices_;
  std::vector<float> wire_lines_;  // pairs of positions
  std::vector<float> bone_lines_;
  QImage texture_image_;
  bool dirty_ = false;
  QString hint_ = kHint;

  QVector3D bounds_min_, bounds_max_;
  QVector3D target_;
  float distance_ = 5.0f, yaw_ = 0.0f, pitch_ = 0.0f;
  bool overlay_ = true;
  QPoint last_mouse_;

  bool gl_ready_ = false;
  QOpenGLShaderProgram mesh_program_, line_program_;
  QOpenGLBuffer vertex_buffer_{QOpenGLBuffer::VertexBuffer};
  QOpenGLBuffer index_buffer_{QOpenGLBuffer::IndexBuffer};
  QOpenGLBuffer wire_buffer_{QOpenGLBuffer::VertexBuffer};
  std::unique_ptr<QOpenGLTexture> texture_;

  const CharacterScene* character_ = nullptr;
  CharacterRenderer character_renderer_;
  bool character_ready_ = false;  // its shaders compiled for the rig's bones
};

}  // namespace mervane
