#!/bin/sh
# Records the instructions per entry-point call (valgrind's callgrind over the benchmarks'
# setups) in docs/instruction-counts.md, the figures `ctest -R instruction_counts` holds every
# entry point to. Run it after a change that makes entry points cheaper, or that adds a class or
# a benchmark setup (their rows read "no recorded figure" until then), and commit the table with
# the change:
#   scripts/update-instruction-counts.sh [folder of tarvo-bench, default build/dev/bin]
set -eu
cd "$(dirname "$0")/.."
bin=${1:-build/dev/bin}
"$bin/tarvo-bench" --record-instructions docs/instruction-counts.md
