#!/usr/bin/python3
"""Writes the renderer's small glTF sample: sample.gltf, sample.bin and the normal map inside it.

    scripts/make-gltf-sample.py [folder, default scenes/assets]

A checkered floor (dielectric, its base colour from checker.png beside the model), a rough gold
ball (metallic), a red box whose normal map is a PNG stored in the binary buffer (a buffer-view
image), a glass ball (KHR_materials_transmission) sharing the gold ball's vertex data, a camera
and two KHR_lights_punctual lights (a point and a spot). glTF is y-up; only the standard library
is used, so the files are the same on every machine.
"""
import json
import math
import os
import struct
import sys
import zlib


def png(width, height, rows):
    """An 8-bit RGB PNG from rows of (r, g, b) tuples, top row first."""
    raw = b"".join(b"\x00" + bytes(c for texel in row for c in texel) for row in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dome_normal_map(size=32, cells=4):
    """Tangent-space normals of a grid of round bumps, encoded as (n + 1) / 2."""
    rows = []
    cell = size / cells
    for y in range(size):
        row = []
        for x in range(size):
            dx = ((x + 0.5) % cell) / cell - 0.5
            dy = ((y + 0.5) % cell) / cell - 0.5
            slope = 1.2 if dx * dx + dy * dy < 0.16 else 0.0
            # A dome: the normal leans outwards. Image rows run downwards, the normal's y up.
            n = (dx * slope, -dy * slope, 1.0)
            length = math.sqrt(sum(c * c for c in n))
            row.append(tuple(int(round((c / length * 0.5 + 0.5) * 255)) for c in n))
        rows.append(row)
    return png(size, size, rows)


def sphere(stacks=16, slices=24):
    positions, normals, uvs, indices = [], [], [], []
    for i in range(stacks + 1):
        theta = math.pi * i / stacks
        for j in range(slices + 1):
            phi = 2.0 * math.pi * j / slices
            n = (math.sin(theta) * math.cos(phi), math.cos(theta), -math.sin(theta) * math.sin(phi))
            positions.append(n)
            normals.append(n)
            uvs.append((j / slices, i / stacks))
    for i in range(stacks):
        for j in range(slices):
            a = i * (slices + 1) + j
            b = a + slices + 1
            indices += [a, b, a + 1, a + 1, b, b + 1]
    return positions, normals, uvs, indices


def box():
    """A unit cube with a face per side, tangents along +u."""
    positions, normals, uvs, tangents, indices = [], [], [], [], []
    faces = [((1, 0, 0), (0, 0, -1)), ((-1, 0, 0), (0, 0, 1)), ((0, 1, 0), (1, 0, 0)),
             ((0, -1, 0), (1, 0, 0)), ((0, 0, 1), (1, 0, 0)), ((0, 0, -1), (-1, 0, 0))]
    for n, t in faces:
        b = (n[1] * t[2] - n[2] * t[1], n[2] * t[0] - n[0] * t[2], n[0] * t[1] - n[1] * t[0])
        base = len(positions)
        for u, v in ((0, 0), (1, 0), (1, 1), (0, 1)):
            # glTF's v runs down the image, so the bitangent points towards smaller v.
            su, sv = u - 0.5, 0.5 - v
            positions.append(tuple(0.5 * n[k] + su * t[k] + sv * b[k] for k in range(3)))
            normals.append(n)
            uvs.append((u, v))
            tangents.append(t + (1.0,))
        indices += [base, base + 2, base + 1, base, base + 3, base + 2]
    return positions, normals, uvs, tangents, indices


def floor(half=4.0, repeat=4.0):
    positions = [(-half, 0, half), (half, 0, half), (half, 0, -half), (-half, 0, -half)]
    normals = [(0, 1, 0)] * 4
    uvs = [(0, repeat), (repeat, repeat), (repeat, 0), (0, 0)]
    return positions, normals, uvs, [0, 1, 2, 0, 2, 3]


class Builder:
    FLOAT, UNSIGNED_SHORT, UNSIGNED_INT = 5126, 5123, 5125

    def __init__(self):
        self.data = bytearray()
        self.views, self.accessors = [], []

    def view(self, payload, target=None):
        while len(self.data) % 4:
            self.data.append(0)
        entry = {"buffer": 0, "byteOffset": len(self.data), "byteLength": len(payload)}
        if target:
            entry["target"] = target
        self.data += payload
        self.views.append(entry)
        return len(self.views) - 1

    def floats(self, rows, kind):
        payload = b"".join(struct.pack("<%df" % len(r), *r) for r in rows)
        accessor = {"bufferView": self.view(payload, 34962), "componentType": self.FLOAT,
                    "count": len(rows), "type": kind}
        if kind == "VEC3":
            accessor["min"] = [min(r[k] for r in rows) for k in range(3)]
            accessor["max"] = [max(r[k] for r in rows) for k in range(3)]
        self.accessors.append(accessor)
        return len(self.accessors) - 1

    def indices(self, values):
        wide = max(values) > 65535
        payload = struct.pack("<%d%s" % (len(values), "I" if wide else "H"), *values)
        self.accessors.append({"bufferView": self.view(payload, 34963), "count": len(values),
                               "componentType": self.UNSIGNED_INT if wide else self.UNSIGNED_SHORT,
                               "type": "SCALAR"})
        return len(self.accessors) - 1


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "scenes", "assets")
    b = Builder()

    p, n, uv, idx = floor()
    floor_prim = {"attributes": {"POSITION": b.floats(p, "VEC3"), "NORMAL": b.floats(n, "VEC3"),
                                 "TEXCOORD_0": b.floats(uv, "VEC2")},
                  "indices": b.indices(idx), "material": 0}
    p, n, uv, idx = sphere()
    ball_attributes = {"POSITION": b.floats(p, "VEC3"), "NORMAL": b.floats(n, "VEC3"),
                       "TEXCOORD_0": b.floats(uv, "VEC2")}
    ball_indices = b.indices(idx)
    p, n, uv, t, idx = box()
    box_prim = {"attributes": {"POSITION": b.floats(p, "VEC3"), "NORMAL": b.floats(n, "VEC3"),
                               "TEXCOORD_0": b.floats(uv, "VEC2"), "TANGENT": b.floats(t, "VEC4")},
                "indices": b.indices(idx), "material": 2}
    bumps = b.view(dome_normal_map())

    pitch = -math.atan2(2.4, 8.0)
    gltf = {
        "asset": {"version": "2.0", "generator": "tarvoShaders scripts/make-gltf-sample.py"},
        "extensionsUsed": ["KHR_lights_punctual", "KHR_materials_transmission",
                           "KHR_materials_ior"],
        "scene": 0,
        "scenes": [{"name": "sample", "nodes": [0, 1, 2, 3]}],
        "nodes": [
            {"name": "Floor", "mesh": 0},
            {"name": "Props", "translation": [0, 0, 0.5], "rotation": [0, 0.0871557, 0, 0.9961947],
             "children": [4, 5, 6]},
            {"name": "Camera", "camera": 0, "translation": [0, 3.0, 8.0],
             "rotation": [math.sin(pitch / 2), 0, 0, math.cos(pitch / 2)]},
            {"name": "Lamp", "translation": [-3, 4, 3],
             "extensions": {"KHR_lights_punctual": {"light": 0}}},
            {"name": "GoldBall", "mesh": 1, "translation": [-1.4, 0.7, 0], "scale": [0.7, 0.7, 0.7]},
            {"name": "RedBox", "mesh": 2, "translation": [0.3, 0.5, -0.6],
             "rotation": [0, 0.2588190, 0, 0.9659258]},
            {"name": "GlassBall", "mesh": 3, "translation": [1.5, 0.55, 0.4],
             "scale": [0.55, 0.55, 0.55],
             "children": [7]},
            {"name": "Spot", "translation": [0, 8, 0], "rotation": [-0.7071068, 0, 0, 0.7071068],
             "extensions": {"KHR_lights_punctual": {"light": 1}}},
        ],
        "cameras": [{"name": "view", "type": "perspective",
                     "perspective": {"yfov": 0.6, "aspectRatio": 4.0 / 3.0, "znear": 0.1}}],
        "extensions": {"KHR_lights_punctual": {"lights": [
            {"name": "lamp", "type": "point", "color": [1.0, 0.95, 0.9], "intensity": 40.0},
            {"name": "spot", "type": "spot", "color": [0.9, 0.95, 1.0], "intensity": 60.0,
             "spot": {"innerConeAngle": 0.15, "outerConeAngle": 0.3}},
        ]}},
        "meshes": [
            {"name": "floor", "primitives": [floor_prim]},
            {"name": "ball", "primitives": [{"attributes": ball_attributes,
                                             "indices": ball_indices, "material": 1}]},
            {"name": "box", "primitives": [box_prim]},
            {"name": "glassBall", "primitives": [{"attributes": ball_attributes,
                                                  "indices": ball_indices, "material": 3}]},
        ],
        "materials": [
            {"name": "Checker", "pbrMetallicRoughness": {
                "baseColorTexture": {"index": 0}, "baseColorFactor": [0.8, 0.8, 0.8, 1.0],
                "metallicFactor": 0.0, "roughnessFactor": 0.6}},
            {"name": "Gold", "pbrMetallicRoughness": {
                "baseColorFactor": [1.0, 0.71, 0.29, 1.0], "metallicFactor": 1.0,
                "roughnessFactor": 0.35}},
            {"name": "RedPlastic", "pbrMetallicRoughness": {
                "baseColorFactor": [0.7, 0.08, 0.05, 1.0], "metallicFactor": 0.0,
                "roughnessFactor": 0.4},
             "normalTexture": {"index": 1, "scale": 1.0}},
            {"name": "Glass", "pbrMetallicRoughness": {
                "baseColorFactor": [0.9, 1.0, 0.95, 1.0], "metallicFactor": 0.0,
                "roughnessFactor": 0.0},
             "extensions": {"KHR_materials_transmission": {"transmissionFactor": 1.0},
                            "KHR_materials_ior": {"ior": 1.5}}},
        ],
        "textures": [{"source": 0, "sampler": 0}, {"source": 1, "sampler": 0}],
        "samplers": [{"wrapS": 10497, "wrapT": 10497}],
        "images": [{"uri": "checker.png"},
                   {"bufferView": bumps, "mimeType": "image/png", "name": "bumps"}],
        "buffers": [{"uri": "sample.bin", "byteLength": 0}],
        "bufferViews": b.views,
        "accessors": b.accessors,
    }
    gltf["buffers"][0]["byteLength"] = len(b.data)
    with open(os.path.join(folder, "sample.bin"), "wb") as f:
        f.write(b.data)
    with open(os.path.join(folder, "sample.gltf"), "w") as f:
        json.dump(gltf, f, indent=1)
        f.write("\n")
    print("wrote %s/sample.gltf and sample.bin (%d bytes)" % (folder, len(b.data)))


if __name__ == "__main__":
    main()
