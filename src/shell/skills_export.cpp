// File > Export Skills…: a glTF's animations back into the game's skills,
// as the converter's IN.glb SKILLS.cmx does.
#include <QStatusBar>

#include "files/textfile.h"
#include "formats/formats.h"
#include "gltf/glb_file.h"
#include "model/paths.h"
#include "shell/file_chooser.h"
#include "shell/main_window.h"

namespace mervane {

void frmMain::ExportSkills() {
  // The loaded .glb, else one the user picks.
  std::string source = model_.ModelLoaded ? model_.SourcePath : std::string();
  if (!IsRiggedPath(source)) {
    static const FilterList glb{{"glTF (*.glb *.gltf)", "*.glb *.gltf"}, {"All files (*.*)", "*"}};
    const auto chosen = chooser_->ChooseOpen("Export the Skills of a glTF", glb);
    if (!chosen || chosen->path.empty()) return;
    source = chosen->path;
  }
  static const FilterList filters{{"Skill files (*.cmx)", "*.cmx"}, {"Binary skill files (*.cmx.bcf)", "*.bcf"}};
  const auto choice = chooser_->ChooseSave("Export the Skills As", filters, FileNameOf(BasePathOf(source)) + ".cmx", true);
  if (!choice || choice->path.empty()) return;
  std::string target = choice->path;
  if (ExtensionOf(target).empty()) target += choice->filter == 1 ? ".cmx.bcf" : ".cmx";
  try {
    const std::vector<OutputFile> files = RenderSkillFiles(source, target, {}, {}, 0);
    std::vector<FileToWrite> writes;
    for (const OutputFile& file : files) writes.push_back({file.path, file.bytes});
    WriteFilesAtomically(writes);
    statusBar()->showMessage(QStringLiteral("Exported %1 skill%2 of %3 to %4")
                                 .arg(files.size() - 1)
                                 .arg(files.size() == 2 ? "" : "s")
                                 .arg(QString::fromStdString(FileNameOf(source)))
                                 .arg(QString::fromStdString(FileNameOf(target))));
  } catch (const Failure& failure) {
    prompts_->ShowMessage("The skills could not be exported.", failure.detail());
  }
}

}  // namespace mervane
