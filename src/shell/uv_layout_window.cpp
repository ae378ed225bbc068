// The main window's View > UV Layout: the texture template of what is
// shown, beside the 3-D view, a face hovered in either picked out in both.
#include <QAction>
#include <QMenu>
#include <QSplitter>
#include <QStatusBar>
#include <algorithm>

#include "model/failure.h"
#include "shell/character_panel.h"
#include "shell/main_window.h"
#include "shell/preview_widget.h"
#include "shell/settings.h"
#include "shell/uv_layout_view.h"
#include "template/texture_template.h"

namespace mervane {
namespace {

constexpr const char* kUvLayoutSetting = "view/uvLayout";

QImage ToQImage(const Image& image) {
  return QImage(image.rgba.data(), image.width, image.height, image.width * 4, QImage::Format_RGBA8888).copy();
}

}  // namespace

void frmMain::SetUpUvLayout(QMenu* view, QAction* before, QSplitter* beside) {
  uv_layout_ = new UvLayoutView(beside);
  beside->addWidget(uv_layout_);
  beside->setStretchFactor(0, 3);
  beside->setStretchFactor(1, 2);
  uv_layout_action_ = new QAction("&UV Layout", this);
  view->insertAction(before, uv_layout_action_);
  uv_layout_action_->setObjectName("mnuUvLayout");
  uv_layout_action_->setShortcut(QKeySequence("U"));
  uv_layout_action_->setCheckable(true);
  uv_layout_action_->setStatusTip("Show where the model's faces lie on its bitmap, beside the 3-D view");
  const QVariant kept = Settings().value(kUvLayoutSetting);
  uv_layout_action_->setChecked(kept.canConvert<bool>() && kept.toBool());
  uv_layout_->setVisible(uv_layout_action_->isChecked());
  connect(uv_layout_action_, &QAction::toggled, this, [this, beside](bool on) {
    Settings().setValue(kUvLayoutSetting, on);
    uv_layout_->setVisible(on);
    if (!on) return;
    // A splitter gives a widget shown again only its least width: two
    // fifths of the room, unless the user made it wider. The splitter's own
    // share is asked, since a widget never laid out keeps a default width.
    const int room = beside->width();
    if (beside->sizes().value(beside->indexOf(uv_layout_)) < room / 4)
      beside->setSizes({room - room * 2 / 5, room * 2 / 5});
    RefreshUvLayout();
  });

  // A face hovered in one view is picked out in the other: the layout's
  // meshes are the template's, the 3-D view's faces the scene's parts' (or
  // the model's, drawn alone).
  connect(uv_layout_, &UvLayoutView::FaceHovered, this, [this](std::optional<UvLayoutView::Face> face) {
    std::optional<PreviewWidget::DrawnFace> drawn;
    if (face && face->mesh >= 0 && static_cast<std::size_t>(face->mesh) < uv_parts_.size()) {
      if (!preview_->DrawsCharacter()) {
        if (face->mesh == 0) drawn = PreviewWidget::DrawnFace{PreviewWidget::kModelAlone, face->face};
      } else if (const int part = uv_parts_[static_cast<std::size_t>(face->mesh)]; part >= 0) {
        drawn = PreviewWidget::DrawnFace{part, face->face};
      }
    }
    preview_->HighlightFace(drawn);
  });
  connect(preview_, &PreviewWidget::FaceHovered, this, [this](std::optional<PreviewWidget::DrawnFace> drawn) {
    std::optional<UvLayoutView::Face> face;
    if (drawn) {
      // The model drawn alone is the layout's first mesh.
      const auto found = drawn->part == PreviewWidget::kModelAlone
                             ? uv_parts_.begin()
                             : std::find(uv_parts_.begin(), uv_parts_.end(), drawn->part);
      if (found != uv_parts_.end()) face = UvLayoutView::Face{static_cast<int>(found - uv_parts_.begin()), drawn->face};
    }
    uv_layout_->HighlightFace(face);
  });
  // What changes the template: a part, tone, bitmap or skeleton (which
  // decides whether the character's bitmap or the model's is shown), and a
  // file read again; an open or a View > Texture call it themselves.
  connect(character_panel_, &CharacterPanel::SceneChanged, this, &frmMain::RefreshUvLayout);
  connect(this, &frmMain::FollowedFilesReloaded, this, &frmMain::RefreshUvLayout);
}

void frmMain::RefreshUvLayout() {
  if (!uv_layout_action_ || !uv_layout_action_->isChecked()) return;  // not yet made, or off
  try {
    TemplateMeshes shown = ShownTemplateMeshes();
    if (shown.meshes.empty()) {
      uv_parts_.clear();
      uv_layout_->Clear();
      return;
    }
    TemplateOptions options;
    try {
      options.over = TemplateGround(shown);
    } catch (const Failure& failure) {
      // The lines still help on a plain ground; the status bar says why.
      statusBar()->showMessage(QString::fromStdString("The UV layout shows no bitmap: " + failure.detail()));
    }
    const Image image = TextureTemplate(shown.meshes, options);
    uv_parts_ = std::move(shown.parts);
    uv_layout_->SetLayout(ToQImage(image), std::move(shown.meshes));
  } catch (const Failure& failure) {
    uv_parts_.clear();
    uv_layout_->Clear();
    statusBar()->showMessage(QString::fromStdString("The UV layout cannot be drawn: " + failure.detail()));
  }
}

}  // namespace mervane
