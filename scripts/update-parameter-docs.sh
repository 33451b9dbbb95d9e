#!/bin/sh
# Regenerates the parameter reference (docs/parameters.md) and the JSON Schema of scene files
# (scenes/scene.schema.json) from the class descriptions, with a build's tarvo-inspect.
#   scripts/update-parameter-docs.sh [build folder, default build/dev]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build/dev}
cmake --build "$build" --target tarvo-inspect tarvoShaders
inspect="$build/bin/tarvo-inspect"
"$inspect" --markdown > docs/parameters.md.new
"$inspect" --scene-schema > scenes/scene.schema.json.new
mv docs/parameters.md.new docs/parameters.md
mv scenes/scene.schema.json.new scenes/scene.schema.json
echo "update-parameter-docs: wrote docs/parameters.md and scenes/scene.schema.json"
