# tarvoShaders: the commands a developer and CI use. Every target installs the Debian packages
# it needs first (as root), then configures, builds and runs through the CMake presets.
#
#   make demo    the main job: build and render the showcase of every class to out/showcase.png
#   make test    the whole matrix: native, sanitizers (ASan+UBSan, TSan, a short fuzzing run),
#                i386, Windows i686 and x86-64 (CI)
#   make check   the native build and its tests only, for daily work
#   make bench   the benchmarks (make bench-check: and compare them with their budgets)
#   make fuzz    fuzz the shading entry points for FUZZ_SECONDS (default 600); new inputs go to
#                build/fuzz/corpus, inputs that break the contract to build/fuzz/artifacts
#   make format  clang-format every source file

SHELL := /bin/sh
PRESETS := dev asan tsan fuzz linux-i386 mingw-i686 mingw-x86_64
PRESET_TARGETS := $(addprefix preset-,$(PRESETS))
CCACHE := $(shell command -v ccache 2>/dev/null)
export CMAKE_CXX_COMPILER_LAUNCHER ?= $(CCACHE)
# Cache hits across clones in other folders: paths inside the tree are hashed relative to it.
export CCACHE_BASEDIR ?= $(CURDIR)
export CCACHE_NOHASHDIR ?= true
export WINEDEBUG ?= -all
export WINEDLLOVERRIDES ?= mscoree,mshtml=
FUZZ_SECONDS ?= 600

.PHONY: all deps check test demo bench bench-check fuzz format clean
.PHONY: $(PRESET_TARGETS) wine-prefix

all: check

deps:
	scripts/install-deps.sh

# Configure, build and test one preset (a static pattern rule: make skips implicit rules for
# phony targets, so a plain pattern rule would silently do nothing).
$(PRESET_TARGETS): preset-%:
	@echo "==> $* ($$(date +%T))"
	cmake --preset $* >/dev/null
	cmake --build --preset $*
	ctest --preset $*

check:
	scripts/install-deps.sh core renderer python
	$(MAKE) preset-dev

wine-prefix:
	@cmake/run-under-wine.sh cmd /c exit >/dev/null 2>&1 || true

test:
	scripts/install-deps.sh
	$(MAKE) preset-dev
	$(MAKE) preset-asan
	$(MAKE) preset-tsan
	$(MAKE) preset-fuzz
	$(MAKE) preset-linux-i386
	$(MAKE) preset-mingw-i686
	$(MAKE) wine-prefix
	$(MAKE) preset-mingw-x86_64
	@echo "==> make test: every preset passed"

demo:
	scripts/install-deps.sh core renderer
	cmake --preset dev >/dev/null
	cmake --build --preset dev --target tarvo-render tarvo-inspect
	mkdir -p out
	build/dev/bin/tarvo-render -o out/showcase.png
	@echo "==> make demo: the showcase is in out/showcase.png"

bench:
	scripts/install-deps.sh core renderer
	cmake --preset dev >/dev/null
	cmake --build --preset dev --target tarvo-bench
	build/dev/bin/tarvo-bench

fuzz:
	scripts/install-deps.sh core fuzz
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz
	mkdir -p build/fuzz/corpus build/fuzz/artifacts
	build/fuzz/bin/tarvo-fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	  -max_len=4096 -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/ \
	  build/fuzz/corpus tests/fuzz/corpus

bench-check:
	scripts/install-deps.sh core renderer
	cmake --preset dev >/dev/null
	cmake --build --preset dev --target tarvo-bench
	build/dev/bin/tarvo-bench --check-budgets --benchmark_min_time=0.2

format:
	find frame shadinglib materials lights environments host tools tests bench \
	  -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build out
