// The preview drawn for real: Mesa's software renderer on a virtual X
// server (ctest runs this under xvfb-run).
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
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
    QImage image = widget_.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
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
  QWheelEvent wheel(QPointF(kWidth / 2.0, kHeight / 2.0), widget_.mapToGlobal(QPointF(kWidth / 2.0, kHeight / 2.0)),
                    QPoint(), QPoint(0, 360), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&widget_, &wheel);
  EXPECT_GT(ForegroundShare(Render()), before * 1.5);
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
  QApplication::sendEvent(&widget_, &wheel);
  QTest::keyClick(&widget_, Qt::Key_F);
  EXPECT_GT(ForegroundShare(Render()), 0.1);
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
