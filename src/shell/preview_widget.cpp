#include "shell/preview_widget.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLBuffer>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLTexture>
#include <QOpenGLWidget>
#include <QRegularExpression>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformintegration.h>
#include <algorithm>
#include <cmath>
#include <memory>

#include "files/textfile.h"
#include "model/failure.h"
#include "model/world.h"
#include "project/project.h"
#include "shell/gl_drawing.h"
#include "shell/image_reader.h"

namespace mervane {
namespace {

const char* kMeshVertexShader = R"(
attribute vec3 position;
attribute vec3 normal;
attribute vec2 uv;
uniform mat4 mvp;
varying vec3 v_normal;
varying vec2 v_uv;
void main() {
  gl_Position = mvp * vec4(position, 1.0);
  v_normal = normal;
  v_uv = uv;
}
)";

// Two-sided light from the camera, so that a normal pointing either way
// shades; a zero normal gets the flat colour.
const char* kMeshFragmentShader = R"(
varying vec3 v_normal;
varying vec2 v_uv;
uniform sampler2D skin;
uniform bool textured;
uniform vec3 toward_camera;
void main() {
  vec3 base = textured ? texture2D(skin, v_uv).rgb : vec3(0.78, 0.74, 0.68);
  float len = length(v_normal);
  float light = len > 1e-6 ? 0.25 + 0.75 * abs(dot(v_normal / len, toward_camera)) : 0.8;
  gl_FragColor = vec4(base * light, 1.0);
}
)";

const QColor kBackground(58, 62, 70);
const QColor kText(200, 204, 212);
// The oldest OpenGL whose shaders and buffers the preview uses.
constexpr int kNeedMajor = 2, kNeedMinor = 1;
const char* kAdvice = "Install or update the graphics driver. Opening, saving and importing work without it.";

// Not in every gl.h: a context lost to a driver reset reports this error.
constexpr GLenum kContextLost = 0x0507;

QVector3D ToQt(const Vec3& v) {
  return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

void AddLine(std::vector<float>& lines, const QVector3D& a, const QVector3D& b) {
  lines.insert(lines.end(), {a.x(), a.y(), a.z(), b.x(), b.y(), b.z()});
}

// "4.5 (Compatibility Profile) Mesa 22.3.6" or "OpenGL ES 3.2 ..." -> 4, 5.
bool ReadVersion(const GLubyte* text, int& major, int& minor, QString* spelled = nullptr) {
  if (!text) return false;
  const QRegularExpressionMatch match =
      QRegularExpression(QStringLiteral("(\\d+)\\.(\\d+)")).match(QString::fromLatin1(reinterpret_cast<const char*>(text)));
  if (!match.hasMatch()) return false;
  major = match.captured(1).toInt();
  minor = match.captured(2).toInt();
  if (spelled) *spelled = match.captured(0);
  return true;
}

// What the current context offers. Only OpenGL 1.0 calls and the context's
// own look-ups are made here, so that this is safe on any version.
GlReport ReportOn(QOpenGLContext& context) {
  GlReport report;
  report.context = true;
  QOpenGLFunctions* f = context.functions();
  if (!ReadVersion(f->glGetString(GL_VERSION), report.major, report.minor, &report.version)) return report;
  if (report.major < kNeedMajor) return report;  // no shading language to ask about
  ReadVersion(f->glGetString(GL_SHADING_LANGUAGE_VERSION), report.glsl_major, report.glsl_minor);
  report.functions = f->hasOpenGLFeature(QOpenGLFunctions::Shaders) &&
                     f->hasOpenGLFeature(QOpenGLFunctions::Buffers);
  for (const char* name : {"glCreateShader", "glShaderSource", "glCompileShader", "glCreateProgram",
                           "glLinkProgram", "glUseProgram", "glGetAttribLocation", "glUniformMatrix4fv",
                           "glGenBuffers", "glBindBuffer", "glBufferData", "glVertexAttribPointer",
                           "glEnableVertexAttribArray", "glActiveTexture"})
    report.functions = report.functions && context.getProcAddress(name) != nullptr;
  GLint size = 0;
  f->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
  report.max_texture_size = size;
  return report;
}

QString WithAdvice(const QString& what) { return what + QStringLiteral(" ") + kAdvice; }

}  // namespace

GlReport ProbeOpenGL() {
  // QOpenGLWidget draws through the platform's compositing, which some
  // platforms lack even where they make contexts; there it would take the
  // window down, so its own test is asked, not only a context's.
  const QPlatformIntegration* platform = QGuiApplicationPrivate::platformIntegration();
  if (!platform || !platform->hasCapability(QPlatformIntegration::OpenGL)) return {};
  if (!platform->hasCapability(QPlatformIntegration::RhiBasedRendering))
    return GlReport{.no_views_on = QGuiApplication::platformName(), .version = {}};
  QOpenGLContext context;
  context.setFormat(QSurfaceFormat::defaultFormat());
  if (!context.create()) return {};
  QOffscreenSurface surface;
  surface.setFormat(context.format());
  surface.create();
  if (!surface.isValid() || !context.makeCurrent(&surface)) return {};
  GlReport report = ReportOn(context);
  context.doneCurrent();
  return report;
}

QString PreviewProblem(const GlReport& gl) {
  if (!gl.no_views_on.isEmpty())
    return QStringLiteral("The 3D preview cannot be shown on this display (Qt's \"%1\" platform does not show OpenGL "
                          "views in windows). Opening, saving and importing work without it.")
        .arg(gl.no_views_on);
  if (!gl.context)
    return WithAdvice(QStringLiteral("The 3D preview needs OpenGL 2.1 or later; this system gave Mervane no "
                                     "OpenGL drawing context at all."));
  if (gl.major < kNeedMajor || (gl.major == kNeedMajor && gl.minor < kNeedMinor))
    return WithAdvice(QStringLiteral("The 3D preview needs OpenGL 2.1 or later; this system offers %1.")
                          .arg(gl.version.isEmpty() ? QStringLiteral("an unknown version") : gl.version));
  if (gl.glsl_major < 1 || (gl.glsl_major == 1 && gl.glsl_minor < 10))
    return WithAdvice(QStringLiteral("The 3D preview needs the OpenGL shading language 1.10 or later; this "
                                     "system's OpenGL %1 offers %2.")
                          .arg(gl.version, gl.glsl_major == 0 ? QStringLiteral("none")
                                                               : QStringLiteral("%1.%2").arg(gl.glsl_major).arg(gl.glsl_minor)));
  if (!gl.functions)
    return WithAdvice(QStringLiteral("The 3D preview needs OpenGL's shader and buffer functions, which this "
                                     "system's OpenGL %1 does not provide.")
                          .arg(gl.version));
  return {};
}

QString ShaderProblem(const QString& log) {
  QString first = log.trimmed().section(QLatin1Char('\n'), 0, 0).trimmed();
  if (first.isEmpty()) first = QStringLiteral("no reason given");
  return QStringLiteral("The 3D preview cannot draw: this graphics driver refused its shaders (%1). Update the "
                        "graphics driver. Opening, saving and importing work without it.")
      .arg(first);
}

QString LostContextProblem() {
  return QStringLiteral("The 3D preview lost its OpenGL context: the graphics driver was reset or ran out of "
                        "memory. Restart Mervane to see the preview again; opening, saving and importing work "
                        "without it.");
}

QString TextureReducedNote(QSize size, int limit) {
  return QStringLiteral("The texture is %1 × %2 pixels, more than this graphics driver's limit of %3 × %3 "
                        "(GL_MAX_TEXTURE_SIZE); the preview shows it reduced.")
      .arg(size.width())
      .arg(size.height())
      .arg(limit);
}

// The OpenGL view inside the preview. It draws what its owner holds and
// tells the owner when it cannot; every OpenGL resource lives here, so that
// a new context (after a reset or a move to another window) starts afresh.
class PreviewCanvas : public QOpenGLWidget, protected QOpenGLFunctions {
 public:
  explicit PreviewCanvas(PreviewWidget& owner) : QOpenGLWidget(&owner), owner_(owner) {
    setObjectName("PreviewCanvas");
    // The owner handles the mouse and the keys.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
  }
  ~PreviewCanvas() override {
    // The base class deletes the context after this body has run: the slot
    // must not reach these members then.
    disconnect(context_gone_);
    Release();
  }

 protected:
  void initializeGL() override;
  void paintGL() override;

 private:
  void Release();
  void Upload();
  // The owner changes its page after this paint, not inside it.
  void GiveUp(const QString& problem);
  void Note(const QString& note);
  // The character's part of paintGL; false when it has nothing to draw.
  bool PaintCharacter(const QMatrix4x4& view_projection);
  void PaintModel(const QMatrix4x4& mvp);

  friend class PreviewWidget;

  PreviewWidget& owner_;
  bool ready_ = false;
  bool character_ready_ = false;  // its shaders compiled for the rig's bones
  int uploaded_ = -1;  // the owner's version_ on the GPU
  int max_texture_size_ = 0;
  std::unique_ptr<QOpenGLShaderProgram> mesh_program_, line_program_;
  QOpenGLBuffer vertex_buffer_{QOpenGLBuffer::VertexBuffer};
  QOpenGLBuffer index_buffer_{QOpenGLBuffer::IndexBuffer};
  QOpenGLBuffer wire_buffer_{QOpenGLBuffer::VertexBuffer};
  std::unique_ptr<QOpenGLTexture> texture_;
  QMetaObject::Connection context_gone_;
};

void PreviewCanvas::GiveUp(const QString& problem) {
  ready_ = false;
  QMetaObject::invokeMethod(&owner_, [owner = &owner_, problem] { owner->SetProblem(problem); },
                            Qt::QueuedConnection);
}

void PreviewCanvas::Note(const QString& note) {
  QMetaObject::invokeMethod(&owner_, [owner = &owner_, note] { owner->SetNote(note); }, Qt::QueuedConnection);
}

void PreviewCanvas::initializeGL() {
  ready_ = false;
  uploaded_ = -1;
  // The context goes when the driver resets or the window changes; what was
  // made in it goes with it, and the next context makes its own.
  disconnect(context_gone_);
  context_gone_ = connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] { Release(); },
                          Qt::DirectConnection);
  // This context may differ from the probe's: check it before calling
  // anything beyond OpenGL 1.0.
  const GlReport here = ReportOn(*context());
  if (const QString problem = PreviewProblem(here); !problem.isEmpty()) return GiveUp(problem);
  initializeOpenGLFunctions();
  max_texture_size_ = here.max_texture_size;
  mesh_program_ = std::make_unique<QOpenGLShaderProgram>();
  line_program_ = std::make_unique<QOpenGLShaderProgram>();
  for (auto [program, vertex, fragment] : {std::tuple{mesh_program_.get(), kMeshVertexShader, kMeshFragmentShader},
                                           std::tuple{line_program_.get(), kLineVertexShader, kLineFragmentShader}}) {
    if (!program->addShaderFromSourceCode(QOpenGLShader::Vertex, vertex) ||
        !program->addShaderFromSourceCode(QOpenGLShader::Fragment, fragment) || !program->link())
      return GiveUp(ShaderProblem(program->log()));
  }
  if (!vertex_buffer_.create() || !index_buffer_.create() || !wire_buffer_.create())
    return GiveUp(LostContextProblem());
  ready_ = true;
}

void PreviewCanvas::Release() {
  if (!context()) return;  // never initialised
  makeCurrent();
  owner_.character_renderer_.Release();
  character_ready_ = false;
  texture_.reset();
  mesh_program_.reset();
  line_program_.reset();
  vertex_buffer_.destroy();
  index_buffer_.destroy();
  wire_buffer_.destroy();
  doneCurrent();
  ready_ = false;
  uploaded_ = -1;
}

void PreviewCanvas::Upload() {
  uploaded_ = owner_.version_;
  vertex_buffer_.bind();
  vertex_buffer_.allocate(owner_.vertices_.data(), static_cast<int>(owner_.vertices_.size() * sizeof(float)));
  vertex_buffer_.release();
  index_buffer_.bind();
  index_buffer_.allocate(owner_.indices_.data(), static_cast<int>(owner_.indices_.size() * sizeof(unsigned)));
  index_buffer_.release();
  wire_buffer_.bind();
  wire_buffer_.allocate(owner_.wire_lines_.data(), static_cast<int>(owner_.wire_lines_.size() * sizeof(float)));
  wire_buffer_.release();
  // The preview's v counts from the bottom, as the project's .obj has it.
  // The owner reduced the image for the probe's limit; this context's may
  // be smaller still.
  QString note;
  texture_ = UploadTexture(owner_.texture_image_, max_texture_size_, VOrigin::Bottom, &note);
  if (!note.isEmpty()) Note(note);
}

void PreviewCanvas::paintGL() {
  if (!ready_) return;
  if (!context()->isValid()) return GiveUp(LostContextProblem());
  glClearColor(kBackground.redF(), kBackground.greenF(), kBackground.blueF(), 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  const QMatrix4x4 mvp = owner_.Camera().ProjectionMatrix() * owner_.Camera().ViewMatrix();
  if (PaintCharacter(mvp)) {
    // The model alone is not drawn under the character.
  } else if (owner_.HasModel()) {
    PaintModel(mvp);
  }
  glDisable(GL_DEPTH_TEST);
  // A driver that lost the context or its memory while drawing says so
  // here; the picture would stay black.
  for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError()) {
    if (error == kContextLost || error == GL_OUT_OF_MEMORY) return GiveUp(LostContextProblem());
  }
}

bool PreviewCanvas::PaintCharacter(const QMatrix4x4& view_projection) {
  if (!owner_.DrawsCharacter()) return false;
  CharacterRenderer& renderer = owner_.character_renderer_;
  const int bones = owner_.character_->rig().size();
  if (!character_ready_ || renderer.bone_count() != bones) {
    QString why;
    character_ready_ = renderer.Initialize(this, bones, &why);
    if (!character_ready_) {
      GiveUp(ShaderProblem(why));
      return false;
    }
  }
  renderer.Draw(view_projection, -owner_.Camera().Forward(), owner_.overlay_);
  return true;
}

void PreviewCanvas::PaintModel(const QMatrix4x4& mvp) {
  if (uploaded_ != owner_.version_) Upload();
  glEnable(GL_DEPTH_TEST);
  if (!owner_.indices_.empty()) {
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(1.0f, 1.0f);  // keeps the wireframe in front of its faces
    QOpenGLShaderProgram& program = *mesh_program_;
    program.bind();
    program.setUniformValue("mvp", mvp);
    program.setUniformValue("toward_camera", -owner_.Camera().Forward());
    program.setUniformValue("textured", texture_ != nullptr);
    program.setUniformValue("skin", 0);
    if (texture_) texture_->bind(0);
    vertex_buffer_.bind();
    index_buffer_.bind();
    const int stride = 8 * sizeof(float);
    const int position = program.attributeLocation("position");
    const int normal = program.attributeLocation("normal");
    const int uv = program.attributeLocation("uv");
    program.enableAttributeArray(position);
    program.setAttributeBuffer(position, GL_FLOAT, 0, 3, stride);
    if (normal >= 0) {
      program.enableAttributeArray(normal);
      program.setAttributeBuffer(normal, GL_FLOAT, 3 * sizeof(float), 3, stride);
    }
    if (uv >= 0) {
      program.enableAttributeArray(uv);
      program.setAttributeBuffer(uv, GL_FLOAT, 6 * sizeof(float), 2, stride);
    }
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(owner_.indices_.size()), GL_UNSIGNED_INT, nullptr);
    program.disableAttributeArray(position);
    if (normal >= 0) program.disableAttributeArray(normal);
    if (uv >= 0) program.disableAttributeArray(uv);
    index_buffer_.release();
    vertex_buffer_.release();
    if (texture_) texture_->release();
    program.release();
    glDisable(GL_POLYGON_OFFSET_FILL);
  }
  if (owner_.overlay_) {
    DrawLines(*this, *line_program_, owner_.wire_lines_, mvp, QVector3D(0.15f, 0.16f, 0.2f), &wire_buffer_);
    glDisable(GL_DEPTH_TEST);  // bones show through the skin
    DrawLines(*this, *line_program_, owner_.bone_lines_, mvp, QVector3D(1.0f, 0.75f, 0.2f));
  }
  if (const auto& lit = owner_.highlight_; lit && lit->part == PreviewWidget::kModelAlone) {
    const WorldMesh& world = owner_.world_;
    const auto drawn = std::find(world.faces.begin(), world.faces.end(), lit->face);
    if (drawn != world.faces.end()) {
      const auto& triangle = world.triangles[static_cast<std::size_t>(drawn - world.faces.begin())];
      DrawHighlight(*this, *line_program_,
                    {ToQt(world.positions[static_cast<std::size_t>(triangle[0])]),
                     ToQt(world.positions[static_cast<std::size_t>(triangle[1])]),
                     ToQt(world.positions[static_cast<std::size_t>(triangle[2])])},
                    mvp);
    }
  }
}

PreviewWidget::PreviewWidget(QWidget* parent) : QWidget(parent) {
  setObjectName("Preview");
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(200, 200);
  setMouseTracking(true);  // the face under the cursor is picked out
  QPalette colours = palette();
  colours.setColor(QPalette::Window, kBackground);
  colours.setColor(QPalette::WindowText, kText);
  setPalette(colours);
  setAutoFillBackground(true);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* pages_host = new QWidget(this);
  // Moves without a button reach a widget only while it tracks the mouse:
  // the host passes them on to this widget (the canvas lets them through).
  pages_host->setMouseTracking(true);
  pages_ = new QStackedLayout(pages_host);
  message_ = new QLabel(pages_host);
  message_->setObjectName("PreviewMessage");
  message_->setAlignment(Qt::AlignCenter);
  message_->setWordWrap(true);
  message_->setMargin(24);
  message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  pages_->addWidget(message_);
  note_ = new QLabel(this);
  note_->setObjectName("PreviewNote");
  note_->setWordWrap(true);
  note_->setMargin(6);
  note_->hide();
  column->addWidget(pages_host, 1);
  column->addWidget(note_);

  // A window holding an OpenGL view needs OpenGL to show at all, so the
  // view is made only where the probe found what it needs.
  gl_ = ProbeOpenGL();
  problem_ = PreviewProblem(gl_);
  if (problem_.isEmpty()) {
    canvas_ = new PreviewCanvas(*this);
    pages_->addWidget(canvas_);
    // On the canvas, not in the picture: Grab() and the pixel tests see the
    // model only, a screenshot of the window the caption too.
    caption_ = new QLabel(canvas_);
    caption_->setObjectName("PreviewPose");
    caption_->setAttribute(Qt::WA_TransparentForMouseEvents);
    caption_->setStyleSheet(QStringLiteral("QLabel { color: rgb(%1, %2, %3); background: rgba(0, 0, 0, 110); "
                                           "padding: 3px 6px; }")
                                .arg(kText.red())
                                .arg(kText.green())
                                .arg(kText.blue()));
    caption_->move(8, 8);
  } else {
    qWarning("Mervane: %s", qUtf8Printable(problem_));
  }
  ShowPage();
}

PreviewWidget::~PreviewWidget() {
  // The canvas frees the character's OpenGL objects in its context, before
  // the renderer that holds them goes with this widget's members.
  delete canvas_;
}

void PreviewWidget::ShowPage() {
  message_->setText(problem_.isEmpty() ? hint_ : problem_);
  const bool draw = canvas_ && problem_.isEmpty() && (HasModel() || DrawsCharacter());
  pages_->setCurrentWidget(draw ? static_cast<QWidget*>(canvas_) : message_);
  if (caption_) {
    caption_->setText(PoseCaption());
    caption_->adjustSize();
    caption_->setVisible(draw);
  }
  note_->setText(note_text_);
  note_->setVisible(!note_text_.isEmpty() && draw);
}

void PreviewWidget::Changed() {
  ++version_;
  ShowPage();
  Repaint();
}

void PreviewWidget::CharacterChanged(bool reframe) {
  const bool was = DrawsCharacter();
  // The old parts' buffers belong to the canvas's context.
  const bool current = canvas_ && canvas_->context();
  if (current) canvas_->makeCurrent();
  if (character_)
    character_renderer_.SetParts(*character_);
  else
    character_renderer_.Clear();
  if (current) canvas_->doneCurrent();
  if (canvas_) canvas_->character_ready_ = false;  // the rig may have another number of bones
  ShowPage();
  if (reframe || was != DrawsCharacter())
    SetView(View::Front);
  else
    Repaint();
}

std::optional<std::vector<std::vector<std::array<float, 3>>>> PreviewWidget::CaptureSkinned() {
  if (!canvas_ || !problem_.isEmpty()) return std::nullopt;
  canvas_->grabFramebuffer();  // uploads the parts and pose
  canvas_->makeCurrent();
  auto captured = character_renderer_.CaptureSkinned();
  canvas_->doneCurrent();
  return captured;
}

void PreviewWidget::Repaint() {
  if (canvas_) canvas_->update();
}

void PreviewWidget::SetProblem(const QString& problem) {
  if (problem_ == problem) return;
  problem_ = problem;
  qWarning("Mervane: %s", qUtf8Printable(problem_));
  ShowPage();
}

void PreviewWidget::SetNote(const QString& note) {
  note_text_ = note;
  ShowPage();
}

QImage PreviewWidget::Grab() {
  if (canvas_ && pages_->currentWidget() == canvas_) return canvas_->grabFramebuffer();
  return grab().toImage();
}

std::string PreviewWidget::ShowModel(SkinModel& model, const std::string& folder, bool frame) {
  Clear();
  WorldMesh mesh;
  try {
    mesh = BuildWorldMesh(model);
  } catch (const Failure&) {
    return {};  // a model the writer could not place either: nothing to show
  }
  bool any = false;
  auto grow = [&](const QVector3D& p) {
    bounds_min_ = any ? QVector3D(std::min(bounds_min_.x(), p.x()), std::min(bounds_min_.y(), p.y()),
                                  std::min(bounds_min_.z(), p.z()))
                      : p;
    bounds_max_ = any ? QVector3D(std::max(bounds_max_.x(), p.x()), std::max(bounds_max_.y(), p.y()),
                                  std::max(bounds_max_.z(), p.z()))
                      : p;
    any = true;
  };
  const std::size_t count = mesh.positions.size();
  vertices_.reserve(count * 8);
  for (std::size_t k = 0; k < count; ++k) {
    const QVector3D p = ToQt(mesh.positions[k]), n = ToQt(mesh.normals[k]);
    vertices_.insert(vertices_.end(), {p.x(), p.y(), p.z(), n.x(), n.y(), n.z(), mesh.uvs[k][0], mesh.uvs[k][1]});
    if (mesh.placed[k]) grow(p);
  }
  indices_.reserve(mesh.triangles.size() * 3);
  wire_lines_.reserve(mesh.triangles.size() * 18);
  for (const auto& t : mesh.triangles) {
    for (int k = 0; k < 3; ++k) indices_.push_back(static_cast<unsigned>(t[k]));
    for (int k = 0; k < 3; ++k) AddLine(wire_lines_, ToQt(mesh.positions[t[k]]), ToQt(mesh.positions[t[(k + 1) % 3]]));
  }
  world_ = std::move(mesh);
  for (const BoneMarker& bone : BuildBoneMarkers(model)) {
    const QVector3D o = ToQt(bone.origin);
    constexpr float r = 0.04f;
    AddLine(bone_lines_, o - QVector3D(r, 0, 0), o + QVector3D(r, 0, 0));
    AddLine(bone_lines_, o - QVector3D(0, r, 0), o + QVector3D(0, r, 0));
    AddLine(bone_lines_, o - QVector3D(0, 0, r), o + QVector3D(0, 0, r));
    if (bone.parent_origin) AddLine(bone_lines_, o, ToQt(*bone.parent_origin));
    grow(o);
  }
  // Read from disk every time: the user may have painted the bitmap since.
  std::string path;
  if (const std::string texture = FindProjectTexture(model, FolderFiles(folder)); !texture.empty()) {
    path = folder + texture;  // folder ends in its separator
    SetTextureImage(ReadImage(path));
  }
  Changed();
  if (frame) SetView(View::Front);
  return path;
}

void PreviewWidget::Clear() {
  vertices_.clear();
  indices_.clear();
  wire_lines_.clear();
  bone_lines_.clear();
  world_ = {};
  highlight_.reset();
  character_renderer_.SetHighlight(std::nullopt);
  SetTextureImage(QImage());
  Changed();
}

void PreviewWidget::SetHint(const QString& hint) {
  hint_ = hint.isEmpty() ? QString(kHint) : hint;
  ShowPage();
}

void PreviewWidget::SetTextureImage(QImage image) {
  note_text_.clear();
  const int limit = gl_.max_texture_size;
  if (!image.isNull() && limit > 0 && (image.width() > limit || image.height() > limit)) {
    note_text_ = TextureReducedNote(image.size(), limit);
    image = image.scaled(limit, limit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }
  texture_image_ = std::move(image);
}

bool PreviewWidget::ShowTexture(QImage image) {
  if (image.isNull()) return false;
  SetTextureImage(std::move(image));
  Changed();
  return true;
}

void PreviewWidget::SetOverlay(bool on) {
  overlay_ = on;
  Repaint();
}

QSize PreviewWidget::ViewSize() const {
  return canvas_ && canvas_->width() > 0 ? canvas_->size() : size();
}

const OrbitCamera& PreviewWidget::Camera() const {
  camera_.SetViewSize(ViewSize());
  return camera_;
}

OrbitCamera& PreviewWidget::Camera() {
  camera_.SetViewSize(ViewSize());
  return camera_;
}

void PreviewWidget::FrameAll() {
  if (!HasModel() && !DrawsCharacter()) return;
  QVector3D min = bounds_min_, max = bounds_max_;
  if (DrawsCharacter()) character_renderer_.Bounds(min, max);
  Camera().SetBox(min, max);
  Camera().Frame();
  Repaint();
}

void PreviewWidget::SetView(View view) {
  Camera().SetView(view);
  FrameAll();
}

void PreviewWidget::mousePressEvent(QMouseEvent* event) {
  last_mouse_ = event->position().toPoint();
  setFocus();
}

void PreviewWidget::mouseMoveEvent(QMouseEvent* event) {
  const QPoint now = event->position().toPoint();
  if (event->buttons() == Qt::NoButton) {
    // Hovering: the face under the cursor (bones' names: see event()).
    if (const auto face = FaceAt(event->position()); face != highlight_) {
      HighlightFace(face);
      emit FaceHovered(face);
    }
    return;
  }
  const QPoint delta = now - last_mouse_;
  last_mouse_ = now;
  const bool pan = (event->buttons() & Qt::MiddleButton) ||
                   ((event->buttons() & Qt::LeftButton) && (event->modifiers() & Qt::ShiftModifier));
  if (pan) {
    Camera().Pan(delta);
  } else if (event->buttons() & Qt::LeftButton) {
    Camera().Orbit(delta);
  } else {
    return;
  }
  Repaint();
}

void PreviewWidget::wheelEvent(QWheelEvent* event) {
  if (!HasModel() && !DrawsCharacter()) return;
  Camera().Zoom(event->angleDelta().y() / 120.0f, event->position());
  Repaint();
}

void PreviewWidget::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_F:
      FrameAll();
      return;
    case Qt::Key_1:
      SetView(View::Front);
      return;
    case Qt::Key_3:
      SetView(View::Side);
      return;
    case Qt::Key_7:
      SetView(View::Top);
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace mervane
