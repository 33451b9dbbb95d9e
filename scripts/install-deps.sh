#!/bin/sh
# Installs the Debian 12 packages a part of the build needs, when missing.
#   scripts/install-deps.sh [core] [cross] [renderer] [fuzz] [python] [slurm]  (no argument: all)
set -eu

core="cmake ninja-build g++ make pkg-config ccache libgtest-dev googletest libbenchmark-dev valgrind
      libcli11-dev nlohmann-json3-dev clang-format"
cross="g++-multilib qemu-user-static g++-mingw-w64-i686 g++-mingw-w64-x86-64
       binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 wine64"
renderer="libembree-dev libopenimageio-dev openimageio-tools libtbb-dev libtinyobjloader-dev
          libtinygltf-dev nlohmann-json3-dev libcli11-dev fonts-dejavu-core"
fuzz="clang libclang-rt-14-dev"
python="python3-dev pybind11-dev python3-numpy python3-matplotlib python3-pytest python3-jsonschema"
# The render-farm test brings up a single-node cluster (daemons and clients) with its own key.
slurm="slurm-wlm munge"

groups=${*:-core cross renderer fuzz python slurm}
wanted=""
for group in $groups; do
  case $group in
    core) wanted="$wanted $core" ;;
    cross) wanted="$wanted $cross" ;;
    renderer) wanted="$wanted $renderer" ;;
    fuzz) wanted="$wanted $fuzz" ;;
    python) wanted="$wanted $python" ;;
    slurm) wanted="$wanted $slurm" ;;
    *) echo "install-deps: unknown group '$group' (core, cross, renderer, fuzz, python, slurm)" >&2; exit 2 ;;
  esac
done

missing=""
for package in $wanted; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $package"
  fi
done
[ -z "$missing" ] && exit 0

echo "install-deps: installing$missing"
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: these Debian packages are missing; run as root or install them:$missing" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
# shellcheck disable=SC2086
apt-get install -y -q $missing
