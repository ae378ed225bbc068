// The preview's character view: the scene's parts skinned on its skeleton
// (the game pose), or the model alone as its project's .obj holds it (the
// modelling pose); and what lies under the cursor.
#include <QHelpEvent>
#include <QToolTip>
#include <QVector4D>

#include "scene/picking.h"
#include "shell/preview_widget.h"

namespace mervane {

void PreviewWidget::SetCharacter(const CharacterScene* scene) {
  character_ = scene;
  CharacterChanged(true);
}

bool PreviewWidget::DrawsCharacter() const {
  return pose_ == ViewPose::Game && character_ && character_->HasRig() && character_renderer_.HasParts();
}

void PreviewWidget::SetPose(ViewPose pose) {
  if (pose == pose_) return;
  const bool was = DrawsCharacter();
  pose_ = pose;
  ShowPage();
  // The arms move: what fits one pose is cut off in the other. The camera
  // keeps its direction.
  if (was != DrawsCharacter())
    FrameAll();
  else
    Repaint();
}

QString PreviewWidget::PoseCaption() const {
  if (DrawsCharacter()) return QStringLiteral("Game pose");
  if (!HasModel()) return {};
  const QString modelling = QStringLiteral("Modelling pose (as in the project's .obj)");
  if (pose_ == ViewPose::Modelling) return modelling;
  // The game pose was asked for, but nothing stands on a skeleton: say why
  // the arms are out.
  return modelling + (character_ && character_->HasRig()
                          ? QStringLiteral("; no part fits the skeleton for the game pose")
                          : QStringLiteral("; no skeleton for the game pose"));
}

std::vector<std::array<float, 3>> PreviewWidget::ModelVertices() const {
  std::vector<std::array<float, 3>> positions;
  positions.reserve(vertices_.size() / 8);
  for (std::size_t k = 0; k + 8 <= vertices_.size(); k += 8)
    positions.push_back({vertices_[k], vertices_[k + 1], vertices_[k + 2]});
  return positions;
}

void PreviewWidget::CharacterPosed(std::optional<float> seams) {
  if (!character_) return;
  character_renderer_.SetPose(*character_);
  std::vector<std::array<float, 3>> marks;
  if (seams) marks = character_->SeamGapPoints(*seams);
  character_renderer_.SetMarks(std::move(marks));
  Repaint();
}

QString PreviewWidget::BoneAt(const QPoint& pos) const {
  if (!DrawsCharacter() || !overlay_) return {};
  const QMatrix4x4 mvp = Camera().ProjectionMatrix() * Camera().ViewMatrix();
  QString nearest;
  double best = 8.0 * 8.0;  // pixels, squared
  for (const auto& bone : character_renderer_.bone_labels()) {
    const QVector4D clip = mvp * QVector4D(bone.origin, 1.0f);
    if (clip.w() <= 0) continue;
    const QSize view = ViewSize();
    const double x = (clip.x() / clip.w() + 1) / 2 * view.width(), y = (1 - clip.y() / clip.w()) / 2 * view.height();
    const double d = (x - pos.x()) * (x - pos.x()) + (y - pos.y()) * (y - pos.y());
    if (d < best) best = d, nearest = bone.name;
  }
  return nearest;
}

std::optional<PreviewWidget::DrawnFace> PreviewWidget::FaceAt(QPointF pos) const {
  const QSize view = ViewSize();
  if (view.isEmpty() || (!HasModel() && !DrawsCharacter())) return std::nullopt;
  // The ray from the near plane to the far one through the pixel, in the
  // drawn axes.
  bool invertible = false;
  const QMatrix4x4 unproject = (Camera().ProjectionMatrix() * Camera().ViewMatrix()).inverted(&invertible);
  if (!invertible) return std::nullopt;
  const float x = static_cast<float>(2 * pos.x() / view.width() - 1);
  const float y = static_cast<float>(1 - 2 * pos.y() / view.height());
  // Not "near" and "far": Windows' headers make those words macros.
  const QVector4D front = unproject * QVector4D(x, y, -1, 1), back = unproject * QVector4D(x, y, 1, 1);
  if (front.w() == 0 || back.w() == 0) return std::nullopt;
  const QVector3D from = front.toVector3DAffine(), towards = back.toVector3DAffine() - from;
  auto vec = [](const QVector3D& v) { return Vec3{v.x(), v.y(), v.z()}; };
  if (!DrawsCharacter()) {
    const auto hit = FirstHit(world_.positions, world_.triangles, vec(from), vec(towards));
    if (!hit) return std::nullopt;
    return DrawnFace{kModelAlone, world_.faces[static_cast<std::size_t>(hit->triangle)]};
  }
  // The parts are skinned in the game's axes, the mirror of the drawn ones.
  const Vec3 origin = MirrorX(vec(from)), direction = MirrorX(vec(towards));
  const std::vector<SkinnedMesh> skinned = character_->Skinned();
  const auto& parts = character_->parts();
  std::optional<DrawnFace> nearest;
  double best = 0;
  for (std::size_t p = 0; p < parts.size() && p < skinned.size(); ++p) {
    if (!parts[p].shown || !parts[p].dressed) continue;
    const auto hit = FirstHit(skinned[p].positions, parts[p].dressed->mesh.faces, origin, direction);
    if (hit && (!nearest || hit->distance < best)) {
      nearest = DrawnFace{static_cast<int>(p), hit->triangle};
      best = hit->distance;
    }
  }
  return nearest;
}

void PreviewWidget::HighlightFace(std::optional<DrawnFace> face) {
  if (face == highlight_) return;
  highlight_ = face;
  character_renderer_.SetHighlight(face && face->part != kModelAlone ? std::optional(std::array{face->part, face->face})
                                                                     : std::nullopt);
  Repaint();
}

void PreviewWidget::leaveEvent(QEvent* event) {
  if (highlight_) {
    HighlightFace(std::nullopt);
    emit FaceHovered(std::nullopt);
  }
  QWidget::leaveEvent(event);
}

bool PreviewWidget::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString bone = BoneAt(help->pos());
    if (bone.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), bone, this);
    }
    return true;
  }
  return QWidget::event(event);
}

}  // namespace mervane
