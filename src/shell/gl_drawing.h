#pragma once

#include <QColor>
#include <QImage>
#include <QMatrix4x4>
#include <QString>
#include <QVector3D>
#include <array>
#include <memory>
#include <vector>

class QOpenGLBuffer;
class QOpenGLFunctions;
class QOpenGLShaderProgram;
class QOpenGLTexture;

namespace mervane {

// What the model's preview and the character view draw alike, in the
// current context: flat-coloured lines and textures.

// The line program's sources: positions in, uniforms mvp and colour (rgba).
extern const char* const kLineVertexShader;
extern const char* const kLineFragmentShader;

// Draws pairs of positions (x y z each) as lines in one colour with the
// line program; from buffer on the GPU when given, else from lines.
void DrawLines(QOpenGLFunctions& gl, QOpenGLShaderProgram& program, const std::vector<float>& lines,
               const QMatrix4x4& mvp, const QVector3D& colour, QOpenGLBuffer* buffer = nullptr);

// The colour a face picked out under the cursor takes, in the 3-D view and
// in the UV layout alike, apart from the template's own colours.
QColor PickedFaceColour();

// The face picked out under the cursor: its three corners filled
// half-transparent and outlined, over everything drawn (it may face away).
void DrawHighlight(QOpenGLFunctions& gl, QOpenGLShaderProgram& program, const std::array<QVector3D, 3>& corners,
                   const QMatrix4x4& mvp);

// Where a mesh's texture coordinates put v = 0: the bitmap's top row (the
// game's files) or its bottom row (the .obj's convention).
enum class VOrigin { Top, Bottom };

// The image as a texture, mipmapped and repeating, upright for v_origin.
// An image larger than max_size on a side goes up reduced, and note says
// so; nullptr when the driver could not make it (note says that too).
std::unique_ptr<QOpenGLTexture> UploadTexture(QImage image, int max_size, VOrigin v_origin, QString* note);

}  // namespace mervane
