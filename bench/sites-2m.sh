#!/usr/bin/env bash
# The log of bench/distinct-2m.sh (2,000,000 distinct referrers), scanned in
# the window and sorted by clicks, then switched to the sites view and back
# as Action > Group by Site does it. Last line: the longest gap between
# processed events while switching (target: under 100 ms).
#   bench/sites-2m.sh [BUILD_DIR]
source "$(dirname "$0")/common.sh"
need "$gen" "$window_bench"
log=$(make_log d2m.log --lines 3400000 --referrers 2000000 --distinct)
QT_QPA_PLATFORM=offscreen "$window_bench" sites "$log" 2>/dev/null
