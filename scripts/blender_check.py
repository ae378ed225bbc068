"""The .glb round trip in Blender, with its default glTF import and export.

Run by scripts/blender-check.sh inside Blender:
    blender -b --factory-startup --python scripts/blender_check.py -- CONVERTER REAL_DIR WORK_DIR

1. imports a .glb of the Ross meshes (suits, skeleton and a walk) and checks
   the armature's bones and each mesh's vertex groups;
2. exports it unchanged, converts it back and compares the skins byte for
   byte with the game's;
3. subdivides faces of the body, deletes vertices and moves some, exports,
   converts back, and checks the vertex count, each vertex's bone, and that
   the skin opens and saves again;
4. plays a frame of the walk and compares the posed meshes with
   mervane-convert --pose at that frame;
5. keys a new animation at 24 frames a second, exports it, makes a skill of
   it and compares --pose of the skill with Blender's pose at three times.
"""
import os
import shutil
import subprocess
import sys

# Debian's numpy 1.24 no longer has numpy.bool, which Blender 3.4's glTF
# add-on still uses; the alias goes back before any import runs.
import numpy

if "bool" not in numpy.__dict__:
    numpy.bool = bool

import bmesh  # noqa: E402
import bpy  # noqa: E402
from mathutils import Vector, kdtree  # noqa: E402

converter, real, work = sys.argv[sys.argv.index("--") + 1:]
SUITS = ["B002MAFit_01.cmx", "C001MA_Ross.cmx", "HMLO.cmx", "HMRO.cmx"]
SKILL = "ross-walking-loop.cmx:a2o-walking-loop"
FRAME = 10
BODY = "xskin-b002mafit_01-PELVIS-BODY"
failures = []


def check(ok, what):
    print(("ok      " if ok else "FAILED  ") + what)
    if not ok:
        failures.append(what)


def run(*args):
    result = subprocess.run([converter, *args], cwd=work, capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit("blender-check: mervane-convert %s failed:\n%s%s" % (" ".join(args), result.stdout, result.stderr))
    return result.stdout


def skin(path):
    """A .skn's bone names, bound-vertex bones and counts."""
    lines = open(path, "rb").read().decode("latin-1").splitlines()
    bones = lines[3:3 + int(lines[2])]
    at = 3 + len(bones)
    at += 1 + int(lines[at])
    bindings = [[int(float(x)) for x in line.split()] for line in lines[at + 1:at + 1 + int(lines[at])]]
    at += 1 + len(bindings)
    bound = int(lines[at])
    at += 1 + bound
    blended = int(lines[at])
    blends = [[int(float(x)) for x in line.split()] for line in lines[at + 1:at + 1 + blended]]
    bone_of = [None] * bound
    for index, first, count, _, _ in bindings:
        for v in range(first, first + count):
            bone_of[v] = bones[index]
    pull = {target: weight / 32768 for target, weight in blends}
    return {"bones": bones, "bound": bound, "blended": blended, "bone_of": bone_of, "pull": pull}


def obj_blocks(path):
    """Each o block's vertices of a posed .obj, by mesh name."""
    blocks, name = {}, None
    for line in open(path):
        if line.startswith("o "):
            name = line[2:].strip()
            blocks[name] = []
        elif line.startswith("v "):
            blocks[name].append(Vector([float(x) for x in line.split()[1:4]]))
    return blocks


def meshes():
    return {o.name: o for o in bpy.data.objects if o.type == "MESH"}


def gltf_axes(v):
    """Blender's Z-up world in glTF's (and the posed .obj's) Y-up axes."""
    return Vector((v.x, v.z, -v.y))


def rest_tree(obj):
    """A mesh's vertices at rest, in glTF's axes, to find by place."""
    tree = kdtree.KDTree(len(obj.data.vertices))
    for v in obj.data.vertices:
        tree.insert(gltf_axes(obj.matrix_world @ v.co), v.index)
    tree.balance()
    return tree


def two_bones(obj):
    """The vertices weighted to more than one bone."""
    return {v.index for v in obj.data.vertices if sum(1 for g in v.groups if g.weight > 0) > 1}


def reset():
    bpy.ops.wm.read_factory_settings(use_empty=True)
    # glTF keys are in seconds; at 30 a second Blender's frame N is the game's.
    bpy.context.scene.render.fps = 30


def export(name):
    path = os.path.join(work, name)
    bpy.ops.export_scene.gltf(filepath=path)
    return path


# 1. Import.
for name in os.listdir(real):
    shutil.copy(os.path.join(real, name), work)
print(run("--skeleton", "adult-skeleton.cmx", "--animation", SKILL, *SUITS, "ross.glb"), end="")
reset()
bpy.ops.import_scene.gltf(filepath=os.path.join(work, "ross.glb"))
skeleton_bones = [line.strip() for line in open(os.path.join(work, "adult-skeleton.cmx"))]
armatures = [o for o in bpy.data.objects if o.type == "ARMATURE"]
check(len(armatures) == 1, "1. one armature")
bone_names = sorted(b.name for b in armatures[0].data.bones)
skins = {}
for name in os.listdir(work):
    if name.lower().startswith("xskin-") and name.endswith(".skn"):
        s = skin(os.path.join(work, name))
        skins[open(os.path.join(work, name), "rb").read().split(b"\r\n")[0].decode()] = (name, s)
check(len(bone_names) == 29 and all(b in skeleton_bones for b in bone_names),
      "1. the armature's 29 bones are the skeleton's: " + " ".join(bone_names[:6]) + " ...")
check(sorted(meshes()) == sorted(skins), "1. the meshes are the four skins: " + ", ".join(sorted(meshes())))
for name, obj in sorted(meshes().items()):
    weighted = set()
    for v in obj.data.vertices:
        weighted.update(obj.vertex_groups[g.group].name for g in v.groups if g.weight > 0)
    bones = set(skins[name][1]["bones"])
    check(weighted <= set(bone_names) and weighted >= set(skins[name][1]["bone_of"]) and weighted <= bones,
          "1. %s: its vertices are weighted to %d of its %d bones' vertex groups" % (name, len(weighted), len(bones)))

# 4. A frame of the walk (before anything is edited), against the game's
# posing: of the game's skins, and of the skins the .glb holds (read back
# without the game's beside it). The two differ on vertices with two bones:
# the game mixes two places, one per bone, a .glb's vertex has one place
# that both bones move (Blender, like every glTF program, blends linearly).
bpy.context.scene.frame_set(FRAME)
depsgraph = bpy.context.evaluated_depsgraph_get()
os.makedirs(os.path.join(work, "bare"), exist_ok=True)
shutil.copy(os.path.join(work, "ross.glb"), os.path.join(work, "bare"))
run("--skeleton", "adult-skeleton.cmx", "--to", "skn", "--out", "bare", os.path.join("bare", "ross.glb"))
bare = [os.path.join("bare", name + ".skn") for name in sorted(skins)]
pose = ["--pose", "--skeleton", "adult-skeleton.cmx"]
walk_at = ["--animation", SKILL, "--frame", str(FRAME)]
run(*pose, *SUITS, "rest.obj")
run(*pose, *walk_at, *SUITS, "walk.obj")
run(*pose, *bare, "bare-rest.obj")
run(*pose, *walk_at, *bare, "bare-walk.obj")
blocks = {name: obj_blocks(os.path.join(work, name)) for name in ("rest.obj", "walk.obj", "bare-rest.obj", "bare-walk.obj")}
for name, obj in sorted(meshes().items()):
    tree = rest_tree(obj)
    evaluated = obj.evaluated_get(depsgraph).to_mesh()
    two = two_bones(obj)

    def worst(rest, walk, which):
        out = 0.0
        for k, place in enumerate(blocks[rest][name]):
            _, index, _ = tree.find(place)
            if which(index):
                posed = gltf_axes(obj.matrix_world @ evaluated.vertices[index].co)
                out = max(out, (posed - blocks[walk][name][k]).length)
        return out

    one_bone = worst("rest.obj", "walk.obj", lambda i: i not in two)
    held = worst("bare-rest.obj", "bare-walk.obj", lambda i: True)
    mixed = worst("rest.obj", "walk.obj", lambda i: i in two)
    check(one_bone <= 1e-4 and held <= 1e-4,
          "4. %s at frame %d: within %.1e of --pose (vertices of one bone), %.1e of --pose of the skin "
          "the .glb holds (all); two-bone vertices %.1e from the game's mix" % (name, FRAME, one_bone, held, mixed))
bpy.context.scene.frame_set(0)

# 2. Exported unchanged and converted back: the game's own bytes.
export("unchanged.glb")
os.makedirs(os.path.join(work, "back"), exist_ok=True)
print(run("--to", "skn", "--out", "back", "unchanged.glb"), end="")
for mesh, (file_name, _) in sorted(skins.items()):
    back = os.path.join(work, "back", mesh + ".skn")
    same = os.path.exists(back) and open(back, "rb").read() == open(os.path.join(real, file_name), "rb").read()
    check(same, "2. %s: byte for byte the game's %s" % (mesh, file_name))

# 3. Edited: faces subdivided, vertices deleted and moved. The game's
# meshes hold twins at their hard edges (one place, two normals); the faces
# subdivided are away from them, so that each new vertex is one of its own
# (twins alike in everything would be one vertex of the skin).
body = meshes()[BODY]
bpy.context.view_layer.objects.active = body
bpy.ops.object.mode_set(mode="EDIT")
edit = bmesh.from_edit_mesh(body.data)
edit.faces.ensure_lookup_table()
edit.verts.ensure_lookup_table()
places = {}
for v in edit.verts:
    places.setdefault(tuple(round(c, 5) for c in v.co), []).append(v.index)
lone = [f for f in edit.faces if all(len(places[tuple(round(c, 5) for c in v.co)]) == 1 for v in f.verts)]
bmesh.ops.subdivide_edges(edit, edges=list({e for f in lone[:10] for e in f.edges}), cuts=1, use_grid_fill=True)
edit.verts.ensure_lookup_table()
bmesh.ops.delete(edit, geom=[edit.verts[i] for i in (5, 50, 150)], context="VERTS")
edit.verts.ensure_lookup_table()
for i in (20, 60, 200):
    edit.verts[i].co.z += 0.05
bmesh.update_edit_mesh(body.data)
bpy.ops.object.mode_set(mode="OBJECT")
# Vertices left without a face by the deletion are not exported (glTF has
# no loose vertices).
expected_count = len({v for p in body.data.polygons for v in p.vertices})
export("edited.glb")
os.makedirs(os.path.join(work, "edited"), exist_ok=True)
print(run("--to", "skn", "--out", "edited", "edited.glb"), end="")
edited_path = os.path.join(work, "edited", BODY + ".skn")
edited = skin(edited_path)
check(edited["bound"] == expected_count,
      "3. the edited body has Blender's %d vertices (%d before)" % (expected_count, skins[BODY][1]["bound"]))
run("--pose", "--skeleton", "adult-skeleton.cmx", os.path.join("edited", BODY + ".skn"), "edited.obj")
places = obj_blocks(os.path.join(work, "edited.obj"))[BODY]
tree = rest_tree(body)
wrong, far = 0, 0.0
for k, place in enumerate(places):
    _, index, distance = tree.find(place)
    far = max(far, distance)
    groups = sorted((g for g in body.data.vertices[index].groups if g.weight > 0), key=lambda g: -g.weight)
    names = [body.vertex_groups[g.group].name for g in groups]
    # Its bone is its heaviest group; a game vertex whose blend weighs more
    # than its bone keeps the game's choice: the second.
    expected = names[1] if edited["pull"].get(k, 0) > 0.5 and len(names) > 1 else names[0]
    even = len(groups) > 1 and abs(groups[0].weight - groups[1].weight) < 1e-4
    wrong += edited["bone_of"][k] != expected and not (even and edited["bone_of"][k] in names[:2])
check(wrong == 0 and far < 1e-4,
      "3. every vertex has the bone Blender gave it (%d differ; places within %.1e)" % (wrong, far))
print(run("--info", os.path.join("edited", BODY + ".skn")).splitlines()[4])
run(os.path.join("edited", BODY + ".skn"), "resaved.bmf")
run("resaved.bmf", "resaved.skn")
run("resaved.skn", "resaved.spj")
check(skin(os.path.join(work, "resaved.skn"))["bound"] == expected_count,
      "3. the edited body opens and saves again (.skn, .bmf, .spj)")

# 5. A new animation keyed in Blender at 24 frames a second (rotations and
# a translation), exported and brought back as a skill: --pose of the skill
# against Blender's own pose at times both rates share.
reset()
bpy.context.scene.render.fps = 24
bpy.context.scene.frame_start = 0
bpy.ops.import_scene.gltf(filepath=os.path.join(work, "ross.glb"))
armature = [o for o in bpy.data.objects if o.type == "ARMATURE"][0]
# Only the new animation, from the rest pose: the walk would leave its pose
# on the bones the new one does not key.
for action in list(bpy.data.actions):
    bpy.data.actions.remove(action)
for pose_bone in armature.pose.bones:
    pose_bone.location = (0, 0, 0)
    pose_bone.rotation_quaternion = (1, 0, 0, 0)
    pose_bone.scale = (1, 1, 1)
armature.animation_data.action = bpy.data.actions.new("dance")
from mathutils import Quaternion  # noqa: E402
for frame, turn, lift in ((0, 0.0, 0.0), (12, 0.6, 0.1), (24, -0.4, 0.05)):
    for bone, axis in (("L_ARM", (0, 0, 1)), ("R_LEG1", (1, 0, 0)), ("SPINE", (0, 1, 0))):
        pose_bone = armature.pose.bones[bone]
        pose_bone.rotation_mode = "QUATERNION"
        pose_bone.rotation_quaternion = Quaternion(axis, turn)
        pose_bone.keyframe_insert("rotation_quaternion", frame=frame)
    armature.pose.bones["PELVIS"].location = (0, lift, 0)
    armature.pose.bones["PELVIS"].keyframe_insert("location", frame=frame)
bpy.context.scene.frame_end = 24
export("dance.glb")
print(run("--skeleton", "adult-skeleton.cmx", "--skill", "dance", "dance.glb", "dance.cmx"), end="")
for game_frame, blender_frame in ((5, 4), (15, 12), (25, 20)):
    run(*pose, "--animation", "dance.cmx:dance", "--frame", str(game_frame), *SUITS, "dance.obj")
    posed = obj_blocks(os.path.join(work, "dance.obj"))
    bpy.context.scene.frame_set(blender_frame)
    depsgraph = bpy.context.evaluated_depsgraph_get()
    far = 0.0
    for name, obj in sorted(meshes().items()):
        tree = rest_tree(obj)
        evaluated = obj.evaluated_get(depsgraph).to_mesh()
        two = two_bones(obj)
        for k, place in enumerate(blocks["rest.obj"][name]):
            _, index, _ = tree.find(place)
            if index not in two:
                far = max(far, (gltf_axes(obj.matrix_world @ evaluated.vertices[index].co) - posed[name][k]).length)
    check(far <= 1e-4, "5. the skill made from Blender's 24-a-second keys, frame %d: within %.1e of Blender's "
          "frame %d (vertices of one bone)" % (game_frame, far, blender_frame))

print("blender-check: %s" % ("all checks passed" if not failures else "%d checks FAILED" % len(failures)))
sys.exit(1 if failures else 0)
