#!/usr/bin/env bash
# Configures and builds Tallowby out of source in build/ (or $1).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
# The defaults are given every time, so a build folder configured otherwise
# earlier comes back to the full program; later arguments override them.
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLOWBY_GUI=ON -DTALLOWBY_SANITIZE=OFF "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
