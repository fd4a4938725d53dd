#!/usr/bin/env bash
# Times tallowby-scan reading a gzip -6 of the generated 1,000,000-line log
# itself against `zcat log.gz | tallowby-scan -`, in one run, and prints the
# ratio (target: at most 0.5) and the peak memory of the direct read (target:
# within 100 MB). The two commands take turns, so a machine that gets busier
# part-way weighs on both alike; each figure is the median of its runs.
#
#   bench/gzip-log.sh [BUILD_DIR]      LOG_LINES=200000 for a smaller log
#   RUNS=9 (default)
source "$(dirname "$0")/common.sh"
need "$scan" "$gen"
if ! command -v zcat >/dev/null || [ ! -x /usr/bin/time ]; then
  echo "zcat and /usr/bin/time are needed: install the Debian packages 'gzip' and 'time'" >&2
  exit 1
fi
log=$(make_log gzip.log --lines "${LOG_LINES:-1000000}")
gz=$tmp/gzip.log.gz
gzip -6 -c "$log" >"$gz"
cat "$gz" >/dev/null
echo "log: $(( $(stat -c %s "$log") / 1000000 )) MB, gzip -6: $(( $(stat -c %s "$gz") / 1000000 )) MB"
runs=${RUNS:-9}

elapsed() {  # seconds of one run of the shell command $1, its output to a pipe
  local start end
  start=$(date +%s.%N)
  bash -c "$1" | cat >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f\n", b - a }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

direct="'$scan' -d mysite.example --quiet '$gz'"
piped="zcat '$gz' | '$scan' -d mysite.example --quiet -"
plain="'$scan' -d mysite.example --quiet '$log'"
# The same rows all three ways, or the timing means nothing.
if ! cmp -s <(bash -c "$direct") <(bash -c "$plain") ||
   ! cmp -s <(bash -c "$piped") <(bash -c "$plain"); then
  echo "the compressed log does not scan to the rows of the plain one" >&2
  exit 1
fi

: >"$tmp/direct"
: >"$tmp/piped"
for _ in $(seq "$runs"); do
  elapsed "$direct" >>"$tmp/direct"
  elapsed "$piped" >>"$tmp/piped"
done
d=$(median <"$tmp/direct")
p=$(median <"$tmp/piped")
/usr/bin/time -v -o "$tmp/rss" "$scan" -d mysite.example --quiet "$gz" >/dev/null
rss_kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$tmp/rss")
# Processor time (user + system, all threads and processes) says what each
# way costs when other jobs keep the cores busy and wall times drift.
cpu() { /usr/bin/time -f '%U %S' -o "$tmp/cpu" bash -c "$1" >/dev/null; awk '{ print $1 + $2 }' "$tmp/cpu"; }
dc=$(cpu "$direct")
pc=$(cpu "$piped")
awk -v d="$d" -v p="$p" -v kb="$rss_kb" -v dc="$dc" -v pc="$pc" 'BEGIN {
  printf "tallowby-scan log.gz: %.3f s   zcat log.gz | tallowby-scan -: %.3f s   (median of runs taking turns)\n", d, p
  printf "processor time: %.2f s against %.2f s (ratio %.2f)\n", dc, pc, dc / pc
  printf "peak memory of tallowby-scan log.gz: %.1f MB   (target <= 100 MB)\n", kb / 1024
  printf "ratio (direct / zcat pipe): %.2f   (target <= 0.5)\n", d / p
}'
