#!/usr/bin/env bash
# Builds the Debian package tallowby_<version>_amd64.deb in build-package/
# (or $1) and prints its path. The folder holds the programs alone (no tests,
# no benchmarks), built with Debian's hardening flags; CPack strips them and
# computes the package's dependencies from the libraries they link.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-package}
bash scripts/install-deps.sh

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLOWBY_GUI=ON \
  -DTALLOWBY_SANITIZE=OFF -DTALLOWBY_TESTS=OFF -DTALLOWBY_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" "${launcher[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"

cd "$dir"
rm -f tallowby_*.deb
cpack -G DEB >/dev/null
ls "$PWD"/tallowby_*.deb
