#!/usr/bin/python3
"""Renders the pictures of docs/recipes.md, or checks every recipe.

A recipe is the ```json block that follows its picture, ![...](recipe-NAME.png). Each is
written to a scratch folder whose `assets` is scenes/assets, as if it were saved in scenes/.

  scripts/render-recipes.py [--render build/dev/bin/tarvo-render]   writes docs/recipe-*.png
  scripts/render-recipes.py --check [--render ...]   validates each (--strict: no warning) and
                                                     renders it small; exit 1 naming the faults
"""
import argparse
import json
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
RECIPES = os.path.join(ROOT, "docs", "recipes.md")
PICTURE = re.compile(r"!\[[^\]]*\]\((recipe-[a-z0-9-]+)\.png\)")
BLOCK = re.compile(r"```json\n(.*?)```", re.S)


def recipes(text):
    """(name, scene text) for each picture followed by a json block before the next picture."""
    found = []
    pictures = list(PICTURE.finditer(text))
    for k, picture in enumerate(pictures):
        end = pictures[k + 1].start() if k + 1 < len(pictures) else len(text)
        block = BLOCK.search(text, picture.end(), end)
        found.append((picture.group(1), block.group(1) if block else None))
    return found


def run(command):
    done = subprocess.run(command, capture_output=True, text=True)
    return done.returncode, (done.stdout + done.stderr).strip()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--render", default=os.path.join(ROOT, "build/dev/bin/tarvo-render"),
                        help="the tarvo-render program (default: build/dev's)")
    parser.add_argument("--check", action="store_true",
                        help="validate and render each recipe small instead of writing pictures")
    args = parser.parse_args()

    with open(RECIPES, encoding="utf-8") as f:
        found = recipes(f.read())
    faults = []
    if len(found) < 8:
        faults.append(f"{RECIPES}: {len(found)} recipes, expected at least 8")
    with tempfile.TemporaryDirectory() as scratch:
        os.symlink(os.path.join(ROOT, "scenes", "assets"), os.path.join(scratch, "assets"))
        for name, scene in found:
            if scene is None:
                faults.append(f"{name}: no ```json block after its picture")
                continue
            try:
                json.loads(scene)
            except ValueError as error:
                faults.append(f"{name}: not JSON: {error}")
                continue
            path = os.path.join(scratch, name + ".json")
            with open(path, "w", encoding="utf-8") as f:
                f.write(scene)
            picture = os.path.join(ROOT, "docs", name + ".png")
            if not args.check:
                status, said = run([args.render, path, "-o", picture, "-q", "--strict"])
                print(f"{name}: " + ("wrote " + os.path.relpath(picture, ROOT) if status == 0
                                     else said), file=sys.stderr)
                if status != 0:
                    faults.append(f"{name}: {said}")
                continue
            status, said = run([args.render, "--validate", "--strict", "-q", path])
            if status != 0:
                faults.append(f"{name}: --validate --strict: {said}")
                continue
            small = os.path.join(scratch, name + ".png")
            status, said = run([args.render, path, "-o", small, "-W", "32", "-H", "18", "-s", "1",
                                "-q"])
            if status != 0 or not os.path.isfile(small):
                faults.append(f"{name}: render: {said}")
            if not os.path.isfile(picture):
                faults.append(f"{name}: docs/{name}.png is missing (run {sys.argv[0]})")
    for fault in faults:
        print(fault, file=sys.stderr)
    if args.check and not faults:
        print(f"{len(found)} recipes validate and render", file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
