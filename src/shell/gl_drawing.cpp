#include "shell/gl_drawing.h"

#include <QOpenGLBuffer>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLTexture>
#include <QVector4D>

#include "shell/preview_widget.h"  // TextureReducedNote

namespace mervane {

const char* const kLineVertexShader = R"(
attribute vec3 position;
uniform mat4 mvp;
void main() { gl_Position = mvp * vec4(position, 1.0); }
)";

const char* const kLineFragmentShader = R"(
uniform vec4 colour;
void main() { gl_FragColor = colour; }
)";

QColor PickedFaceColour() { return QColor(40, 230, 90); }

namespace {

// Positions (x y z each) drawn as mode in one colour with the line program.
void DrawShape(QOpenGLFunctions& gl, QOpenGLShaderProgram& program, const std::vector<float>& lines,
               const QMatrix4x4& mvp, const QVector4D& colour, GLenum mode, QOpenGLBuffer* buffer) {
  if (lines.empty()) return;
  program.bind();
  program.setUniformValue("mvp", mvp);
  program.setUniformValue("colour", colour);
  const int position = program.attributeLocation("position");
  program.enableAttributeArray(position);
  if (buffer) {
    buffer->bind();
    program.setAttributeBuffer(position, GL_FLOAT, 0, 3);
  } else {
    program.setAttributeArray(position, lines.data(), 3);
  }
  gl.glDrawArrays(mode, 0, static_cast<GLsizei>(lines.size() / 3));
  if (buffer) buffer->release();
  program.disableAttributeArray(position);
  program.release();
}

}  // namespace

void DrawLines(QOpenGLFunctions& gl, QOpenGLShaderProgram& program, const std::vector<float>& lines,
               const QMatrix4x4& mvp, const QVector3D& colour, QOpenGLBuffer* buffer) {
  DrawShape(gl, program, lines, mvp, QVector4D(colour, 1.0f), GL_LINES, buffer);
}

void DrawHighlight(QOpenGLFunctions& gl, QOpenGLShaderProgram& program, const std::array<QVector3D, 3>& corners,
                   const QMatrix4x4& mvp) {
  std::vector<float> points;
  for (const QVector3D& c : corners) points.insert(points.end(), {c.x(), c.y(), c.z()});
  const QColor picked = PickedFaceColour();
  const QVector3D colour(picked.redF(), picked.greenF(), picked.blueF());
  gl.glDisable(GL_DEPTH_TEST);
  gl.glEnable(GL_BLEND);
  // The picture's alpha stays opaque: a grab of the view shows no hole.
  gl.glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE);
  DrawShape(gl, program, points, mvp, QVector4D(colour, 0.45f), GL_TRIANGLES, nullptr);
  gl.glDisable(GL_BLEND);
  DrawShape(gl, program, points, mvp, QVector4D(colour, 1.0f), GL_LINE_LOOP, nullptr);
}

std::unique_ptr<QOpenGLTexture> UploadTexture(QImage image, int max_size, VOrigin v_origin, QString* note) {
  if (image.isNull()) return nullptr;
  if (max_size > 0 && (image.width() > max_size || image.height() > max_size)) {
    if (note) *note = TextureReducedNote(image.size(), max_size);
    image = image.scaled(max_size, max_size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }
  // OpenGL's t = 0 is the first row uploaded, and QOpenGLTexture uploads
  // the image's top row first: right for v counted from the top; v counted
  // from the bottom needs the image upside down.
  image = image.convertToFormat(QImage::Format_RGBA8888);
  if (v_origin == VOrigin::Bottom) image = image.mirrored(false, true);
  auto texture = std::make_unique<QOpenGLTexture>(image);
  if (!texture->isCreated()) {
    if (note) *note = QStringLiteral("The texture did not fit in the graphics memory; the model is shown without it.");
    return nullptr;
  }
  texture->setMinificationFilter(QOpenGLTexture::LinearMipMapLinear);
  texture->setMagnificationFilter(QOpenGLTexture::Linear);
  texture->setWrapMode(QOpenGLTexture::Repeat);
  return texture;
}

}  // namespace mervane
