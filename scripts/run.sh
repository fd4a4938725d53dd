#!/usr/bin/env bash
# Installs what is missing, builds Tallowby and starts it. Without a display
# it runs the command-line scanner on the sample log instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
if [ -x build/app/tallowby ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  [ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
  exec build/app/tallowby "$@"
fi
# The sample's referrers as its server wrote them: the referrer field of
# each line (the written rules would take pieces of user agents too).
echo "tallowby-scan --domain mysite.example --fields samples/access.log" \
  "(the referrer field of each line; leave out --fields for the written rules)" >&2
exec build/app/tallowby-scan --domain mysite.example --fields samples/access.log
