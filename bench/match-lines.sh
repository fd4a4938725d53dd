#!/usr/bin/env bash
# The matching of the 1,000,000-line log's lines on one thread, in processor
# time, without reading or the work list (bench/match_bench.cpp): the work
# each matching thread of a scan does. Against a baseline build of the same
# program when BASELINE names one.
#   bench/match-lines.sh [BUILD_DIR]        LOG_LINES=1000000 by default
#   BASELINE=/path/to/older/match_bench bench/match-lines.sh
source "$(dirname "$0")/common.sh"
match=$build/bench/match_bench
need "$match" "$gen"
lines=${LOG_LINES:-1000000}
log=$(make_log access.log --lines "$lines")
"$match" "$log" mysite.example 5
if [ -n "${BASELINE:-}" ]; then
  echo -n "baseline: "
  "$BASELINE" "$log" mysite.example 5
fi
