#!/usr/bin/env bash
# `tallowby-scan --by-source` and `--keywords` against the same scan without
# them, in one run (target: at most 1.1 each): on the 1,000,000-line log,
# and on the same log with its "search" hosts made search engines
# (search12.example.com -> www.google.de12, whose addresses' "q" then holds
# keywords), so the keywords are read too. Output goes to a pipe. The last
# line holds the figures (ratios of medians).
#
#   bench/sources.sh [BUILD_DIR]          (default: build)
#   ROUNDS=5 RUNS=3                       (turns taken, runs per turn)
#   LOG_LINES=200000 bench/sources.sh     (a smaller log)
source "$(dirname "$0")/common.sh"
need "$gen" "$scan"
command -v hyperfine >/dev/null || { echo "needs hyperfine" >&2; exit 1; }
lines=${LOG_LINES:-1000000}
log=$(make_log access.log --lines "$lines")
searched=$tmp/searched.log
sed -E 's#//(www\.)?search([0-9]+)\.[a-z.]+/#//\1google.de\2/#' "$log" >"$searched"
cat "$searched" >/dev/null
scan_of() { echo "$scan -d mysite.example -q $*"; }
echo "log: $lines lines, $(( $(stat -c %s "$log") / 1000000 )) MB; nproc $(nproc); load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "rows: $($scan -d mysite.example -q "$log" | wc -l) referrers," \
  "$($scan -d mysite.example -q --by-source "$log" | wc -l) sources;" \
  "with search engines $($scan -d mysite.example -q --by-source "$searched" | wc -l) sources," \
  "$($scan -d mysite.example -q --keywords "$searched" | wc -l) keywords"

# The commands take turns, every one in every round, so a machine that gets
# busier part-way weighs on all alike.
rounds=${ROUNDS:-5}
: >"$tmp/rounds.csv"
for round in $(seq "$rounds"); do
  hyperfine --output=pipe --warmup 1 --runs "${RUNS:-3}" -N --style none \
    --export-csv "$tmp/round.csv" \
    -n scan "$(scan_of "$log")" \
    -n by-source "$(scan_of --by-source "$log")" \
    -n keywords "$(scan_of --keywords "$log")" \
    -n scan-searched "$(scan_of "$searched")" \
    -n by-source-searched "$(scan_of --by-source "$searched")" \
    -n keywords-searched "$(scan_of --keywords "$searched")" >/dev/null
  tail -n +2 "$tmp/round.csv" | sed "s/^/$round,/" >>"$tmp/rounds.csv"
done
median_of() { awk -F, -v n="$1" '$2 == n { print $5 }' "$tmp/rounds.csv" | median; }
awk -v s="$(median_of scan)" -v b="$(median_of by-source)" -v k="$(median_of keywords)" \
    -v ss="$(median_of scan-searched)" -v bs="$(median_of by-source-searched)" \
    -v ks="$(median_of keywords-searched)" 'BEGIN {
  printf "medians: scan %.3f s, --by-source %.3f s, --keywords %.3f s; with search engines: %.3f s, %.3f s, %.3f s\n", s, b, k, ss, bs, ks
  printf "--by-source/scan %.2f, --keywords/scan %.2f; with search engines %.2f, %.2f (target <= 1.1)\n", b / s, k / s, bs / ss, ks / ss
}'
