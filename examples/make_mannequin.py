#!/usr/bin/env python3
"""Writes mannequin.skn: a box-figure skin on seven skeleton bones, with a few
blended vertices, for trying the program and as a test fixture."""
import math
import sys

# bone name, local box: x range (along the bone), half width in y and z
BONES = [
    ("PELVIS", (-0.10, 0.38), 0.30, 0.15),
    ("SPINE", (0.00, 1.25), 0.35, 0.18),
    ("HEAD", (0.02, 0.47), 0.15, 0.16),
    ("L_ARM", (0.05, 1.60), 0.07, 0.07),
    ("R_ARM", (0.05, 1.60), 0.07, 0.07),
    ("L_LEG", (0.00, 2.70), 0.10, 0.10),
    ("R_LEG", (0.00, 2.70), 0.10, 0.10),
]
# (bone index, corner of that bone's box) of each blended vertex
BLENDED = [(1, 0), (1, 1), (1, 2), (1, 3)]

# corners: index bits x, y, z -> sign (bit 0 low end of x, etc.)
CORNERS = [(sx, sy, sz) for sx in (0, 1) for sy in (0, 1) for sz in (0, 1)]
# triangles of a box over the corner numbering above, outward winding
BOX_FACES = [
    (0, 1, 3), (0, 3, 2),  # x low
    (4, 6, 7), (4, 7, 5),  # x high
    (0, 4, 5), (0, 5, 1),  # y low
    (2, 3, 7), (2, 7, 6),  # y high
    (0, 2, 6), (0, 6, 4),  # z low
    (1, 5, 7), (1, 7, 3),  # z high
]


def corner(box, c):
    (x0, x1), hy, hz = box
    sx, sy, sz = CORNERS[c]
    pos = (x1 if sx else x0, hy if sy else -hy, hz if sz else -hz)
    r = 1 / math.sqrt(3)
    nrm = tuple(r if s else -r for s in (sx, sy, sz))
    return pos, nrm


def main(out_path):
    lines = ["mannequin", "mannequin_skin", str(len(BONES))]
    lines += [name for name, *_ in BONES]
    vertices, uvs, faces, bindings = [], [], [], []
    blended_of = {}
    for b, (name, *box) in enumerate(BONES):
        first = len(vertices)
        for c in range(8):
            vertices.append(corner(box, c))
            uvs.append(((b + (c & 1) * 0.9) / len(BONES), (c >> 1) / 3))
        faces += [tuple(first + i for i in f) for f in BOX_FACES]
        mine = [k for k, (bone, _) in enumerate(BLENDED) if bone == b]
        blended_of[b] = (mine[0], len(mine)) if mine else (-1, 0)
        bindings.append(f"{b} {first} 8 {blended_of[b][0]} {blended_of[b][1]}")
    real = len(vertices)
    blends = []
    for k, (b, c) in enumerate(BLENDED):
        (p, n) = corner(BONES[b][1:], c)
        vertices.append(((p[0] - 0.05, p[1], p[2]), n))
        blends.append(f"{(b - 1) * 8 + c + 4} 16384")  # half towards the bone below
    lines += [str(len(faces))] + [f"{a} {b} {c}" for a, b, c in faces]
    lines += [str(len(BONES))] + bindings
    lines += [str(real)] + [f"{u:.6f} {v:.6f}" for u, v in uvs]
    lines += [str(len(blends))] + blends
    lines += [str(len(vertices))]
    lines += [" ".join(f"{x:.6f}" for x in p + n) for p, n in vertices]
    with open(out_path, "wb") as f:
        f.write("".join(l + "\r\n" for l in lines).encode("ascii"))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "mannequin.skn")
