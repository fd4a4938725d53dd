#!/usr/bin/env bash
# Times tallowby-scan on the generated 1,000,000-line log with --hide-spam
# against the same scan without it, in one run, and prints the ratio
# (target: at most 1.05). The two commands take turns, so a machine that gets
# busier part-way weighs on both alike; each figure is the median of its runs.
#
#   bench/spam-hiding.sh [BUILD_DIR]      LOG_LINES=200000 for a smaller log
#   RUNS=9 (default)
source "$(dirname "$0")/common.sh"
need "$scan" "$gen"
log=$(make_log rules.log --lines "${LOG_LINES:-1000000}")
runs=${RUNS:-9}

read -r off on < <(scan_with_and_without "$log" "$runs" --hide-spam)
awk -v a="$off" -v b="$on" 'BEGIN {
  printf "spam hiding off: %.3f s   --hide-spam: %.3f s   (median of runs taking turns)\n", a, b
  printf "ratio (on / off): %.2f   (target <= 1.05)\n", b / a
}'
