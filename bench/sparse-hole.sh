#!/usr/bin/env bash
# A log with a 3 GB hole between two lines, as a rotation by copying and
# truncating leaves one when the log's writer goes on at its old offset:
# tallowby-scan (every core, and one thread) against `grep -c x` on the same
# file, in one run, with the scan's outcome and peak memory (target: at most
# 2 times grep, memory that does not grow with the hole). Then a 200 MB line
# of NUL bytes, as a hole and as written zeros, against a line of letters of
# the same length (target: at about the speed of the letters).
#
#   bench/sparse-hole.sh [BUILD_DIR]      RUNS=15 (default)
# The files are sparse but for the 200 MB of letters and of zeros.
source "$(dirname "$0")/common.sh"
need "$scan"
command -v hyperfine >/dev/null || { echo "needs hyperfine" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package 'time')" >&2; exit 1; }
runs=${RUNS:-15}

hole=$tmp/hole.log
printf 'x first line\n' >"$hole"
truncate -s +3000000000 "$hole"
printf '\nx last line\n' >>"$hole"
line=200000000
printf 'a\n' >"$tmp/nul-hole.log"
truncate -s +$line "$tmp/nul-hole.log"
printf '\nb\n' >>"$tmp/nul-hole.log"
{ printf 'a\n'; head -c $line /dev/zero; printf '\nb\n'; } >"$tmp/nul.log"
{ printf 'a\n'; head -c $line /dev/zero | tr '\0' x; printf '\nb\n'; } >"$tmp/letters.log"
echo "hole: $(stat -c %s "$hole") bytes, $(du -k "$hole" | cut -f1) kB on disk; nproc $(nproc); load $(cut -d' ' -f1-3 /proc/loadavg)"

# What the scan makes of the hole: the line over the limit, as before.
"$scan" -d mysite.example "$hole" >/dev/null 2>"$tmp/err" && status=0 || status=$?
echo "outcome: exit status $status; $(tr '\n' ' ' <"$tmp/err")"
/usr/bin/time -f '%M' -o "$tmp/rss" "$scan" -d mysite.example --quiet "$hole" >/dev/null 2>&1 || true
rss_kb=$(tail -n 1 "$tmp/rss")

# median NAME: the median of a command's runs in $tmp/times.json, in seconds.
median() { python3 -c 'import json, sys
for r in json.load(open(sys.argv[1]))["results"]:
    if r["command"] == sys.argv[2]: print(r["median"])' "$tmp/times.json" "$1"; }

# timed WARMUP RUNS NAME COMMAND [NAME COMMAND...]: hyperfine's runs of each
# command into $tmp/times.json, read back with median.
timed() {
  local warmup=$1 n=$2 args=()
  shift 2
  while [ $# -gt 0 ]; do args+=(-n "$1" "$2"); shift 2; done
  hyperfine --output=pipe -N -i --warmup "$warmup" --runs "$n" --style none --export-json "$tmp/times.json" \
    "${args[@]}" >/dev/null 2>"$tmp/hyperfine.err" || { cat "$tmp/hyperfine.err" >&2; exit 1; }
}

# grep must not write to /dev/null: it notices and stops at the first match.
timed 2 "$runs" grep "grep -c x $hole" \
  scan "$scan -d mysite.example --quiet $hole" \
  scan1 "$scan -d mysite.example --quiet --threads 1 $hole"
g=$(median grep)
s=$(median scan)
s1=$(median scan1)

timed 1 "$(( (runs + 2) / 3 ))" letters "$scan -d mysite.example --quiet $tmp/letters.log" \
  hole200 "$scan -d mysite.example --quiet $tmp/nul-hole.log" \
  zeros200 "$scan -d mysite.example --quiet $tmp/nul.log"
l=$(median letters)
h=$(median hole200)
z=$(median zeros200)

awk -v g="$g" -v s="$s" -v s1="$s1" -v kb="$rss_kb" -v l="$l" -v h="$h" -v z="$z" 'BEGIN {
  printf "3 GB hole: grep -c x %.1f ms, tallowby-scan %.1f ms (one thread %.1f ms), peak memory %.1f MB\n", g * 1000, s * 1000, s1 * 1000, kb * 1024 / 1e6
  printf "200 MB line: of letters %.0f ms, of NUL bytes as a hole %.0f ms, written %.0f ms\n", l * 1000, h * 1000, z * 1000
  printf "ratio (scan / grep -c x, 3 GB hole): %.2f   (target <= 2); NUL lines / letters: %.2f, %.2f\n", s / g, h / l, z / l
}'
