// The preview's camera without a GPU: what it frames, how far zoom goes,
// and that the point under the cursor and the dragged picture stay put.
#include <gtest/gtest.h>

#include <QVector4D>
#include <algorithm>
#include <cmath>

#include "shell/orbit_camera.h"

namespace mervane {
namespace {

const QVector3D kMin(-0.4f, 0.0f, -0.2f), kMax(0.5f, 1.8f, 0.3f);  // a standing figure

// Where a point lands, in pixels from the view's top left, and whether it
// lies between the near and far planes.
struct OnScreen {
  QPointF pixel;
  bool in_depth = false;
};
OnScreen Project(const OrbitCamera& camera, QSize view, const QVector3D& p) {
  const QVector4D clip = camera.ProjectionMatrix() * camera.ViewMatrix() * QVector4D(p, 1.0f);
  const float x = clip.x() / clip.w(), y = clip.y() / clip.w();
  return {{(x + 1) / 2 * view.width(), (1 - y) / 2 * view.height()}, clip.w() > 0 && std::abs(clip.z()) <= clip.w()};
}

QVector3D Corner(int k) {
  return {(k & 1) ? kMax.x() : kMin.x(), (k & 2) ? kMax.y() : kMin.y(), (k & 4) ? kMax.z() : kMin.z()};
}

TEST(OrbitCamera, FramesTheBoxAndZoomStaysBetweenFillingTheViewAndTheNearPlane) {
  const struct {
    OrbitCamera::View view;
    QSize size;
  } cases[] = {
      {OrbitCamera::View::Front, {800, 600}}, {OrbitCamera::View::Side, {300, 900}},
      {OrbitCamera::View::Top, {1200, 400}},  {OrbitCamera::View::Front, {200, 1000}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(c.view) << " " << c.size.width() << "x" << c.size.height());
    OrbitCamera camera;
    camera.SetViewSize(c.size);
    camera.SetBox(kMin, kMax);
    camera.SetView(c.view);
    // Front and side look level; top looks down from above.
    EXPECT_NEAR(camera.Forward().y(), c.view == OrbitCamera::View::Top ? -1.0f : 0.0f, 1e-3f);
    // Framed: every corner on screen, and the box fills most of one side.
    double widest = 0, tallest = 0;
    for (int k = 0; k < 8; ++k) {
      const OnScreen s = Project(camera, c.size, Corner(k));
      EXPECT_TRUE(s.in_depth) << k;
      EXPECT_GE(s.pixel.x(), 0);
      EXPECT_LE(s.pixel.x(), c.size.width());
      EXPECT_GE(s.pixel.y(), 0);
      EXPECT_LE(s.pixel.y(), c.size.height());
      widest = std::max(widest, std::abs(s.pixel.x() - c.size.width() / 2.0) / (c.size.width() / 2.0));
      tallest = std::max(tallest, std::abs(s.pixel.y() - c.size.height() / 2.0) / (c.size.height() / 2.0));
    }
    EXPECT_NEAR(std::max(widest, tallest), 1 / 1.1, 0.01) << "a tenth to spare";
    // Zoomed out as far as it goes, it stays framed; zoomed in, the box
    // never reaches the near plane.
    camera.Zoom(-40, QPointF(c.size.width() / 2.0, c.size.height() / 2.0));
    EXPECT_FLOAT_EQ(camera.distance(), camera.FarthestDistance());
    camera.Zoom(80, QPointF(c.size.width() / 2.0, c.size.height() / 2.0));
    EXPECT_FLOAT_EQ(camera.distance(), std::min(camera.NearestDistance(), camera.FarthestDistance()));
    for (int k = 0; k < 8; ++k) EXPECT_TRUE(Project(camera, c.size, Corner(k)).in_depth) << "near " << k;
    // Turned after zooming in, it backs off rather than cut into the box.
    camera.Orbit(QPoint(90, 40));
    for (int k = 0; k < 8; ++k) EXPECT_TRUE(Project(camera, c.size, Corner(k)).in_depth) << "turned " << k;
  }
}

// A drag turns the model with the mouse, half a degree a pixel, and up or
// down stops a tenth of a degree short of looking straight along Y.
TEST(OrbitCamera, DragsTurnWithTheMouseAndStopShortOfThePoles) {
  const float pole = std::sin(qDegreesToRadians(89.9f)), off_pole = std::cos(qDegreesToRadians(89.9f));
  const struct {
    QPoint drag;
    QVector3D forward;
  } cases[] = {
      {{180, 0}, {1, 0, 0}},      {{-180, 0}, {-1, 0, 0}},          {{0, 60}, {0, -0.5f, -0.8660254f}},
      {{0, 1000}, {0, -pole, -off_pole}}, {{0, -1000}, {0, pole, -off_pole}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.drag.x() << "," << c.drag.y());
    OrbitCamera camera;
    camera.SetViewSize({640, 480});
    camera.SetBox(kMin, kMax);
    camera.SetView(OrbitCamera::View::Front);
    camera.Orbit(c.drag);
    const QVector3D forward = camera.Forward();
    EXPECT_NEAR(forward.x(), c.forward.x(), 1e-6f);
    EXPECT_NEAR(forward.y(), c.forward.y(), 1e-6f);
    EXPECT_NEAR(forward.z(), c.forward.z(), 1e-5f);
    EXPECT_GT(camera.Up().y(), 0) << "the picture never turns upside down";
  }
}

TEST(OrbitCamera, ZoomKeepsThePointUnderTheCursorAndPanMovesThePictureWithTheMouse) {
  const QSize size(640, 480);
  OrbitCamera camera;
  camera.SetViewSize(size);
  camera.SetBox(kMin, kMax);
  camera.SetView(OrbitCamera::View::Front);
  const QPointF cursor(500, 120);
  // The point under the cursor at the target's depth.
  const float per_pixel = 2 * camera.distance() * std::tan(qDegreesToRadians(OrbitCamera::kFov / 2)) / size.height();
  const QVector3D under = camera.target() + camera.Right() * static_cast<float>(cursor.x() - size.width() / 2.0) * per_pixel -
                          camera.Up() * static_cast<float>(cursor.y() - size.height() / 2.0) * per_pixel;
  ASSERT_NEAR(Project(camera, size, under).pixel.x(), cursor.x(), 0.01);
  camera.Zoom(2, cursor);
  const QPointF after = Project(camera, size, under).pixel;
  EXPECT_NEAR(after.x(), cursor.x(), 0.05);
  EXPECT_NEAR(after.y(), cursor.y(), 0.05);

  const QVector3D held = camera.target();
  const QPointF before = Project(camera, size, held).pixel;
  camera.Pan(QPoint(30, -20));
  const QPointF moved = Project(camera, size, held).pixel;
  EXPECT_NEAR(moved.x() - before.x(), 30, 0.05);
  EXPECT_NEAR(moved.y() - before.y(), -20, 0.05);
}

}  // namespace
}  // namespace mervane
