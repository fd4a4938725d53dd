#!/usr/bin/env bash
# The window's scan of the 2,000,000-line log, from Scan to the "Scan
# Finished" box, against tallowby-scan on the same file, in alternating runs
# of one process; the longest gap between two turns of the window's event
# loop, the collapse included; how soon a Stop posted half-way ends the
# reading. On Xvfb with a window manager, as on a desktop. Last line: the
# ratio and the longest gap.
#   bench/window-scan.sh [BUILD_DIR]      RUNS=5 LINES=2000000 by default
source "$(dirname "$0")/common.sh"
need "$scan" "$gen" "$window_bench"
lines=${LINES:-2000000}
log=$(make_log "window-$lines.log" --lines "$lines")
on_desktop "$window_bench" scan "$log" --cli "$scan" --runs "${RUNS:-5}"
