#!/usr/bin/env bash
# The window's scan of the 1,000,000-line log against tallowby-scan on the
# same file, in alternating runs of one process; the longest gap between two
# events the window processed; how soon a Stop posted half-way ends the
# reading. Last line: the ratio and the longest gap.
#   bench/window-scan.sh [BUILD_DIR]      RUNS=5 by default
source "$(dirname "$0")/common.sh"
need "$scan" "$gen" "$window_bench"
log=$(make_log 1m.log --lines 1000000)
QT_QPA_PLATFORM=offscreen "$window_bench" scan "$log" --cli "$scan" --runs "${RUNS:-5}" 2>/dev/null
