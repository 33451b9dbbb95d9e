#!/bin/sh
# Where the showcase's render time goes, in instructions (valgrind's callgrind: the machine's
# load does not move them). Counts inside renderSample only (no loading, BVH build or writing):
#   scripts/profile-render.sh [shade|path] [width height samples] [folder of tarvo-render]
# prints the split (Embree, the library, the host's services, the rest) and the largest items.
set -eu
cd "$(dirname "$0")/.."
mode=${1:-shade}
width=${2:-240}
height=${3:-136}
samples=${4:-16}
bin=${5:-build/dev/bin}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
valgrind -q --tool=callgrind --toggle-collect='tarvo::render::RenderHost::renderSample*' \
  --compress-strings=no --callgrind-out-file="$out/callgrind.out" \
  "$bin/tarvo-render" -W "$width" -H "$height" -s "$samples" -j 1 -q -m "$mode" \
  -o "$out/render.png"
/usr/bin/python3 scripts/render_profile_split.py "$out/callgrind.out" 20
