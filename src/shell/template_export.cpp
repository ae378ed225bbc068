// File > Export Texture Template…: where the shown parts' faces lie on the
// model's bitmap, as a PNG to paint by; and the choice of meshes and bitmap
// that View > UV Layout shows too.
#include <QImage>
#include <QStatusBar>
#include <algorithm>
#include <optional>

#include "archive/far.h"
#include "bitmap/bitmap.h"
#include "files/textfile.h"
#include "model/failure.h"
#include "model/paths.h"
#include "shell/main_window.h"
#include "shell/preview_widget.h"
#include "template/texture_template.h"

namespace mervane {
namespace {

Image FromQImage(const QImage& picture) {
  const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
  Image image{rgba.width(), rgba.height(), {}};
  const std::size_t row = static_cast<std::size_t>(rgba.width()) * 4;
  image.rgba.resize(row * static_cast<std::size_t>(rgba.height()));
  for (int y = 0; y < rgba.height(); ++y)
    std::copy_n(rgba.constScanLine(y), row, image.rgba.begin() + static_cast<long>(row * static_cast<std::size_t>(y)));
  return image;
}

}  // namespace

frmMain::TemplateMeshes frmMain::ShownTemplateMeshes() const {
  // The model as it is in memory, then the other shown parts drawn with
  // the same bitmap.
  TemplateMeshes shown;
  if (!model_.ModelLoaded) return shown;
  shown.meshes.push_back(MakeSkinMesh(model_));
  const auto& parts = character_.parts();
  const auto model = std::find_if(parts.begin(), parts.end(), [](const ScenePart& part) { return part.is_model; });
  shown.parts.push_back(model != parts.end() ? static_cast<int>(model - parts.begin()) : -1);
  shown.bitmap = model != parts.end() ? model->bitmap : std::string();
  const TemplateParts others = TemplatePartsOf(parts);
  for (const std::size_t p : others.with_model) {
    shown.meshes.push_back(*parts[p].mesh);
    shown.parts.push_back(static_cast<int>(p));
  }
  shown.elsewhere = others.elsewhere;
  return shown;
}

std::optional<Image> frmMain::TemplateGround(const TemplateMeshes& shown) const {
  // Under the lines, the bitmap the model is drawn with.
  if (preview_->DrawsCharacter() && !shown.bitmap.empty()) {
    const std::string bytes = ReadWholeFile(shown.bitmap);
    return NamingFile(shown.bitmap, [&] { return DecodeImage(bytes); });
  }
  if (preview_->HasTexture()) return FromQImage(preview_->Texture());
  return std::nullopt;
}

void frmMain::ExportTemplate() {
  TemplateMeshes shown;
  try {
    shown = ShownTemplateMeshes();
  } catch (const Failure& failure) {
    prompts_->ShowMessage("The texture template could not be made.", failure.detail());
    return;
  }
  const std::vector<SkinMesh>& meshes = shown.meshes;
  if (meshes.empty()) {
    statusBar()->showMessage("Export Texture Template needs a model: open a skin first");
    return;
  }
  const int elsewhere = shown.elsewhere;
  static const FilterList filters{{"PNG Image (*.png)", "*.png"}, {"All files (*.*)", "*"}};
  const auto choice = chooser_->ChooseSave("Export the Texture Template As PNG", filters,
                                           meshes.front().name + "-template.png", true);
  if (!choice || choice->path.empty()) return;
  std::string path = choice->path;
  if (ExtensionOf(path).empty()) path += ".png";
  try {
    TemplateOptions options;
    options.over = TemplateGround(shown);
    const Image image = TextureTemplate(meshes, options);
    WriteFileAtomically(path, PngBytes(image));
    Used(path);
    QString status = QStringLiteral("Exported the texture template of %1 (%2 x %3) to %4")
                         .arg(meshes.size() == 1 ? QStringLiteral("1 part") : QStringLiteral("%1 parts").arg(meshes.size()))
                         .arg(image.width)
                         .arg(image.height)
                         .arg(QString::fromStdString(FileNameOf(path)));
    if (elsewhere == 1) status += QStringLiteral("; 1 other part wears a bitmap of its own");
    if (elsewhere > 1) status += QStringLiteral("; %1 other parts wear bitmaps of their own").arg(elsewhere);
    statusBar()->showMessage(status);
  } catch (const Failure& failure) {
    prompts_->ShowMessage("The texture template could not be exported.", failure.detail());
  }
}

}  // namespace mervane
