"""The scene schema as a user's editor and the renderer's loader meet it.

Every example scene passes the schema; each deliberately broken scene fails both the schema
(checked by a real validator) and `tarvo-render --validate`, which must name the same setting
at the line where it stands. Run with Debian's python3 (python3-jsonschema); paths come from
TARVO_RENDER, TARVO_SCHEMA and TARVO_SCENE_FOLDERS (separated by the path separator).
"""
import glob
import json
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest

import jsonschema

RENDER = os.environ["TARVO_RENDER"]
SCHEMA_PATH = os.environ["TARVO_SCHEMA"]
SCENE_FOLDERS = os.environ["TARVO_SCENE_FOLDERS"].split(os.pathsep)

# One setting per line, so a complaint's line says which setting it is about.
BASE = """{
  "$schema": "scene.schema.json",
  "camera": {
    "position": [0, -6, 2],
    "lookAt": [0, 0, 1]
  },
  "settings": {
    "samples": 4,
    "exposure": 0,
    "mode": "shade"
  },
  "shaders": {
    "red": {
      "class": "quarra_Mtl_Ward",
      "parameters": {
        "u_diffuseColor": [0.8, 0.1, 0.1],
        "u_roughValue": 0.05,
        "maskingMode": 0
      }
    },
    "key": {"class": "qvPointLight", "parameters": {"attenuationFactors": [60, 2, 0]}},
    "sky": {
      "class": "quarra_Env_Default",
      "parameters": {
        "reflectionLatlong": {"generated": "sky"}
      }
    }
  },
  "objects": [
    {
      "type": "sphere",
      "radius": 1,
      "material": "red"
    }
  ],
  "lights": [
    {
      "shader": "key",
      "position": [-4, -5, 7]
    }
  ],
  "environment": "sky"
}
"""

# (what is wrong, the line as it stands in BASE, the line that replaces it, the setting named)
BROKEN = [
    ("misspelt parameter", '"u_diffuseColor": [0.8, 0.1, 0.1],',
     '"u_diffuseColour": [0.8, 0.1, 0.1],', "u_diffuseColour"),
    ("unknown class", '"class": "quarra_Mtl_Ward",', '"class": "quarra_Mtl_Wrad",',
     "quarra_Mtl_Wrad"),
    ("float given as a string", '"u_roughValue": 0.05,', '"u_roughValue": "rough",',
     "u_roughValue"),
    ("colour of two numbers", '"u_diffuseColor": [0.8, 0.1, 0.1],',
     '"u_diffuseColor": [0.8, 0.1],', "u_diffuseColor"),
    ("mode given as a fraction", '"maskingMode": 0', '"maskingMode": 1.5', "maskingMode"),
    ("misspelt setting", '"samples": 4,', '"sampels": 4,', "sampels"),
    ("exposure beyond its bounds", '"exposure": 0,', '"exposure": 100,', "exposure"),
    ("unknown render mode", '"mode": "shade"', '"mode": "trace"', "trace"),
    ("unknown object type", '"type": "sphere",', '"type": "cube",', "cube"),
    ("unknown generated texture", '"reflectionLatlong": {"generated": "sky"}',
     '"reflectionLatlong": {"generated": "clouds"}', "clouds"),
    ("misspelt camera key", '"lookAt": [0, 0, 1]', '"lookat": [0, 0, 1]', "lookat"),
    ("misspelt top-level key", '"environment": "sky"', '"environment": "sky", "lights2": []',
     "lights2"),
    ("material map on a sphere", '"radius": 1,', '"radius": 1, "materials": {},', "materials"),
]

# (what it shows, the line as it stands in BASE, the line that replaces it): accepted by both.
VALID = [
    ("the base scene as it stands", '"environment": "sky"', '"environment": "sky"'),
    ("generated flake normals, cubes from texels and from the generated sky",
     '"key": {"class": "qvPointLight", "parameters": {"attenuationFactors": [60, 2, 0]}},',
     '"key": {"class": "qvPointLight", "parameters": {"attenuationFactors": [60, 2, 0]}}, '
     '"paint": {"class": "XRite", "parameters": {"flakeNormalTexture": {"generated": "flakes"}, '
     '"diffuseCube": {"texels": [[1, 1, 1, 1]]}, "reflectCube": {"generated": "sky"}}},'),
]


def load_schema():
    with open(SCHEMA_PATH) as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    return jsonschema.Draft202012Validator(schema)


def validate_with_loader(path, quiet=True):
    started = time.monotonic()
    run = subprocess.run([RENDER, "--validate"] + (["-q"] if quiet else []) + [path],
                         capture_output=True, text=True)
    return run.returncode, run.stderr + run.stdout, time.monotonic() - started


class SceneSchemaTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.validator = load_schema()

    def test_every_example_scene_passes_the_schema_and_the_loader(self):
        scenes = []
        for folder in SCENE_FOLDERS:
            scenes += [p for p in sorted(glob.glob(os.path.join(folder, "*.json")))
                       if not p.endswith(".schema.json")]
        self.assertGreaterEqual(len(scenes), 5)
        for path in scenes:
            with self.subTest(scene=path):
                with open(path) as f:
                    errors = [e.message for e in self.validator.iter_errors(json.load(f))]
                self.assertEqual(errors, [])
                code, output, seconds = validate_with_loader(path, quiet=False)
                self.assertEqual(code, 0, output)
                # The reading itself, as the program reports it; the program's start (the
                # image library's dependencies) comes on top.
                read = re.search(r"valid \(.*\), read in ([0-9]+) ms", output)
                self.assertIsNotNone(read, output)
                self.assertLess(int(read.group(1)), 1000, "reading a small scene takes seconds")
                print(f"{os.path.basename(path)}: read in {read.group(1)} ms, "
                      f"{seconds * 1000:.0f} ms with the program's start", file=sys.stderr)

    def test_scene_variants_pass_the_schema_and_the_loader(self):
        with tempfile.TemporaryDirectory() as folder:
            for what, line, changed in VALID:
                with self.subTest(what):
                    self.assertEqual(BASE.count(line), 1, "the case's line must be unique")
                    text = BASE.replace(line, changed)
                    self.assertEqual(list(self.validator.iter_errors(json.loads(text))), [])
                    path = os.path.join(folder, "variant.json")
                    with open(path, "w") as f:
                        f.write(text)
                    code, output, _ = validate_with_loader(path)
                    self.assertEqual(code, 0, output)

    def test_broken_scenes_fail_the_schema_and_the_loader_at_the_same_setting(self):
        with tempfile.TemporaryDirectory() as folder:
            for what, line, broken, setting in BROKEN:
                with self.subTest(what):
                    self.assertEqual(BASE.count(line), 1, "the case's line must be unique")
                    text = BASE.replace(line, broken)
                    line_number = text.splitlines().index(
                        next(l for l in text.splitlines() if broken in l)) + 1
                    # The schema: invalid, and the best error names the setting in its
                    # location or its message.
                    error = jsonschema.exceptions.best_match(
                        self.validator.iter_errors(json.loads(text)))
                    self.assertIsNotNone(error, "the schema accepts it")
                    where = [str(p) for p in error.absolute_path]
                    self.assertTrue(setting in where or setting in error.message,
                                    f"schema complaint at {where}: {error.message[:200]}")
                    # The loader: exit 1, at that line, naming the setting.
                    path = os.path.join(folder, "broken.json")
                    with open(path, "w") as f:
                        f.write(text)
                    code, output, _ = validate_with_loader(path)
                    self.assertEqual(code, 1, output)
                    self.assertRegex(output, re.escape(path) + ":" + str(line_number) + ":[0-9]+: ")
                    self.assertIn(setting, output)


if __name__ == "__main__":
    unittest.main(verbosity=2)
