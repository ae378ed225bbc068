#pragma once

#include <QImage>
#include <QRectF>
#include <QWidget>
#include <optional>
#include <vector>

#include "pose/skinning.h"

namespace mervane {

// View > UV Layout: a texture template of what the window shows, scaled to
// fit with square pixels, and the face under the cursor (or the one hovered
// in the 3-D view) picked out on it. It draws what it is given; the window
// makes the template and pairs its faces with the 3-D view's.
class UvLayoutView : public QWidget {
  Q_OBJECT

 public:
  // A face of the layout: the face'th face of its mesh'th mesh.
  struct Face {
    int mesh = 0;
    int face = -1;
    bool operator==(const Face&) const = default;
  };

  explicit UvLayoutView(QWidget* parent = nullptr);

  // The template image and the meshes drawn on it, in the order faces are
  // named by; a picked-out face no longer there is let go.
  void SetLayout(QImage image, std::vector<SkinMesh> meshes);
  // Nothing to show: the view says so.
  void Clear();
  const QImage& image() const { return image_; }

  // Where the image lies in the view: as large as fits, upright, centred,
  // each of its pixels a square.
  QRectF ImageRect() const;
  // The face whose texture triangle lies under pos (the view's pixels), the
  // first mesh's first; none over the background or unused bitmap.
  std::optional<Face> FaceAt(QPointF pos) const;
  // Picks out a face (hovered in the 3-D view); none clears it. Says nothing.
  void HighlightFace(std::optional<Face> face);
  std::optional<Face> HighlightedFace() const { return highlight_; }

 signals:
  // The face under the cursor changed as the mouse moved over the view, or
  // left it.
  void FaceHovered(std::optional<UvLayoutView::Face> face);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QImage image_;
  std::vector<SkinMesh> meshes_;
  std::optional<Face> highlight_;
};

}  // namespace mervane
