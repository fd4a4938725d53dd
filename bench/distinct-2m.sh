#!/usr/bin/env bash
# A log of 3,400,000 lines with 2,000,000 distinct referrers, scanned in the
# window: reading against collapse + fill + first paint of the list, then a
# header click on each column. Last line: that ratio and the longest gap
# between processed events while sorting.
#   bench/distinct-2m.sh [BUILD_DIR]
source "$(dirname "$0")/common.sh"
need "$gen" "$window_bench"
log=$(make_log d2m.log --lines 3400000 --referrers 2000000 --distinct)
QT_QPA_PLATFORM=offscreen "$window_bench" distinct "$log" 2>/dev/null
