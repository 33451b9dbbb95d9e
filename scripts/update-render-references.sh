#!/bin/sh
# Renders every scene of tests/renderer/scenes into tests/renderer/references (EXR for the
# comparison, PNG to look at). Run it after a shader class changes what it draws, look at the
# PNGs, and commit both with the change:
#   scripts/update-render-references.sh [folder of tarvo-render, default build/dev/bin]
set -eu
cd "$(dirname "$0")/.."
bin=${1:-build/dev/bin}
for scene in tests/renderer/scenes/*.json; do
  name=$(basename "$scene" .json)
  "$bin/tarvo-render" "$scene" -q -o "tests/renderer/references/$name.exr"
  "$bin/tarvo-render" "$scene" -q -o "tests/renderer/references/$name.png"
  echo "updated tests/renderer/references/$name (.exr, .png)"
done
