#pragma once

#include <QImage>
#include <QMatrix4x4>
#include <QString>
#include <QVector3D>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "formats/formats.h"
#include "model/model.h"
#include "model/world.h"
#include "shell/character_renderer.h"
#include "shell/orbit_camera.h"

class QLabel;
class QStackedLayout;

namespace mervane {

// What an OpenGL context offers the preview, found before any of it is used.
struct GlReport {
  // The platform's name when it cannot show an OpenGL view inside a window
  // (Qt's offscreen one, say), however well it makes contexts.
  QString no_views_on;
  bool context = false;        // a context was created and made current
  int major = 0, minor = 0;    // OpenGL version
  QString version;             // as the driver spells it, e.g. "1.1"
  int glsl_major = 0, glsl_minor = 0;  // shading language; 0.0 when none
  bool functions = false;      // shaders, buffers and textures can be called
  int max_texture_size = 0;    // GL_MAX_TEXTURE_SIZE
};

// Asks the platform that will draw the window whether it shows OpenGL
// views at all, then makes a context of the kind the preview would get and
// reports on it.
GlReport ProbeOpenGL();

// Why the preview cannot draw with that OpenGL, in words a user can act on;
// empty when it can.
QString PreviewProblem(const GlReport& gl);

// The same for a shader the driver refused (its log) and for a context lost
// while drawing.
QString ShaderProblem(const QString& log);
QString LostContextProblem();

// The line under the picture when the texture (width x height) exceeds the
// driver's limit and is shown reduced.
QString TextureReducedNote(QSize size, int limit);

class PreviewCanvas;

// The loaded model drawn in the same world space as the project's .obj, so
// that a user sees at once whether a skin, project or part came in right.
// Where OpenGL cannot draw it, the area says why instead; the rest of the
// window never depends on it.
class PreviewWidget : public QWidget {
  Q_OBJECT

 public:
  using View = OrbitCamera::View;
  static constexpr const char* kHint = "File > Open a .skn, .bmf or .spj, or drop one here";

  explicit PreviewWidget(QWidget* parent = nullptr);
  ~PreviewWidget() override;

  // Shows the model, framed; its texture is TextureName.bmp in folder
  // (empty, or ending in its separator), found without regard to case.
  // Gives the bitmap's path, or empty when it is not there. Without frame
  // the camera stays where it is (the model's file was saved again).
  std::string ShowModel(SkinModel& model, const std::string& folder, bool frame = true);
  // Back to the empty view with its hint.
  void Clear();
  // The hint the empty view shows; an empty text brings back kHint.
  void SetHint(const QString& hint);
  QString Hint() const { return hint_; }
  // Draws the model with the image, whatever the model's texture name; the
  // next ShowModel goes back to the model's own bitmap. A null image changes
  // nothing and gives false.
  bool ShowTexture(QImage image);
  bool HasModel() const { return !indices_.empty() || !bone_lines_.empty(); }
  int TriangleCount() const { return static_cast<int>(indices_.size() / 3); }
  bool HasTexture() const { return !texture_image_.isNull(); }
  // The texture as drawn (reduced when the driver's limit asks for it).
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
  // The game pose draws the character as above; the modelling pose draws
  // the model alone, as the project's .obj holds it. A corner of the view
  // says which is drawn (PoseCaption), so that a screenshot tells.
  void SetPose(ViewPose pose);
  ViewPose pose() const { return pose_; }
  QString PoseCaption() const;
  // The model's vertices as drawn alone, indexed like the model's (those
  // of no bone at the origin).
  std::vector<std::array<float, 3>> ModelVertices() const;
  CharacterRenderer& character_renderer() { return character_renderer_; }
  // Draws, then reads back where the vertex shader placed the shown parts'
  // vertices (see CharacterRenderer::CaptureSkinned); nullopt without a
  // context that can.
  std::optional<std::vector<std::vector<std::array<float, 3>>>> CaptureSkinned();

  // A face of what the preview draws: a face of one of the scene's parts
  // (its index in the scene's parts) in the character view, or of the
  // model drawn alone (part kModelAlone), numbered as in its file.
  struct DrawnFace {
    int part = kModelAlone;
    int face = -1;
    bool operator==(const DrawnFace&) const = default;
  };
  static constexpr int kModelAlone = -1;
  // The face drawn nearest the camera under pos (pixels from the view's top
  // left), at the pose shown; none over the background.
  std::optional<DrawnFace> FaceAt(QPointF pos) const;
  // Picks out a face (the one hovered here or in the UV layout); none
  // clears it.
  void HighlightFace(std::optional<DrawnFace> face);
  std::optional<DrawnFace> HighlightedFace() const { return highlight_; }

  // Why the preview is not drawing, or empty when it draws.
  QString Problem() const { return problem_; }
  // A line under the picture (a reduced texture), or empty.
  QString Note() const { return note_text_; }
  const GlReport& OpenGL() const { return gl_; }
  // What the area shows now, drawn off screen.
  QImage Grab();

  void SetOverlay(bool on);  // wireframe and bones
  bool Overlay() const { return overlay_; }
  void FrameAll();
  void SetView(View view);
  // The camera, told the view's size as it is now.
  const OrbitCamera& Camera() const;
  // The bone whose origin is nearest pos on screen, within a few pixels,
  // while bones are drawn; empty otherwise.
  QString BoneAt(const QPoint& pos) const;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;
  void leaveEvent(QEvent* event) override;

 signals:
  // The face under the cursor changed as the mouse moved over the view
  // without a button, or left it.
  void FaceHovered(std::optional<PreviewWidget::DrawnFace> face);

 private:
  friend class PreviewCanvas;


  // Repaints the OpenGL view, when there is one.
  void Repaint();
  QSize ViewSize() const;
  OrbitCamera& Camera();
  void SetTextureImage(QImage image);
  // The canvas gave up: the area shows why from now on.
  void SetProblem(const QString& problem);
  void SetNote(const QString& note);
  // The message page when there is nothing to draw or drawing failed.
  void ShowPage();
  void Changed();

  // What is drawn, kept on the CPU until the context takes it; version_
  // counts the changes, so that a new context uploads them again.
  std::vector<float> vertices_;  // position 3, normal 3, uv 2
  std::vector<unsigned> indices_;
  WorldMesh world_;  // the model's places, for picking and the highlight
  std::vector<float> wire_lines_;  // pairs of positions
  std::vector<float> bone_lines_;
  QImage texture_image_;
  int version_ = 0;
  QString hint_ = kHint;
  QString problem_;
  QString note_text_;

  QVector3D bounds_min_, bounds_max_;  // the model's; the character has its own
  mutable OrbitCamera camera_;
  bool overlay_ = true;
  QPoint last_mouse_;
  std::optional<DrawnFace> highlight_;

  GlReport gl_;
  QStackedLayout* pages_ = nullptr;
  QLabel* message_ = nullptr;
  QLabel* note_ = nullptr;
  PreviewCanvas* canvas_ = nullptr;  // only where OpenGL will do
  QLabel* caption_ = nullptr;        // the pose drawn, over the canvas
  ViewPose pose_ = ViewPose::Game;

  const CharacterScene* character_ = nullptr;
  // Its parts and pose are kept here; its OpenGL objects live in the
  // canvas's context.
  CharacterRenderer character_renderer_;
};

}  // namespace mervane
