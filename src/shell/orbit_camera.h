#pragma once

#include <QMatrix4x4>
#include <QPoint>
#include <QPointF>
#include <QSize>
#include <QVector3D>

namespace mervane {

// The preview's camera: it orbits a target, looking at a box (the model or
// the character), and zooms no farther than where the whole box fills the
// view and no nearer than where the near plane would cut into it. Plain
// maths on Qt's vector types, apart from OpenGL, so that it is tested
// without a GPU.
class OrbitCamera {
 public:
  static constexpr float kFov = 35.0f;  // vertical, degrees
  enum class View { Front, Side, Top };

  // What is looked at, and the view's size in pixels; a later call to
  // Frame or a move takes them into account.
  void SetBox(const QVector3D& min, const QVector3D& max);
  void SetViewSize(QSize size) { view_ = size; }

  // The target at the box's middle, as far as the whole box fits the view.
  void Frame();
  // Front looks at the body's front (+Z) with Y up; side from +X; top from
  // above. Then frames.
  void SetView(View view);
  // Turns about the target by a mouse move in pixels; turned, the box may
  // reach nearer the camera, which then backs off.
  void Orbit(QPoint delta);
  // Moves the target with the picture, by a mouse move in pixels.
  void Pan(QPoint delta);
  // Wheel steps (120ths of a notch) towards the point under cursor (pixels
  // from the view's top left), which stays where it is on screen.
  void Zoom(float steps, QPointF cursor);

  QMatrix4x4 ViewMatrix() const;
  QMatrix4x4 ProjectionMatrix() const;
  QVector3D Right() const;
  QVector3D Up() const;
  QVector3D Forward() const;  // from the camera towards the target
  const QVector3D& target() const { return target_; }
  float distance() const { return distance_; }
  float FarthestDistance() const;
  float NearestDistance() const;

 private:
  float Aspect() const;
  float PerPixel(float distance) const;  // world units a pixel spans at the target

  QVector3D min_, max_, target_;
  QSize view_{1, 1};
  float distance_ = 5.0f, yaw_ = 0.0f, pitch_ = 0.0f;
};

}  // namespace mervane
