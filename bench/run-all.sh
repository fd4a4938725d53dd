#!/usr/bin/env bash
# Every benchmark in turn (each makes its own logs); prints each one's
# figures, then their last lines together. Needs about 2.7 GB in BENCH_TMP.
#   bench/run-all.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
summary=""
for script in window-scan.sh scan-10m.sh distinct-2m.sh progress-10m.sh referrer-rules.sh gzip-log.sh spam-hiding.sh spam-list-2m.sh sites-2m.sh sources.sh sources-2m.sh \
    long-line-memory.sh sparse-hole.sh; do
  echo "== $script"
  out=$("$here/$script" "$@")
  echo "$out"
  summary+="$script: $(tail -n 1 <<<"$out")"$'\n'
done
echo "== nproc $(nproc); load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%s' "$summary"
