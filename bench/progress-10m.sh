#!/usr/bin/env bash
# The 10,000,000-line log (about 1.9 GB) scanned in the window: how the
# progress bar moves, and what counting the lines costs against the whole
# scan. Last line: that share and the longest time the bar stood still.
#   bench/progress-10m.sh [BUILD_DIR]      (needs about 2 GB in BENCH_TMP)
source "$(dirname "$0")/common.sh"
need "$gen" "$window_bench"
log=$(make_log 10m.log --lines 10000000)
QT_QPA_PLATFORM=offscreen "$window_bench" progress "$log" 2>/dev/null
