#!/bin/sh
# Where the showcase's render time goes, in instructions (valgrind's callgrind: the machine's
# load does not move them). Counts inside renderSample only (no loading, BVH build or writing):
#   scripts/profile-render.sh [shade|path] [width height samples] [folder of tarvo-render] [library]
# prints the split (Embree, the library, the host's services, the rest) and the largest items.
# A library given last is loaded instead of the one beside tarvo-render, so two builds of the
# library are compared under one host.
set -eu
cd "$(dirname "$0")/.."
mode=${1:-shade}
width=${2:-240}
height=${3:-136}
samples=${4:-16}
bin=${5:-build/dev/bin}
library=${6:-$bin/libtarvoShaders.so}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# valgrind 3.19 tells the program its processor has RDTSCP and then cannot run it: libhwy (which
# OpenImageIO loads through libjxl) times it in a static initialiser before main and stops with
# SIGILL. The timer's resolution serves none of the render, so a stand-in answers instead.
cat >"$out/hwy_timer.c" <<'STANDIN'
#include <stdint.h>
uint64_t _ZN3hwy8platform15TimerResolutionEv(void) { return 1; }
STANDIN
cc -shared -fPIC -o "$out/hwy_timer.so" "$out/hwy_timer.c"
LD_PRELOAD="$out/hwy_timer.so" valgrind -q --tool=callgrind --toggle-collect='tarvo::render::RenderHost::renderSample*' \
  --compress-strings=no --callgrind-out-file="$out/callgrind.out" \
  "$bin/tarvo-render" -W "$width" -H "$height" -s "$samples" -j 1 -q -m "$mode" \
  --library "$library" -o "$out/render.png"
/usr/bin/python3 scripts/render_profile_split.py "$out/callgrind.out" 20
