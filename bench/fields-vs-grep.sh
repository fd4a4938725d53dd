#!/usr/bin/env bash
# `tallowby-scan --fields` (and `--fields --no-crawlers`) against
# `LC_ALL=C grep -ci 'http://'` on the same file, in one run: on the
# 1,000,000-line combined log and on the same requests as nginx writes them
# with `log_format ... escape=json`; beside them the reading of the fields
# alone on one thread (bench/fields_bench.cpp: reading the file in blocks,
# cutting lines, reading each line's fields). Output goes to a pipe. The
# last lines hold the figures (ratios of medians).
#
#   bench/fields-vs-grep.sh [BUILD_DIR]      (default: build)
#   ROUNDS=5 RUNS=3                          (turns taken, runs per turn)
#   LOG_LINES=200000 bench/fields-vs-grep.sh (a smaller log)
source "$(dirname "$0")/common.sh"
fields=$build/bench/fields_bench
need "$fields" "$gen" "$scan"
command -v hyperfine >/dev/null || { echo "needs hyperfine" >&2; exit 1; }
lines=${LOG_LINES:-1000000}
log=$(make_log access.log --lines "$lines")
# The fields of each combined line as JSON (loggen writes no quote or
# backslash inside a field, so nothing needs escaping).
json=$tmp/access.json
awk -F'"' '{
  split($1, a, " "); split($3, b, " ")
  printf "{\"time_local\":\"%s %s\",\"remote_addr\":\"%s\",\"remote_user\":\"%s\",", \
    substr(a[4], 2), substr(a[5], 1, length(a[5]) - 1), a[1], a[3]
  printf "\"request\":\"%s\",\"status\":\"%s\",\"body_bytes_sent\":\"%s\",", $2, b[1], b[2]
  printf "\"request_time\":\"0.001\",\"http_referer\":\"%s\",\"http_user_agent\":\"%s\"}\n", \
    $4 == "-" ? "" : $4, $6
}' "$log" >"$json"
echo "log: $lines lines, combined $(( $(stat -c %s "$log") / 1000000 )) MB, JSON $(( $(stat -c %s "$json") / 1000000 )) MB; nproc $(nproc); load $(cut -d' ' -f1-3 /proc/loadavg)"
"$fields" --cut-only "$log"
"$fields" "$log"
"$fields" "$json"

# The commands take turns, every one in every round (see scan-vs-grep.sh);
# grep must not write to /dev/null: it notices and stops at the first match.
rounds=${ROUNDS:-5}
: >"$tmp/rounds.csv"
for round in $(seq "$rounds"); do
  hyperfine --output=pipe --warmup 1 --runs "${RUNS:-3}" -N --style none \
    --export-csv "$tmp/round.csv" \
    -n grep "grep -ci http:// $log" -n fields "$fields $log" \
    -n grep-json "grep -ci http:// $json" -n fields-json "$fields $json" \
    -n scan "$scan -d mysite.example --fields -q $log" \
    -n scan-crawlers "$scan -d mysite.example --fields --no-crawlers -q $log" \
    -n scan-json "$scan -d mysite.example --fields -q $json" >/dev/null
  tail -n +2 "$tmp/round.csv" | sed "s/^/$round,/" >>"$tmp/rounds.csv"
done
median_of() { awk -F, -v n="$1" '$2 == n { print $5 }' "$tmp/rounds.csv" | median; }
awk -v g="$(median_of grep)" -v f="$(median_of fields)" \
    -v gj="$(median_of grep-json)" -v fj="$(median_of fields-json)" \
    -v s="$(median_of scan)" -v sc="$(median_of scan-crawlers)" -v sj="$(median_of scan-json)" 'BEGIN {
  printf "medians: grep -ci %.3f s, fields (one thread) %.3f s, tallowby-scan --fields %.3f s, --no-crawlers %.3f s\n", g, f, s, sc
  printf "JSON: grep -ci %.3f s, fields (one thread) %.3f s, tallowby-scan --fields %.3f s\n", gj, fj, sj
  printf "one-thread fields/grep %.2f; JSON %.2f\n", f / g, fj / gj
  printf "tallowby-scan --fields/grep %.2f (target <= 1.0); JSON %.2f (target <= 1.5); --no-crawlers/--fields %.2f (target <= 1.05)\n", s / g, sj / gj, sc / s
}'
