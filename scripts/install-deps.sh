#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Tallowby need.
# Packages already present are left alone; nothing is installed by hand.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-webengine-dev qt6-charts-dev libgl-dev
  xvfb xauth x11-utils openbox libxtst-dev hyperfine time
  xdg-utils
  clang libclang-rt-14-dev
  python3-distributed
  libisal-dev libzstd-dev libbz2-dev liblzma-dev libsimdjson-dev
  libre2-dev
  libyaml-cpp-dev
  gzip bzip2 xz-utils zstd
  dpkg-dev file lintian appstream desktop-file-utils man-db bash-completion
  qemu-user
  chromium
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q "${missing[@]}"
