#!/usr/bin/env bash
# Times tallowby-scan against `grep -ci 'http://'` on the same generated
# 1,000,000-line log (about 190 MB, in the page cache), in one run, and prints
# the ratio of the two and the peak memory of tallowby-scan on its last lines.
#
#   bench/scan-vs-grep.sh [BUILD_DIR]        (default: build)
#   LOG_LINES=200000 bench/scan-vs-grep.sh   (a smaller log)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
scan=$build/app/tallowby-scan
gen=$build/bench/loggen
for tool in "$scan" "$gen"; do
  if [ ! -x "$tool" ]; then
    echo "missing $tool: build first (scripts/build.sh)" >&2
    exit 1
  fi
done
if [ ! -x /usr/bin/time ]; then
  echo "/usr/bin/time is missing: install the Debian package 'time'" >&2
  exit 1
fi

lines=${LOG_LINES:-1000000}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
log=$tmp/access.log
"$gen" --lines "$lines" --output "$log"
echo "log: $lines lines, $(( $(stat -c %s "$log") / 1000000 )) MB"
cat "$log" >/dev/null  # into the page cache

# The C locale for both: grep's fastest path, and the scanner ignores locales.
export LC_ALL=C
# grep must not write to /dev/null: it notices and stops at the first match.
if command -v hyperfine >/dev/null; then
  hyperfine --output=pipe --warmup 2 --runs 10 -N --export-csv "$tmp/times.csv" \
    -n tallowby-scan "$scan -d mysite.example --quiet $log" \
    -n grep "grep -ci http:// $log"
  # command,mean,stddev,median,user,system,min,max
  scan_s=$(awk -F, '$1 == "tallowby-scan" { print $2 }' "$tmp/times.csv")
  grep_s=$(awk -F, '$1 == "grep" { print $2 }' "$tmp/times.csv")
else
  best() {  # the shortest wall time of five runs of "$@", output to a file
    local t b=""
    for _ in 1 2 3 4 5; do
      /usr/bin/time -f %e -o "$tmp/t" "$@" >"$tmp/out"
      t=$(cat "$tmp/t")
      if [ -z "$b" ] || awk -v a="$t" -v b="$b" 'BEGIN { exit !(a < b) }'; then b=$t; fi
    done
    echo "$b"
  }
  scan_s=$(best "$scan" -d mysite.example --quiet "$log")
  grep_s=$(best grep -ci 'http://' "$log")
fi

/usr/bin/time -v -o "$tmp/rss" "$scan" -d mysite.example --quiet "$log" >/dev/null
rss_kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$tmp/rss")

awk -v s="$scan_s" -v g="$grep_s" -v kb="$rss_kb" 'BEGIN {
  printf "tallowby-scan: %.3f s   grep -ci: %.3f s\n", s, g
  printf "ratio (tallowby-scan / grep): %.2f   (target <= 3)\n", s / g
  printf "peak memory of tallowby-scan: %.1f MB   (target <= 100 MB)\n", kb / 1024
}'
