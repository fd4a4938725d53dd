#!/usr/bin/env bash
# Draws docs/report.png: the report of the sample log, as headless Chromium
# (Debian's chromium) shows it. Usage: tools/screenshots/report.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$build/app/tallowby-scan" -d mysite.example --fields --quiet --format none \
  --report "$tmp/report.html" "$root/samples/access.log"
# No network: the page needs none, and the browser's own requests go nowhere.
chromium --headless --disable-gpu --no-sandbox --hide-scrollbars --no-first-run \
  --disable-background-networking --proxy-server=http://127.0.0.1:9 \
  --user-data-dir="$tmp/profile" --window-size=1000,1900 \
  --screenshot="$root/docs/report.png" "file://$tmp/report.html" 2>/dev/null
echo "$root/docs/report.png"
