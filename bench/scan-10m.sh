#!/usr/bin/env bash
# tallowby-scan on the 10,000,000-line log (about 1.9 GB) against
# `grep -ci 'http://'` on the same file, the same scan on the first million
# lines of it (time should grow linearly), and the peak memory of both
# scans. Every core is used (the default). Last line: the figures.
#   bench/scan-10m.sh [BUILD_DIR]      (needs about 2.2 GB in BENCH_TMP)
source "$(dirname "$0")/common.sh"
need "$scan" "$gen"
command -v hyperfine >/dev/null || { echo "needs hyperfine" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package 'time')" >&2; exit 1; }
big=$(make_log 10m.log --lines 10000000)
small=$(make_log 1m.log --lines 1000000)
echo "logs: $(( $(stat -c %s "$big") / 1000000 )) MB and $(( $(stat -c %s "$small") / 1000000 )) MB; nproc $(nproc); load $(cut -d' ' -f1-3 /proc/loadavg)"
# grep must not write to /dev/null: it notices and stops at the first match.
hyperfine --output=pipe --warmup 1 --runs "${RUNS:-5}" -N --export-csv "$tmp/times.csv" \
  -n scan10m "$scan -d mysite.example --quiet $big" \
  -n grep10m "grep -ci http:// $big" \
  -n scan1m "$scan -d mysite.example --quiet $small"
mean() { awk -F, -v n="$1" '$1 == n { print $2 }' "$tmp/times.csv"; }
peak() {
  /usr/bin/time -v -o "$tmp/rss" "$scan" -d mysite.example --quiet "$1" >/dev/null
  awk -F': ' '/Maximum resident set size/ { printf "%.0f", $2 / 1024 }' "$tmp/rss"
}
awk -v s="$(mean scan10m)" -v g="$(mean grep10m)" -v o="$(mean scan1m)" -v m="$(peak "$big")" \
    -v m1="$(peak "$small")" 'BEGIN {
  printf "tallowby-scan 10M: %.3f s   grep -ci 10M: %.3f s   tallowby-scan 1M: %.3f s\n", s, g, o
  printf "10M/grep: %.2f (target <= 1.0); 10M/1M: %.2f (target <= 11); peak memory 10M %s MB (target <= 400), 1M %s MB (target <= 100)\n", s / g, s / o, m, m1
}'
