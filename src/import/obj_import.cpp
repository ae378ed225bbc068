#include "import/obj_import.h"

#include "model/guard.h"
#include "model/paths.h"
#include "model/skeleton.h"
#include "model/textfile.h"

namespace mervane {

Outcome ImportObjPart(SkinModel& model, Prompts& prompts, const ImportRequest& request,
                      NormalCheckState& state) {
  return RunGuarded(model, prompts, [&] {
    LineReader in(request.obj_path, ReadWholeFile(request.obj_path));
    ResetModel(model);
    model.MeshName = request.mesh_name;
    model.TextureName = request.texture_name;
    model.BoneCount = 1;
    model.BoneNames.set(0, request.attach_site);
    BuildSkeleton(model);
    const ObjLists lists = ReadObjGeometry(model, prompts, in, state);
    model.TexVertexCount = model.VertexCount;
    model.NormalCount = model.VertexCount;
    model.BindingLines.set(0, "0 0 " + std::to_string(model.VertexCount) + " -1 0");
    try {
      BackTransform(model, lists);
    } catch (const Failure& failure) {
      throw failure.At(FileNameOf(request.obj_path));
    }
    model.BlendCount = 0;
    model.SaveAsProjectFirst = false;
    model.ModelLoaded = true;
  });
}

}  // namespace mervane
