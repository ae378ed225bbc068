// The preview drawn for real: Mesa's software renderer on a virtual X
// server (ctest runs this under xvfb-run).
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "shell/preview_widget.h"
#include "skn/skn.h"
#include "support.h"

namespace mervane {
namespace {

constexpr int kWidth = 240, kHeight = 360;
const QRgb kBackground = qRgb(58, 62, 70);

bool IsBackground(QRgb pixel) {
  return std::abs(qRed(pixel) - qRed(kBackground)) + std::abs(qGreen(pixel) - qGreen(kBackground)) +
             std::abs(qBlue(pixel) - qBlue(kBackground)) <
         12;
}

double ForegroundShare(const QImage& image) {
  long count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) count += !IsBackground(image.pixel(x, y));
  return static_cast<double>(count) / (image.width() * image.height());
}

// The foreground's first and last column in row y; right < left when empty.
struct Span {
  int left, right;
  int width() const { return right >= left ? right - left + 1 : 0; }
};
Span RowSpan(const QImage& image, int y) {
  Span span{image.width(), -1};
  for (int x = 0; x < image.width(); ++x)
    if (!IsBackground(image.pixel(x, y))) span.left = std::min(span.left, x), span.right = std::max(span.right, x);
  return span;
}

int WidestRow(const QImage& image) {
  int widest = 0;
  for (int y = 0; y < image.height(); ++y) widest = std::max(widest, RowSpan(image, y).width());
  return widest;
}

class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    widget_.resize(kWidth, kHeight);
    widget_.show();
    QApplication::processEvents();
  }
  QImage Render() {
    QImage image = widget_.Grab().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(image.size(), QSize(kWidth, kHeight));
    return image;
  }
  SkinModel LoadExample() { return test::ReadSknText(test::ReadFile(test::ExamplePath("mannequin.skn"))); }

  PreviewWidget widget_;
};

TEST_F(PreviewTest, DrawsTheExampleSkinAssembled) {
  SkinModel model = LoadExample();
  widget_.ShowModel(model, "");
  widget_.SetOverlay(false);
  const QImage image = Render();

  const double share = ForegroundShare(image);
  EXPECT_GT(share, 0.05);
  EXPECT_LT(share, 0.6);
  // The background shows all round it.
  for (int x = 0; x < kWidth; ++x) {
    EXPECT_TRUE(IsBackground(image.pixel(x, 0)));
    EXPECT_TRUE(IsBackground(image.pixel(x, kHeight - 1)));
  }
  for (int y = 0; y < kHeight; ++y) {
    EXPECT_TRUE(IsBackground(image.pixel(0, y)));
    EXPECT_TRUE(IsBackground(image.pixel(kWidth - 1, y)));
  }
  // The widest row holds the arms: far wider than a typical row, and
  // reaching out on both sides of the body's middle, not stacked on one.
  std::vector<int> widths;
  int widest_row = 0;
  double middle = 0;
  for (int y = 0; y < kHeight; ++y) {
    const Span span = RowSpan(image, y);
    if (span.width() == 0) continue;
    widths.push_back(span.width());
    middle += (span.left + span.right) / 2.0;
    if (span.width() > RowSpan(image, widest_row).width()) widest_row = y;
  }
  ASSERT_FALSE(widths.empty());
  middle /= static_cast<double>(widths.size());
  std::sort(widths.begin(), widths.end());
  const Span arms = RowSpan(image, widest_row);
  EXPECT_GT(arms.width(), 3 * widths[widths.size() / 2]);
  EXPECT_LT(arms.left, middle - arms.width() / 3.0);
  EXPECT_GT(arms.right, middle + arms.width() / 3.0);
  // The head is above the widest row, the feet well below it.
  EXPECT_LT(widest_row, kHeight / 2);
}

TEST_F(PreviewTest, IsEmptyWithItsHintAfterAReset) {
  SkinModel model = LoadExample();
  widget_.ShowModel(model, "");
  EXPECT_GT(ForegroundShare(Render()), 0.05);
  widget_.Clear();
  const double share = ForegroundShare(Render());
  EXPECT_GT(share, 0.0) << "the hint is drawn";
  EXPECT_LT(share, 0.03);
  EXPECT_FALSE(widget_.HasModel());
}

TEST_F(PreviewTest, TakesTheTextureFromTheOpenedFilesFolder) {
  test::TempDir dir;
  QImage texture(8, 8, QImage::Format_RGB32);
  texture.fill(qRgb(230, 20, 20));
  ASSERT_TRUE(texture.save(QString::fromStdString(dir.path("Mannequin_Skin.BMP")), "BMP"));
  SkinModel model = LoadExample();
  widget_.ShowModel(model, dir.root().string() + "/");
  widget_.SetOverlay(false);
  EXPECT_TRUE(widget_.HasTexture());
  const QImage image = Render();
  long red = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const QRgb p = image.pixel(x, y);
      red += qRed(p) > 2 * qGreen(p) + 20 && qRed(p) > 2 * qBlue(p) + 20;
    }
  EXPECT_GT(red, kWidth * kHeight / 50);
}

// A skin's V runs down its bitmap (the .obj writes 1 - v): a quad whose top
// corners have v = 0 shows the bitmap's top row at its top.
TEST_F(PreviewTest, ShowsTheBitmapsTopAtTheTopOfTheModel) {
  test::TempDir dir;
  QImage texture(8, 8, QImage::Format_RGB32);
  texture.fill(qRgb(230, 20, 20));
  for (int y = 4; y < 8; ++y)
    for (int x = 0; x < 8; ++x) texture.setPixel(x, y, qRgb(20, 20, 230));
  ASSERT_TRUE(texture.save(QString::fromStdString(dir.path("quad_tex.bmp")), "BMP"));
  // One unknown bone: world X = -y, Y = x. Local x runs up the quad.
  SkinModel model = test::ReadSknText(test::CrLf(
      {"quad", "quad_tex", "1", "EXTRA", "2", "0 1 2", "0 2 3", "1", "0 0 4 0 0", "4", "0 1", "1 1",
       "1 0", "0 0", "0", "4", "0 0.5 0 0 0 1", "0 -0.5 0 0 0 1", "1 -0.5 0 0 0 1", "1 0.5 0 0 0 1"}));
  widget_.ShowModel(model, dir.root().string() + "/");
  widget_.SetOverlay(false);
  const QImage image = Render();
  auto colour = [&](int y) {
    const QRgb p = image.pixel(kWidth / 2, y);
    return qRed(p) > qBlue(p) + 100 ? 'r' : qBlue(p) > qRed(p) + 100 ? 'b' : '?';
  };
  EXPECT_EQ(colour(kHeight / 2 - 20), 'r') << "the bitmap's top half";
  EXPECT_EQ(colour(kHeight / 2 + 20), 'b') << "the bitmap's bottom half";
}

TEST_F(PreviewTest, KeysAndWheelMoveTheCamera) {
  SkinModel model = LoadExample();
  widget_.ShowModel(model, "");
  widget_.SetOverlay(false);
  const QImage front = Render();
  // From the side the arms point at the camera: a much narrower figure.
  QTest::keyClick(&widget_, Qt::Key_3);
  EXPECT_LT(WidestRow(Render()), WidestRow(front) / 2);
  // From above, the figure is short: its rows are few.
  QTest::keyClick(&widget_, Qt::Key_7);
  const QImage top = Render();
  int rows = 0;
  for (int y = 0; y < kHeight; ++y) rows += RowSpan(top, y).width() > 0;
  EXPECT_LT(rows, kHeight / 2);
  // Back to the front, then zoom in at the centre: more of the view is figure.
  QTest::keyClick(&widget_, Qt::Key_1);
  EXPECT_EQ(Render(), front);
  const double before = ForegroundShare(front);
  auto wheel = [&](int steps) {
    const QPointF centre(kWidth / 2.0, kHeight / 2.0);
    QWheelEvent event(centre, widget_.mapToGlobal(centre), QPoint(), QPoint(0, 120 * steps), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&widget_, &event);
  };
  wheel(3);
  EXPECT_GT(ForegroundShare(Render()), before * 1.5);
  // Zoom has limits: far out, the model still fills the view as framed;
  // far in, the camera stops in front of the model instead of entering it.
  wheel(-60);
  EXPECT_EQ(Render(), front);
  wheel(60);
  const QImage nearest = Render();
  EXPECT_FALSE(IsBackground(nearest.pixel(kWidth / 2, kHeight / 2)));
  wheel(1);
  EXPECT_EQ(Render(), nearest);
  // F frames everything again.
  QTest::keyClick(&widget_, Qt::Key_F);
  EXPECT_EQ(Render(), front);
  // The overlay toggle adds the wireframe and bone lines.
  widget_.SetOverlay(true);
  EXPECT_NE(Render(), front);
  // F frames what is drawn: a vertex that no bone places is drawn nowhere,
  // so a part far from the origin with a blended vertex still fills the view.
  SkinModel part = test::ReadSknText(test::CrLf({"part", "t", "1", "HEAD", "1", "0 1 2", "1", "0 0 3 0 1", "3", "0 0",
                                                 "1 0", "0 1", "1", "3 16384", "4", "0 0 0 0 0 1", "0.3 0 0 0 0 1",
                                                 "0 0.3 0 0 0 1", "0 0 0 0 0 1"}));
  widget_.ShowModel(part, "");
  widget_.SetOverlay(false);
  wheel(60);
  QTest::keyClick(&widget_, Qt::Key_F);
  EXPECT_GT(ForegroundShare(Render()), 0.1);
}

// Where OpenGL falls short, the area says so in words a user can act on.
TEST(PreviewProblem, NamesWhatTheSystemLacks) {
  const QString advice = " Install or update the graphics driver. Opening, saving and importing work without it.";
  auto gl = [](int major, int minor, int glsl_major, int glsl_minor, bool functions) {
    GlReport r;
    r.context = true;
    r.major = major;
    r.minor = minor;
    r.version = QString("%1.%2").arg(major).arg(minor);
    r.glsl_major = glsl_major;
    r.glsl_minor = glsl_minor;
    r.functions = functions;
    return r;
  };
  const struct {
    GlReport gl;
    QString problem;
  } cases[] = {
      {GlReport{}, "The 3D preview needs OpenGL 2.1 or later; this system gave Mervane no OpenGL drawing context at all." + advice},
      {[&] { GlReport r = gl(4, 5, 4, 50, true); r.no_views_on = "offscreen"; return r; }(),
       "The 3D preview cannot be shown on this display (Qt's \"offscreen\" platform does not show OpenGL views in windows). "
       "Opening, saving and importing work without it."},
      {gl(1, 1, 0, 0, false), "The 3D preview needs OpenGL 2.1 or later; this system offers 1.1." + advice},
      {gl(2, 0, 1, 10, true), "The 3D preview needs OpenGL 2.1 or later; this system offers 2.0." + advice},
      {gl(2, 1, 1, 0, true), "The 3D preview needs the OpenGL shading language 1.10 or later; this system's OpenGL 2.1 offers 1.0." + advice},
      {gl(3, 0, 0, 0, true), "The 3D preview needs the OpenGL shading language 1.10 or later; this system's OpenGL 3.0 offers none." + advice},
      {gl(2, 1, 1, 20, false), "The 3D preview needs OpenGL's shader and buffer functions, which this system's OpenGL 2.1 does not provide." + advice},
      {gl(2, 1, 1, 20, true), ""},
      {gl(4, 5, 4, 50, true), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(PreviewProblem(c.gl), c.problem);
  EXPECT_EQ(ShaderProblem("0:3(1): error: syntax error\nmore"),
            "The 3D preview cannot draw: this graphics driver refused its shaders (0:3(1): error: syntax error). "
            "Update the graphics driver. Opening, saving and importing work without it.");
}

// A bitmap wider than the driver takes is shown reduced, with a line saying
// which limit it met.
TEST_F(PreviewTest, ReducesATextureBeyondTheDriversLimit) {
  const int limit = widget_.OpenGL().max_texture_size;
  ASSERT_GT(limit, 0);
  SkinModel model = LoadExample();
  widget_.ShowModel(model, "");
  QImage wide(limit + 1, 2, QImage::Format_RGB32);
  wide.fill(qRgb(230, 20, 20));
  ASSERT_TRUE(widget_.ShowTexture(wide));
  EXPECT_EQ(widget_.Texture().width(), limit);
  EXPECT_EQ(widget_.Note(), TextureReducedNote(QSize(limit + 1, 2), limit));
  EXPECT_NE(widget_.Note().indexOf(QString::number(limit)), -1);
  QApplication::processEvents();
  EXPECT_TRUE(widget_.findChild<QLabel*>("PreviewNote")->isVisible());
  EXPECT_GT(ForegroundShare(widget_.Grab()), 0.05);
  // The next model's own bitmap has no note.
  widget_.ShowModel(model, "");
  EXPECT_TRUE(widget_.Note().isEmpty());
}

// Moved into another window, the preview gets a new context (as after a
// driver reset): it frees what the old one held and draws again.
TEST_F(PreviewTest, DrawsAgainInANewContext) {
  SkinModel model = LoadExample();
  widget_.ShowModel(model, "");
  widget_.SetOverlay(false);
  const QImage before = Render();
  QWidget other;
  other.resize(kWidth, kHeight);
  widget_.setParent(&other);
  widget_.resize(kWidth, kHeight);
  other.show();
  widget_.show();
  QApplication::processEvents();
  EXPECT_EQ(Render(), before);
  EXPECT_TRUE(widget_.Problem().isEmpty());
  widget_.setParent(nullptr);
}

// A broken transform shows here: the example drawn from the front must
// match the stored picture within a tolerance for renderer differences.
TEST_F(PreviewTest, MatchesTheGoldenImage) {
  SkinModel model = LoadExample();
  widget_.ShowModel(model, "");
  const QImage image = Render();
  const QString golden = QString::fromStdString(test::DataPath("golden/preview_mannequin.png"));
  if (std::getenv("MERVANE_UPDATE_GOLDEN")) {
    ASSERT_TRUE(image.save(golden));
    GTEST_SKIP() << "golden image written";
  }
  const QImage expected = QImage(golden).convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(expected.size(), image.size());
  double total = 0;
  long far_off = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const QRgb a = image.pixel(x, y), b = expected.pixel(x, y);
      const int d = std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
      total += d;
      far_off += d > 90;
    }
  EXPECT_LT(total / (kWidth * kHeight * 3), 4.0);
  EXPECT_LT(far_off, kWidth * kHeight / 100);
}

}  // namespace
}  // namespace mervane

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
