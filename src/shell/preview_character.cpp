// The preview's character view: the scene's parts skinned on its skeleton.
#include <QHelpEvent>
#include <QToolTip>

#include "shell/preview_widget.h"

namespace mervane {

void PreviewWidget::SetCharacter(const CharacterScene* scene) {
  character_ = scene;
  CharacterChanged(true);
}

bool PreviewWidget::DrawsCharacter() const {
  return character_ && character_->HasRig() && character_renderer_.HasParts();
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
