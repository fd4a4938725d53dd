#!/usr/bin/env bash
# The collapse of equal referrers alone (bench/collapse_bench) on the
# 1,000,000-line log: the best of several runs, and the ranking of the
# distinct texts on its own. With BASELINE, an older build's collapse_bench
# runs on the same log in the same minutes; the last line then holds the
# speed-up and whether both left the same result (checksums).
#
#   bench/collapse.sh [BUILD_DIR]                 (default: build)
#   BASELINE=/path/to/older/build/bench/collapse_bench bench/collapse.sh
#   LOG_LINES=200000 RUNS=5 bench/collapse.sh     (a smaller log, fewer runs)
source "$(dirname "$0")/common.sh"
bench=$build/bench/collapse_bench
need "$bench" "$gen"
lines=${LOG_LINES:-1000000}
log=$(make_log access.log --lines "$lines")
echo "log: $lines lines; nproc $(nproc); load $(cut -d' ' -f1-3 /proc/loadavg)"
new=$("$bench" --runs "${RUNS:-7}" "$log")
echo "$new"
if [ -n "${BASELINE:-}" ]; then
  old=$("$BASELINE" --runs "${RUNS:-7}" "$log")
  echo "baseline:"
  echo "$old"
  ms() { sed -n 's/^collapse \([0-9.]*\) ms.*/\1/p'; }
  sum() { sed -n 's/^checksum //p'; }
  same=different
  [ "$(sum <<<"$new")" = "$(sum <<<"$old")" ] && same=same
  awk -v n="$(ms <<<"$new")" -v o="$(ms <<<"$old")" -v s="$same" \
    'BEGIN { printf "collapse: baseline / this build %.2f (target >= 2); results %s\n", o / n, s }'
fi
