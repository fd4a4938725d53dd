#!/usr/bin/env bash
# The peak memory of tallowby-scan on one endless line (2.5 GiB of letters, no
# line end, far past the 1 GiB line limit) from every way a file is read: a plain file
# (mapped), read by offsets (--range), standard input from a pipe and from a
# file, and the four compressed formats, each on one thread and on every
# core. Each run must end with "Line longer than 1073741824 bytes" and exit
# status 1; the last line gives the highest peak (target: at most 1.2 GB).
#
#   bench/long-line-memory.sh [BUILD_DIR]
#   BASELINE=/path/to/older/tallowby-scan    (also measure an older build)
#   FORMATS="gzip zstd"                      (fewer compressed formats)
# Needs about 2.7 GB free in BENCH_TMP.
source "$(dirname "$0")/common.sh"
need "$scan"
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package 'time')" >&2; exit 1; }
limit=1073741824
bytes=$((limit * 5 / 2))
formats=${FORMATS:-gzip bzip2 xz zstd}
plain=$tmp/line.log
head -c "$bytes" /dev/zero | tr '\0' a >"$plain"
for f in $formats; do
  head -c "$bytes" /dev/zero | tr '\0' a | "$f" -1 -c >"$tmp/line.$f"
done
echo "one line of $bytes letters; nproc $(nproc); load $(cut -d' ' -f1-3 /proc/loadavg)"

worst_mb=0
# measure NAME PROGRAM SHELL-WORDS...: one run, its peak memory and seconds.
measure() {
  local name=$1 program=$2 cmd
  shift 2
  cmd="$program -d mysite.example --quiet $*"
  # exec: the figures are the scan's own, not those of a shell or of cat.
  /usr/bin/time -f '%M %e' -o "$tmp/time" bash -c "exec $cmd" >/dev/null 2>"$tmp/err" && status=0 || status=$?
  read -r kb secs < <(tail -n 1 "$tmp/time")
  if ! grep -q "Line longer than $limit bytes" "$tmp/err" || [ "$status" -ne 1 ]; then
    echo "$name: expected the line limit's error and status 1, got status $status: $(head -c 300 "$tmp/err")" >&2
    exit 1
  fi
  local mb=$((kb * 1024 / 1000000))  # kB of 1024 bytes, MB of a million
  printf '%-42s %6d MB %7.2f s\n' "$name" "$mb" "$secs"
  if [ "$program" = "$scan" ] && [ "$mb" -gt "$worst_mb" ]; then
    worst_mb=$mb
  fi
}
run_all() {
  local program=$1 label=$2
  echo "== $label"
  for threads in 1 0; do
    local t="--threads $threads" tn="threads $threads"
    if [ "$threads" = 0 ]; then t=""; tn="every core"; fi
    measure "plain file, $tn" "$program" "$t" "$plain"
    measure "plain file --range 0:, $tn" "$program" "$t" --range 0: "$plain"
    measure "standard input from a file, $tn" "$program" "$t" "- < $plain"
    measure "standard input from a pipe, $tn" "$program" "$t" "- < <(cat $plain)"
    for f in $formats; do
      measure "$f, $tn" "$program" "$t" "$tmp/line.$f"
    done
  done
}

run_all "$scan" "$scan"
if [ -n "${BASELINE:-}" ]; then
  run_all "$BASELINE" "$BASELINE (baseline)"
fi
awk -v mb="$worst_mb" 'BEGIN { printf "highest peak over every read path: %d MB   (target <= 1200 MB)\n", mb }'
