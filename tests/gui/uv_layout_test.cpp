// View > UV Layout in the real window: the template beside the 3-D view,
// and a face hovered in either view picked out in both.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QStandardPaths>
#include <QVector4D>
#include <optional>

#include "character_files.h"
#include "gui_support.h"
#include "model/world.h"
#include "shell/character_renderer.h"
#include "shell/main_window.h"
#include "shell/preview_widget.h"
#include "shell/settings.h"
#include "shell/uv_layout_view.h"

namespace mervane {
namespace {

// Two faces on PELVIS, facing the front, lopsided so that the view turned
// upside down or mirrored would find the other face or none; their texture
// is a rectangle in the bitmap's top-left part: below v = 0.4 the bitmap is
// unused.
std::string TwoFacesSkn() {
  return test::CrLf({"xskin-uvsquare-PELVIS-BODY", "uvsquare", "1", "PELVIS", "2", "0 1 2", "0 2 3", "1",
                     "0 0 4 0 0", "4", "0.1 0.1", "0.5 0.1", "0.5 0.4", "0.1 0.4", "0", "4", "0.2 1 0 0 0 1",
                     "1 1 0 0 0 1", "1 0.5 0 0 0 1", "0 0 0 0 0 1"});
}

// The mouse moved over widget without a button, as the window system
// delivers it (the 3-D view takes it through its OpenGL canvas).
void Hover(QWidget* widget, QPointF at) {
  QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &move);
}

using Face = UvLayoutView::Face;
using DrawnFace = PreviewWidget::DrawnFace;

TEST(UvLayoutTest, HoveringAFacePicksItOutInBothViews) {
  QStandardPaths::setTestModeEnabled(true);
  Settings().clear();
  test::TempDir dir;
  test::WriteFile(dir.path("xskin-uvsquare-PELVIS-BODY.skn"), TwoFacesSkn());
  test::WriteFile(dir.path("uvsquare.bmp"), test::TwoColourBitmap());
  guitest::FakeChooser chooser;
  guitest::FakePrompts prompts;
  frmMain window("", &chooser, &prompts);
  window.resize(1000, 600);
  window.show();
  window.OpenPath(dir.path("xskin-uvsquare-PELVIS-BODY.skn"));
  ASSERT_TRUE(window.model().ModelLoaded);
  ASSERT_FALSE(window.preview()->DrawsCharacter()) << "no skeleton here: the model is drawn alone";

  // Off until turned on; then beside the 3-D view, over the model's 2 x 2
  // bitmap, and kept for the next window.
  UvLayoutView& layout = *window.uv_layout();
  QAction* item = window.findChild<QAction*>("mnuUvLayout");
  ASSERT_NE(item, nullptr);
  EXPECT_FALSE(layout.isVisible());
  item->trigger();
  ASSERT_TRUE(layout.isVisible());
  EXPECT_EQ(qobject_cast<QSplitter*>(layout.parentWidget()), qobject_cast<QSplitter*>(window.preview()->parentWidget()));
  if (const auto* views = qobject_cast<QSplitter*>(layout.parentWidget())) {
    EXPECT_NEAR(views->sizes().at(1), views->width() * 2 / 5, 10) << "two fifths of the room";
  }
  EXPECT_EQ(layout.image().size(), QSize(2, 2));
  EXPECT_TRUE(frmMain("", &chooser, &prompts).findChild<QAction*>("mnuUvLayout")->isChecked());

  // The image is as large as fits, centred, v counted from its top.
  const double side = std::min(layout.width(), layout.height());
  const QPointF corner((layout.width() - side) / 2, (layout.height() - side) / 2);
  const struct {
    const char* name;
    double u, v;
    std::optional<int> face;
  } uv_cases[] = {
      {"the first face", 0.4, 0.15, 0},
      {"the second face", 0.2, 0.35, 1},
      {"the first face upside down", 0.4, 0.85, std::nullopt},
      {"unused bitmap", 0.8, 0.6, std::nullopt},
  };
  for (const auto& c : uv_cases) {
    Hover(&layout, corner + QPointF(c.u * side, c.v * side));
    const std::optional<Face> face = c.face ? std::optional(Face{0, *c.face}) : std::nullopt;
    const std::optional<DrawnFace> drawn = c.face ? std::optional(DrawnFace{PreviewWidget::kModelAlone, *c.face})
                                                  : std::nullopt;
    EXPECT_EQ(layout.HighlightedFace(), face) << c.name;
    EXPECT_EQ(window.preview()->HighlightedFace(), drawn) << c.name;
  }
  // The mouse leaving the layout lets go of the face in both views.
  Hover(&layout, corner + QPointF(0.4 * side, 0.15 * side));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&layout, &leave);
  EXPECT_EQ(layout.HighlightedFace(), std::nullopt);
  EXPECT_EQ(window.preview()->HighlightedFace(), std::nullopt);

  // Hovering the model in the 3-D view, drawn alone and then on a
  // skeleton (as one of the scene's parts, skinned in the game's mirrored
  // axes): where a face's middle is on screen.
  const PreviewWidget& preview = *window.preview();
  for (const bool on_skeleton : {false, true}) {
    SCOPED_TRACE(on_skeleton ? "on a skeleton" : "drawn alone");
    if (on_skeleton) {
      const test::SmallCharacter character;
      test::WriteFile(dir.path("adult-skeleton.cmx"), test::ReadFile(character.dir.path("adult-skeleton.cmx")));
      window.OpenPath(dir.path("xskin-uvsquare-PELVIS-BODY.skn"));
      ASSERT_TRUE(preview.DrawsCharacter());
    }
    std::vector<QVector3D> places;
    const std::vector<SkinnedMesh> skinned = window.character().Skinned();
    if (on_skeleton)
      for (const Vec3& p : skinned.at(0).positions)
        places.push_back(CharacterRenderer::GameToDrawn().map(
            QVector3D(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z))));
    else
      for (const Vec3& p : BuildWorldMesh(window.model()).positions)
        places.push_back(QVector3D(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)));
    const int part = on_skeleton ? 0 : PreviewWidget::kModelAlone;
    const QMatrix4x4 mvp = preview.Camera().ProjectionMatrix() * preview.Camera().ViewMatrix();
    const SkinMesh mesh = MakeSkinMesh(window.model());
    auto on_screen = [&](int face) {
      QVector3D middle;
      for (const int v : mesh.faces.at(static_cast<std::size_t>(face)))
        middle += places.at(static_cast<std::size_t>(v)) / 3;
      const QVector4D clip = mvp * QVector4D(middle, 1);
      return QPointF((clip.x() / clip.w() + 1) / 2 * preview.width(), (1 - clip.y() / clip.w()) / 2 * preview.height());
    };
    const struct {
      const char* name;
      QPointF at;
      std::optional<int> face;
    } drawn_cases[] = {
        {"the second face", on_screen(1), 1},
        {"the first face", on_screen(0), 0},
        {"the background", QPointF(2, 2), std::nullopt},
    };
    for (const auto& c : drawn_cases) {
      Hover(window.preview(), c.at);
      EXPECT_EQ(preview.HighlightedFace(), c.face ? std::optional(DrawnFace{part, *c.face}) : std::nullopt) << c.name;
      EXPECT_EQ(layout.HighlightedFace(), c.face ? std::optional(Face{0, *c.face}) : std::nullopt) << c.name;
    }
    // And the layout's face picks out the part's in the 3-D view.
    Hover(&layout, corner + QPointF(0.2 * side, 0.35 * side));
    EXPECT_EQ(preview.HighlightedFace(), std::optional(DrawnFace{part, 1}));
  }
  // A bitmap wider or taller than the view's shape: v spans the drawn height,
  // u the drawn width.
  for (const QSize bitmap : {QSize(4, 2), QSize(2, 4)}) {
    UvLayoutView other;
    other.resize(400, 400);
    other.SetLayout(QImage(bitmap, QImage::Format_RGB32), {MakeSkinMesh(window.model())});
    const QSizeF drawn = QSizeF(bitmap).scaled(400, 400, Qt::KeepAspectRatio);
    const QPointF origin((400 - drawn.width()) / 2, (400 - drawn.height()) / 2);
    for (const auto& c : uv_cases) {
      Hover(&other, origin + QPointF(c.u * drawn.width(), c.v * drawn.height()));
      EXPECT_EQ(other.HighlightedFace(), c.face ? std::optional(Face{0, *c.face}) : std::nullopt)
          << c.name << " on " << bitmap.width() << " x " << bitmap.height();
    }
    // A layout that no longer has the face picked out lets go of it.
    Hover(&other, origin + QPointF(0.2 * drawn.width(), 0.35 * drawn.height()));
    ASSERT_EQ(other.HighlightedFace(), std::optional(Face{0, 1}));
    SkinMesh fewer = MakeSkinMesh(window.model());
    fewer.faces.pop_back();
    other.SetLayout(QImage(bitmap, QImage::Format_RGB32), {fewer});
    EXPECT_EQ(other.HighlightedFace(), std::nullopt);
  }
  // A bitmap that does not read leaves the lines on a plain ground, saying why.
  test::WriteFile(dir.path("uvsquare.bmp"), "not a bitmap");
  window.OpenPath(dir.path("xskin-uvsquare-PELVIS-BODY.skn"));
  EXPECT_TRUE(window.statusBar()->currentMessage().startsWith("The UV layout shows no bitmap: "))
      << window.statusBar()->currentMessage().toStdString();
  EXPECT_FALSE(layout.image().isNull());
  // With no model there is nothing to lay out: the view says what it will show.
  UvLayoutView empty;
  empty.resize(300, 300);
  const QImage blank = empty.grab().toImage();
  int lettered = 0;
  for (int y = 0; y < blank.height(); ++y)
    for (int x = 0; x < blank.width(); ++x) lettered += blank.pixelColor(x, y) != blank.pixelColor(0, 0);
  EXPECT_GT(lettered, 100);
  Settings().clear();
}

}  // namespace
}  // namespace mervane
