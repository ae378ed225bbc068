#include "shell/uv_layout_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

#include "shell/gl_drawing.h"
#include "template/texture_template.h"

namespace mervane {
namespace {

const QColor kBackground(58, 62, 70);  // the 3-D view's
const QColor kText(200, 204, 212);

}  // namespace

UvLayoutView::UvLayoutView(QWidget* parent) : QWidget(parent) {
  setObjectName("UvLayout");
  setMinimumSize(160, 160);
  setMouseTracking(true);  // the face under the cursor is picked out
  QPalette colours = palette();
  colours.setColor(QPalette::Window, kBackground);
  setPalette(colours);
  setAutoFillBackground(true);
}

void UvLayoutView::SetLayout(QImage image, std::vector<SkinMesh> meshes) {
  image_ = std::move(image);
  meshes_ = std::move(meshes);
  if (highlight_) {
    const Face& face = *highlight_;
    if (face.mesh < 0 || static_cast<std::size_t>(face.mesh) >= meshes_.size() || face.face < 0 ||
        static_cast<std::size_t>(face.face) >= meshes_[static_cast<std::size_t>(face.mesh)].faces.size())
      highlight_.reset();
  }
  update();
}

void UvLayoutView::Clear() { SetLayout({}, {}); }

QRectF UvLayoutView::ImageRect() const {
  if (image_.isNull()) return {};
  // One scale for both axes keeps the bitmap's pixels square.
  const double scale = std::min(static_cast<double>(width()) / image_.width(),
                                static_cast<double>(height()) / image_.height());
  const QSizeF size(image_.width() * scale, image_.height() * scale);
  return {QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size};
}

std::optional<UvLayoutView::Face> UvLayoutView::FaceAt(QPointF pos) const {
  const QRectF drawn = ImageRect();
  if (drawn.isEmpty()) return std::nullopt;
  // The image's top-left corner is u = 0, v = 0, as the game reads it.
  const double u = (pos.x() - drawn.left()) / drawn.width(), v = (pos.y() - drawn.top()) / drawn.height();
  for (std::size_t m = 0; m < meshes_.size(); ++m)
    if (const auto face = FaceAtUv(meshes_[m], u, v)) return Face{static_cast<int>(m), *face};
  return std::nullopt;
}

void UvLayoutView::HighlightFace(std::optional<Face> face) {
  if (face == highlight_) return;
  highlight_ = face;
  update();
}

void UvLayoutView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (image_.isNull()) {
    painter.setPen(kText);
    painter.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap,
                     QStringLiteral("The UV layout shows where the model's faces lie on its bitmap once a model is open."));
    return;
  }
  const QRectF drawn = ImageRect();
  // Each bitmap pixel a sharp square: the painter sees the pixels they paint.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(drawn, image_);
  if (!highlight_) return;
  const SkinMesh& mesh = meshes_[static_cast<std::size_t>(highlight_->mesh)];
  QPolygonF corners;
  for (const int corner : mesh.faces[static_cast<std::size_t>(highlight_->face)]) {
    if (corner < 0 || static_cast<std::size_t>(corner) >= mesh.uvs.size()) return;
    const auto& uv = mesh.uvs[static_cast<std::size_t>(corner)];
    if (!std::isfinite(uv[0]) || !std::isfinite(uv[1])) return;
    corners << QPointF(drawn.left() + uv[0] * drawn.width(), drawn.top() + uv[1] * drawn.height());
  }
  painter.setRenderHint(QPainter::Antialiasing);
  QColor fill = PickedFaceColour();
  fill.setAlpha(115);
  painter.setBrush(fill);
  painter.setPen(QPen(PickedFaceColour(), 2));
  painter.drawPolygon(corners);
}

void UvLayoutView::mouseMoveEvent(QMouseEvent* event) {
  if (const auto face = FaceAt(event->position()); face != highlight_) {
    HighlightFace(face);
    emit FaceHovered(face);
  }
  QWidget::mouseMoveEvent(event);
}

void UvLayoutView::leaveEvent(QEvent* event) {
  if (highlight_) {
    HighlightFace(std::nullopt);
    emit FaceHovered(std::nullopt);
  }
  QWidget::leaveEvent(event);
}

}  // namespace mervane
