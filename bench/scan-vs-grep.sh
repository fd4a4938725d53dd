#!/usr/bin/env bash
# tallowby-scan on the 1,000,000-line log (about 200 MB, in the page cache)
# against `LC_ALL=C grep -ci 'http://'` on the same file, in one run: with
# every core (the default), on one thread and on two, so the ratio to grep
# and the scaling come from the same minutes of a shared machine. Output
# goes to a pipe. Prints the peak memory too; the last line holds the figures
# (ratios of medians).
#
#   bench/scan-vs-grep.sh [BUILD_DIR]        (default: build)
#   ROUNDS=5 RUNS=3                          (turns taken, runs per turn)
#   LOG_LINES=200000 bench/scan-vs-grep.sh   (a smaller log)
#   BASELINE=/path/to/older/tallowby-scan    (also time an older build, one thread)
source "$(dirname "$0")/common.sh"
need "$scan" "$gen"
command -v hyperfine >/dev/null || { echo "needs hyperfine" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package 'time')" >&2; exit 1; }
lines=${LOG_LINES:-1000000}
log=$(make_log access.log --lines "$lines")
echo "log: $lines lines, $(( $(stat -c %s "$log") / 1000000 )) MB; nproc $(nproc); load $(cut -d' ' -f1-3 /proc/loadavg)"

args=(-d mysite.example --quiet "$log")
commands=(-n grep "grep -ci http:// $log"
          -n scan "$scan ${args[*]}"
          -n scan1 "$scan --threads 1 ${args[*]}"
          -n scan2 "$scan --threads 2 ${args[*]}")
if [ -n "${BASELINE:-}" ]; then
  commands+=(-n baseline "$BASELINE --threads 1 ${args[*]}")
fi
# grep must not write to /dev/null: it notices and stops at the first match.
# The commands take turns: ROUNDS rounds (default 5) of RUNS runs each
# (default 3), every command in every round, so a neighbour that keeps the
# machine busy for a while weighs on all of them rather than on the one whose
# runs it met. A command's figure is the median of its round medians.
rounds=${ROUNDS:-5}
: >"$tmp/rounds.csv"
for round in $(seq "$rounds"); do
  hyperfine --output=pipe --warmup 1 --runs "${RUNS:-3}" -N --style none \
    --export-csv "$tmp/round.csv" "${commands[@]}" >/dev/null
  tail -n +2 "$tmp/round.csv" | sed "s/^/$round,/" >>"$tmp/rounds.csv"
done
# Columns after the round: command, mean, stddev, median, ... The ratios
# take the medians: on a shared machine a neighbour's burst moves a mean far
# more than a median. The means are printed beside them.
mean() { awk -F, -v n="$1" '$2 == n { print $3 }' "$tmp/rounds.csv" | median; }
median_of() { awk -F, -v n="$1" '$2 == n { print $5 }' "$tmp/rounds.csv" | median; }
peak() {  # peak memory in MB of one scan with the given options
  /usr/bin/time -v -o "$tmp/rss" "$scan" "$@" "${args[@]}" >/dev/null
  awk -F': ' '/Maximum resident set size/ { printf "%.0f", $2 / 1024 }' "$tmp/rss"
}
base=""
if [ -n "${BASELINE:-}" ]; then
  base=$(awk -v o="$(median_of scan1)" -v b="$(median_of baseline)" 'BEGIN { printf "; --threads 1 / baseline %.2f (target <= 1.0)", o / b }')
fi
awk -v g="$(median_of grep)" -v s="$(median_of scan)" -v o="$(median_of scan1)" -v t="$(median_of scan2)" \
    -v gm="$(mean grep)" -v sm="$(mean scan)" \
    -v m="$(peak)" -v m1="$(peak --threads 1)" -v b="$base" 'BEGIN {
  printf "means (median over rounds): grep -ci %.3f s, tallowby-scan %.3f s (%.2f)\n", gm, sm, sm / gm
  printf "medians: grep -ci: %.3f s   tallowby-scan: %.3f s   --threads 1: %.3f s   --threads 2: %.3f s\n", g, s, o, t
  printf "peak memory: %s MB (--threads 1: %s MB)\n", m, m1
  printf "scan/grep %.2f (target <= 1.0); 1 thread / 2 threads %.2f (target >= 1.7); peak %s MB (target <= 100)%s\n", s / g, o / t, m, b
}'
