#include "import/obj_import.h"

#include "archive/far.h"
#include "files/line_reader.h"
#include "files/textfile.h"
#include "model/guard.h"

namespace mervane {

SkinModel ParseObjPart(std::string_view obj, const ImportRequest& request, const NormalsQuestion& ask) {
  return NamingFile(request.obj_path, [&] {
    SkinModel model;
    LineReader in(obj);
    model.MeshName = request.mesh_name;
    model.TextureName = request.texture_name;
    model.BoneCount = 1;
    model.BoneNames.set(0, request.attach_site);
    BuildSkeleton(model);
    const ObjLists lists = ReadObjGeometry(model, in, ask);
    model.TexVertexCount = model.VertexCount;
    model.NormalCount = model.VertexCount;
    model.BindingLines.set(0, "0 0 " + std::to_string(model.VertexCount) + " -1 0");
    BackTransform(model, lists);
    model.BlendCount = 0;
    model.SaveAsProjectFirst = false;
    return model;
  });
}

Outcome ImportObjPart(SkinModel& model, Prompts& prompts, const ImportRequest& request) {
  return LoadReported(model, prompts, request.obj_path, [&] {
    return ParseObjPart(ReadWholeFile(request.obj_path), request, AskThrough(prompts));
  });
}

}  // namespace mervane
