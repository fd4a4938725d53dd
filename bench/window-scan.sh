#!/usr/bin/env bash
# The desktop program's scan of the 2,000,000-line log as a user sees it:
# from a mouse click on Scan to the "Scan Finished" box mapped on the
# screen, against tallowby-scan on the same file, in alternating runs, the
# best of each; the longest gap between two turns of the window's event
# loop; how soon a click on Stop half-way ends the reading. On Xvfb with a
# window manager, as on a desktop. Last line: the ratio and the longest gap.
#   bench/window-scan.sh [BUILD_DIR]      RUNS=3 LINES=2000000 by default;
#   NO_BROWSER=1: the browser pane loads and draws nothing (what it costs)
source "$(dirname "$0")/common.sh"
need "$scan" "$gen" "$window_scan_bench"
lines=${LINES:-2000000}
log=$(make_log "window-$lines.log" --lines "$lines")
# The start page's host is looked up nowhere: the run reaches no network.
export QTWEBENGINE_CHROMIUM_FLAGS="--host-resolver-rules=MAP * ~NOTFOUND"
if [ "$(id -u)" -eq 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1  # the browser engine refuses its sandbox to root
fi
on_desktop "$window_scan_bench" "$log" --cli "$scan" --runs "${RUNS:-3}" \
  ${NO_BROWSER:+--no-browser}
