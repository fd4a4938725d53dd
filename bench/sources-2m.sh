#!/usr/bin/env bash
# The log of bench/distinct-2m.sh (2,000,000 distinct referrers) with its
# "search" hosts made search engines, as bench/sources.sh makes them (so the
# keywords are read too), scanned in the window on Xvfb with a window
# manager, as on a desktop, and sorted by clicks; then switched to the
# sources view and back, to the search keywords view and back, and to the
# sources view again, as the Action menu's items do, and scanned again while
# the sources show. Last line: the longest gap between processed events
# while switching (target: under 100 ms).
#   bench/sources-2m.sh [BUILD_DIR]
source "$(dirname "$0")/common.sh"
need "$gen" "$window_bench"
log=$(make_log d2m.log --lines 3400000 --referrers 2000000 --distinct)
searched=$tmp/d2m-searched.log
sed -E 's#//(www\.)?search([0-9]+)\.[a-z.]+/#//\1google.de\2/#' "$log" >"$searched"
cat "$searched" >/dev/null
on_desktop "$window_bench" sources "$searched"
