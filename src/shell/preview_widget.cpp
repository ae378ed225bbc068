#include "shell/preview_widget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "model/failure.h"
#include "files/textfile.h"
#include "project/project.h"
#include "project/world.h"
#include "shell/path_text.h"

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

const char* kLineVertexShader = R"(
attribute vec3 position;
uniform mat4 mvp;
void main() { gl_Position = mvp * vec4(position, 1.0); }
)";

const char* kLineFragmentShader = R"(
uniform vec3 color;
void main() { gl_FragColor = vec4(color, 1.0); }
)";

const QColor kBackground(58, 62, 70);
constexpr float kFov = 35.0f;

QVector3D ToQt(const Vec3& v) {
  return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

void AddLine(std::vector<float>& lines, const QVector3D& a, const QVector3D& b) {
  lines.insert(lines.end(), {a.x(), a.y(), a.z(), b.x(), b.y(), b.z()});
}

}  // namespace

PreviewWidget::PreviewWidget(QWidget* parent) : QOpenGLWidget(parent) {
  setObjectName("Preview");
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(200, 200);
}

PreviewWidget::~PreviewWidget() {
  makeCurrent();
  character_renderer_.Release();
  texture_.reset();
  vertex_buffer_.destroy();
  index_buffer_.destroy();
  wire_buffer_.destroy();
  doneCurrent();
}

void PreviewWidget::ShowModel(SkinModel& model, const std::string& folder) {
  Clear();
  WorldMesh mesh;
  try {
    mesh = BuildWorldMesh(model);
  } catch (const Failure&) {
    return;  // a model the writer could not place either: nothing to show
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
  const std::string texture = FindProjectTexture(model, FolderFiles(folder));
  if (!texture.empty()) {
    const std::string path = folder + texture;  // folder ends in its separator
    texture_image_ = QImage(PathToQt(path));
  }
  dirty_ = true;
  SetView(View::Front);
}

void PreviewWidget::Clear() {
  vertices_.clear();
  indices_.clear();
  wire_lines_.clear();
  bone_lines_.clear();
  texture_image_ = QImage();
  dirty_ = true;
  update();
}

void PreviewWidget::SetHint(const QString& hint) {
  hint_ = hint.isEmpty() ? QString(kHint) : hint;
  update();
}

bool PreviewWidget::ShowTexture(const std::string& path) {
  QImage image(QString::fromLocal8Bit(path.c_str()));
  if (image.isNull()) return false;
  texture_image_ = std::move(image);
  dirty_ = true;
  update();
  return true;
}

void PreviewWidget::SetOverlay(bool on) {
  overlay_ = on;
  update();
}

void PreviewWidget::FrameAll() {
  if (DrawsCharacter()) character_renderer_.Bounds(bounds_min_, bounds_max_);
  if (!HasModel() && !DrawsCharacter()) return;
  target_ = (bounds_min_ + bounds_max_) / 2;
  // Fit the bounding box as the camera sees it, with a small margin.
  const QVector3D right = CameraRight(), up = CameraUp(), forward = CameraForward();
  float half_x = 0.05f, half_y = 0.05f, half_depth = 0.0f;
  for (int corner = 0; corner < 8; ++corner) {
    const QVector3D p((corner & 1) ? bounds_max_.x() : bounds_min_.x(), (corner & 2) ? bounds_max_.y() : bounds_min_.y(),
                      (corner & 4) ? bounds_max_.z() : bounds_min_.z());
    const QVector3D d = p - target_;
    half_x = std::max(half_x, std::abs(QVector3D::dotProduct(d, right)));
    half_y = std::max(half_y, std::abs(QVector3D::dotProduct(d, up)));
    half_depth = std::max(half_depth, std::abs(QVector3D::dotProduct(d, forward)));
  }
  const float aspect = height() > 0 ? static_cast<float>(width()) / static_cast<float>(height()) : 1.0f;
  const float tan_half = std::tan(qDegreesToRadians(kFov / 2));
  distance_ = std::max(half_y / tan_half, half_x / (tan_half * aspect)) * 1.1f + half_depth;
  update();
}

void PreviewWidget::SetView(View view) {
  // Front looks at the body's front (+Z) with Y up; side from +X; top from above.
  yaw_ = view == View::Side ? 90.0f : 0.0f;
  pitch_ = view == View::Top ? 89.9f : 0.0f;
  FrameAll();
}

QVector3D PreviewWidget::CameraForward() const {
  const float yaw = qDegreesToRadians(yaw_), pitch = qDegreesToRadians(pitch_);
  // From the camera towards the target.
  return -QVector3D(std::sin(yaw) * std::cos(pitch), std::sin(pitch), std::cos(yaw) * std::cos(pitch));
}

QVector3D PreviewWidget::CameraRight() const {
  return QVector3D::crossProduct(CameraForward(), QVector3D(0, 1, 0)).normalized();
}

QVector3D PreviewWidget::CameraUp() const { return QVector3D::crossProduct(CameraRight(), CameraForward()); }

QMatrix4x4 PreviewWidget::ViewMatrix() const {
  QMatrix4x4 view;
  view.lookAt(target_ - CameraForward() * distance_, target_, CameraUp());
  return view;
}

QMatrix4x4 PreviewWidget::ProjectionMatrix() const {
  QMatrix4x4 projection;
  const float aspect = height() > 0 ? static_cast<float>(width()) / static_cast<float>(height()) : 1.0f;
  projection.perspective(kFov, aspect, distance_ * 0.01f, distance_ * 100.0f);
  return projection;
}

void PreviewWidget::initializeGL() {
  initializeOpenGLFunctions();
  const bool mesh_ok = mesh_program_.addShaderFromSourceCode(QOpenGLShader::Vertex, kMeshVertexShader) &&
                       mesh_program_.addShaderFromSourceCode(QOpenGLShader::Fragment, kMeshFragmentShader) &&
                       mesh_program_.link();
  const bool line_ok = line_program_.addShaderFromSourceCode(QOpenGLShader::Vertex, kLineVertexShader) &&
                       line_program_.addShaderFromSourceCode(QOpenGLShader::Fragment, kLineFragmentShader) &&
                       line_program_.link();
  gl_ready_ = mesh_ok && line_ok && vertex_buffer_.create() && index_buffer_.create() &&
              wire_buffer_.create();
  if (!gl_ready_) qWarning("Mervane: the 3D preview could not start its shaders");
  dirty_ = true;
}

void PreviewWidget::resizeGL(int, int) {}

void PreviewWidget::Upload() {
  dirty_ = false;
  vertex_buffer_.bind();
  vertex_buffer_.allocate(vertices_.data(), static_cast<int>(vertices_.size() * sizeof(float)));
  vertex_buffer_.release();
  index_buffer_.bind();
  index_buffer_.allocate(indices_.data(), static_cast<int>(indices_.size() * sizeof(unsigned)));
  index_buffer_.release();
  wire_buffer_.bind();
  wire_buffer_.allocate(wire_lines_.data(), static_cast<int>(wire_lines_.size() * sizeof(float)));
  wire_buffer_.release();
  texture_.reset();
  if (!texture_image_.isNull()) {
    // QOpenGLTexture turns the image upside down, so that V = 0 is its
    // bottom row: the .obj's convention, which the flipped V follows.
    texture_ = std::make_unique<QOpenGLTexture>(texture_image_.convertToFormat(QImage::Format_RGBA8888));
    texture_->setMinificationFilter(QOpenGLTexture::LinearMipMapLinear);
    texture_->setMagnificationFilter(QOpenGLTexture::Linear);
    texture_->setWrapMode(QOpenGLTexture::Repeat);
  }
}

void PreviewWidget::DrawLines(const std::vector<float>& lines, QOpenGLBuffer* buffer, const QMatrix4x4& mvp,
                              const QVector3D& color) {
  if (lines.empty()) return;
  line_program_.bind();
  line_program_.setUniformValue("mvp", mvp);
  line_program_.setUniformValue("color", color);
  const int position = line_program_.attributeLocation("position");
  line_program_.enableAttributeArray(position);
  if (buffer) {
    buffer->bind();
    line_program_.setAttributeBuffer(position, GL_FLOAT, 0, 3);
  } else {
    line_program_.setAttributeArray(position, lines.data(), 3);
  }
  glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(lines.size() / 3));
  if (buffer) buffer->release();
  line_program_.disableAttributeArray(position);
  line_program_.release();
}

void PreviewWidget::paintGL() {
  glClearColor(kBackground.redF(), kBackground.greenF(), kBackground.blueF(), 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (gl_ready_ && PaintCharacter(ProjectionMatrix() * ViewMatrix())) return;
  if (!HasModel() || !gl_ready_) {
    QPainter painter(this);
    painter.setPen(QColor(200, 204, 212));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, hint_);
    return;
  }
  if (dirty_) Upload();
  glEnable(GL_DEPTH_TEST);
  const QMatrix4x4 mvp = ProjectionMatrix() * ViewMatrix();

  if (!indices_.empty()) {
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(1.0f, 1.0f);  // keeps the wireframe in front of its faces
    mesh_program_.bind();
    mesh_program_.setUniformValue("mvp", mvp);
    mesh_program_.setUniformValue("toward_camera", -CameraForward());
    mesh_program_.setUniformValue("textured", texture_ != nullptr);
    mesh_program_.setUniformValue("skin", 0);
    if (texture_) texture_->bind(0);
    vertex_buffer_.bind();
    index_buffer_.bind();
    const int stride = 8 * sizeof(float);
    const int position = mesh_program_.attributeLocation("position");
    const int normal = mesh_program_.attributeLocation("normal");
    const int uv = mesh_program_.attributeLocation("uv");
    mesh_program_.enableAttributeArray(position);
    mesh_program_.setAttributeBuffer(position, GL_FLOAT, 0, 3, stride);
    if (normal >= 0) {
      mesh_program_.enableAttributeArray(normal);
      mesh_program_.setAttributeBuffer(normal, GL_FLOAT, 3 * sizeof(float), 3, stride);
    }
    if (uv >= 0) {
      mesh_program_.enableAttributeArray(uv);
      mesh_program_.setAttributeBuffer(uv, GL_FLOAT, 6 * sizeof(float), 2, stride);
    }
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices_.size()), GL_UNSIGNED_INT, nullptr);
    mesh_program_.disableAttributeArray(position);
    if (normal >= 0) mesh_program_.disableAttributeArray(normal);
    if (uv >= 0) mesh_program_.disableAttributeArray(uv);
    index_buffer_.release();
    vertex_buffer_.release();
    if (texture_) texture_->release();
    mesh_program_.release();
    glDisable(GL_POLYGON_OFFSET_FILL);
  }
  if (overlay_) {
    DrawLines(wire_lines_, &wire_buffer_, mvp, QVector3D(0.15f, 0.16f, 0.2f));
    glDisable(GL_DEPTH_TEST);  // bones show through the skin
    DrawLines(bone_lines_, nullptr, mvp, QVector3D(1.0f, 0.75f, 0.2f));
  }
  glDisable(GL_DEPTH_TEST);
}

void PreviewWidget::mousePressEvent(QMouseEvent* event) {
  last_mouse_ = event->position().toPoint();
  setFocus();
}

void PreviewWidget::mouseMoveEvent(QMouseEvent* event) {
  const QPoint now = event->position().toPoint();
  if (event->buttons() == Qt::NoButton) return;  // hovering: see event()
  const QPoint delta = now - last_mouse_;
  last_mouse_ = now;
  const bool pan = (event->buttons() & Qt::MiddleButton) ||
                   ((event->buttons() & Qt::LeftButton) && (event->modifiers() & Qt::ShiftModifier));
  if (pan) {
    const float per_pixel = 2 * distance_ * std::tan(qDegreesToRadians(kFov / 2)) / std::max(1, height());
    target_ += (-CameraRight() * delta.x() + CameraUp() * delta.y()) * per_pixel;
  } else if (event->buttons() & Qt::LeftButton) {
    yaw_ -= delta.x() * 0.5f;
    pitch_ = std::clamp(pitch_ + delta.y() * 0.5f, -89.9f, 89.9f);
  } else {
    return;
  }
  update();
}

void PreviewWidget::wheelEvent(QWheelEvent* event) {
  const float steps = event->angleDelta().y() / 120.0f;
  if (steps == 0) return;
  const float factor = std::pow(0.85f, steps);
  // The point under the cursor, at the target's depth, stays where it is.
  const QPointF pos = event->position();
  const float half_height = distance_ * std::tan(qDegreesToRadians(kFov / 2));
  const float per_pixel = 2 * half_height / std::max(1, height());
  const QVector3D under_cursor = target_ + CameraRight() * static_cast<float>(pos.x() - width() / 2.0) * per_pixel -
                                 CameraUp() * static_cast<float>(pos.y() - height() / 2.0) * per_pixel;
  target_ = under_cursor + (target_ - under_cursor) * factor;
  distance_ *= factor;
  update();
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
      QOpenGLWidget::keyPressEvent(event);
  }
}

}  // namespace mervane
