#!/usr/bin/env bash
# Configures and builds Tallowby out of source in build/ (or $1).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
# The defaults are given every time, so a build folder configured otherwise
# earlier comes back to the full program; later arguments override them.
# ccache, where installed, keeps compiled objects across build folders and
# clones (paths below this folder are taken as relative, and the build
# folder's own path is left out of the debug-information hash).
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
  export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLOWBY_GUI=ON -DTALLOWBY_SANITIZE=OFF \
  "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
