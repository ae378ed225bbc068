#include "shell/orbit_camera.h"

#include <QtMath>
#include <algorithm>
#include <cmath>

namespace mervane {
namespace {

QVector3D Corner(const QVector3D& min, const QVector3D& max, int corner) {
  return {(corner & 1) ? max.x() : min.x(), (corner & 2) ? max.y() : min.y(), (corner & 4) ? max.z() : min.z()};
}

}  // namespace

void OrbitCamera::SetBox(const QVector3D& min, const QVector3D& max) {
  min_ = min;
  max_ = max;
}

float OrbitCamera::Aspect() const {
  return view_.height() > 0 ? static_cast<float>(view_.width()) / static_cast<float>(view_.height()) : 1.0f;
}

float OrbitCamera::PerPixel(float distance) const {
  return 2 * distance * std::tan(qDegreesToRadians(kFov / 2)) / static_cast<float>(std::max(1, view_.height()));
}

float OrbitCamera::FarthestDistance() const {
  // Fit the box as the camera sees it, with a small margin.
  const QVector3D right = Right(), up = Up(), forward = Forward();
  const QVector3D middle = (min_ + max_) / 2;
  float half_x = 0.05f, half_y = 0.05f, half_depth = 0.0f;
  for (int corner = 0; corner < 8; ++corner) {
    const QVector3D d = Corner(min_, max_, corner) - middle;
    half_x = std::max(half_x, std::abs(QVector3D::dotProduct(d, right)));
    half_y = std::max(half_y, std::abs(QVector3D::dotProduct(d, up)));
    half_depth = std::max(half_depth, std::abs(QVector3D::dotProduct(d, forward)));
  }
  const float tan_half = std::tan(qDegreesToRadians(kFov / 2));
  return std::max(half_y / tan_half, half_x / (tan_half * Aspect())) * 1.1f + half_depth;
}

float OrbitCamera::NearestDistance() const {
  // How far the box reaches from the target's plane towards the camera;
  // the near plane (1% of the distance in front of the camera) stays short
  // of it.
  const QVector3D toward_camera = -Forward();
  float reach = 0.0f;
  const float size = (max_ - min_).length();
  for (int corner = 0; corner < 8; ++corner)
    reach = std::max(reach, QVector3D::dotProduct(Corner(min_, max_, corner) - target_, toward_camera));
  return std::max(reach / 0.95f, std::max(size, 0.05f) * 0.02f);
}

void OrbitCamera::Frame() {
  target_ = (min_ + max_) / 2;
  distance_ = FarthestDistance();
}

void OrbitCamera::SetView(View view) {
  yaw_ = view == View::Side ? 90.0f : 0.0f;
  pitch_ = view == View::Top ? 89.9f : 0.0f;
  Frame();
}

void OrbitCamera::Orbit(QPoint delta) {
  yaw_ -= static_cast<float>(delta.x()) * 0.5f;
  pitch_ = std::clamp(pitch_ + static_cast<float>(delta.y()) * 0.5f, -89.9f, 89.9f);
  distance_ = std::max(distance_, std::min(NearestDistance(), FarthestDistance()));
}

void OrbitCamera::Pan(QPoint delta) {
  target_ += (-Right() * static_cast<float>(delta.x()) + Up() * static_cast<float>(delta.y())) * PerPixel(distance_);
}

void OrbitCamera::Zoom(float steps, QPointF cursor) {
  if (steps == 0) return;
  const float before = distance_;
  distance_ = std::clamp(distance_ * std::pow(0.85f, steps), std::min(NearestDistance(), FarthestDistance()),
                         FarthestDistance());
  const float factor = distance_ / before;
  // The point under the cursor, at the target's depth, stays where it is.
  const float per_pixel = PerPixel(before);
  const QVector3D under_cursor =
      target_ + Right() * static_cast<float>(cursor.x() - view_.width() / 2.0) * per_pixel -
      Up() * static_cast<float>(cursor.y() - view_.height() / 2.0) * per_pixel;
  target_ = under_cursor + (target_ - under_cursor) * factor;
}

QVector3D OrbitCamera::Forward() const {
  const float yaw = qDegreesToRadians(yaw_), pitch = qDegreesToRadians(pitch_);
  return -QVector3D(std::sin(yaw) * std::cos(pitch), std::sin(pitch), std::cos(yaw) * std::cos(pitch));
}

QVector3D OrbitCamera::Right() const { return QVector3D::crossProduct(Forward(), QVector3D(0, 1, 0)).normalized(); }

QVector3D OrbitCamera::Up() const { return QVector3D::crossProduct(Right(), Forward()); }

QMatrix4x4 OrbitCamera::ViewMatrix() const {
  QMatrix4x4 view;
  view.lookAt(target_ - Forward() * distance_, target_, Up());
  return view;
}

QMatrix4x4 OrbitCamera::ProjectionMatrix() const {
  QMatrix4x4 projection;
  projection.perspective(kFov, Aspect(), distance_ * 0.01f, distance_ * 100.0f);
  return projection;
}

}  // namespace mervane
