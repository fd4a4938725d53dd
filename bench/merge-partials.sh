#!/usr/bin/env bash
# Ten partial results of 200,000 distinct referrers each (ten logs of
# 340,000 lines, --distinct, one seed each), merged against reading them,
# then the whole `tallowby-scan --merge` of them for scale. Last line: the
# ratio of merging to reading.
#   bench/merge-partials.sh [BUILD_DIR]
source "$(dirname "$0")/common.sh"
merge_bench=$build/bench/merge_bench
need "$gen" "$scan" "$merge_bench"
partials=()
for seed in 1 2 3 4 5 6 7 8 9 10; do
  log=$(make_log "m$seed.log" --lines 340000 --referrers 200000 --distinct --seed "$seed")
  "$scan" -d mysite.example --quiet --format none --partial "$tmp/m$seed.partial" "$log"
  rm -f "$log"
  partials+=("$tmp/m$seed.partial")
done
echo "partials: $(du -ch "${partials[@]}" | tail -n 1 | cut -f1) in all"
cat "${partials[@]}" >/dev/null
start=$(date +%s.%N)
"$scan" --merge --quiet "${partials[@]}" >/dev/null
echo "tallowby-scan --merge (CSV rows to /dev/null): $(echo "$(date +%s.%N) - $start" | bc) s"
"$merge_bench" "${partials[@]}"
