#!/usr/bin/env bash
# tallowby-dask on a local cluster of two workers against one tallowby-scan
# run, over the same generated 1,000,000-line log: the cost of the machinery
# (cluster start, shards, partials, merge) on one machine. The two outputs
# are compared byte for byte. Timed twice: the driver starting its own
# cluster (as a user runs it), and the driver given a cluster of two worker
# processes already running (the work of a scan on a cluster, without
# starting one). The fixed cost, which no log size changes, is timed too:
# the driver on a one-line log. Last line: the ratio of the second to one
# scan.
#   bench/dask-vs-scan.sh [BUILD_DIR]   LOG_LINES=200000 for a smaller log,
#                                       LOG_LINES=10000000 for a bigger one
source "$(dirname "$0")/common.sh"
need "$gen" "$scan"
driver=$root/tools/tallowby-dask/tallowby-dask
log=$(make_log dask.log --lines "${LOG_LINES:-1000000}")
echo "log: $(( $(stat -c %s "$log") / 1000000 )) MB; nproc $(nproc); load $(cut -d' ' -f1-3 /proc/loadavg)"

best() {  # best wall-clock seconds of three runs of "$@", output to $tmp/out;
  # the best processor time (user + system, child processes included) to $tmp/cpu
  local best_s="" best_c=""
  for _ in 1 2 3; do
    /usr/bin/time -f "%e %U %S" -o "$tmp/time" "$@" >"$tmp/out"
    read -r wall user system <"$tmp/time"
    best_s=$(awk -v a="$best_s" -v t="$wall" 'BEGIN { if (a == "" || t < a) print t; else print a }')
    best_c=$(awk -v a="$best_c" -v u="$user" -v s="$system" \
      'BEGIN { t = u + s; if (a == "" || t < a) print t; else print a }')
  done
  echo "$best_c" >"$tmp/cpu"
  echo "$best_s"
}

scan_s=$(best "$scan" -d mysite.example --quiet "$log")
scan_cpu=$(cat "$tmp/cpu")
cp "$tmp/out" "$tmp/scan.csv"
# The fixed cost of any Python client of the cluster: starting Python and
# importing distributed (and leaving at once, as the driver does); timed
# while no cluster runs, as one winding down slows it.
import_s=$(best /usr/bin/python3 -c "import os, distributed; os._exit(0)")
own_s=$(best "$driver" --workers 2 --scanner "$scan" -d mysite.example --quiet "$log")
own_cpu=$(cat "$tmp/cpu")  # its workers and their scanners are its threads and children
cmp -s "$tmp/out" "$tmp/scan.csv" || { echo "tallowby-dask's output differs" >&2; exit 1; }

# A cluster of two worker processes kept running while the driver is timed.
mkfifo "$tmp/hold"
/usr/bin/python3 -c '
import sys
from distributed import LocalCluster
c = LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                 dashboard_address=None, silence_logs=50)
print(c.scheduler_address, flush=True)
open(sys.argv[1]).read()
c.close()' "$tmp/hold" >"$tmp/address" 2>/dev/null &
cluster=$!
exec 3>"$tmp/hold"  # the cluster stops when this closes
while [ ! -s "$tmp/address" ]; do
  kill -0 "$cluster" 2>/dev/null || { echo "the local cluster did not start" >&2; exit 1; }
  sleep 0.2
done
address=$(cat "$tmp/address")
dask_s=$(best "$driver" --scheduler "$address" --scanner "$scan" -d mysite.example --quiet "$log")
cmp -s "$tmp/out" "$tmp/scan.csv" || { echo "tallowby-dask's output differs" >&2; exit 1; }
head -n 1 "$log" >"$tmp/one.log"
fixed_s=$(best "$driver" --scheduler "$address" --scanner "$scan" -d mysite.example --quiet \
  "$tmp/one.log")
exec 3>&-
wait "$cluster"
echo "tallowby-scan ${scan_s} s; tallowby-dask starting its own cluster of 2 ${own_s} s," \
  "on a running cluster of 2 ${dask_s} s; outputs identical"
echo "fixed cost: the driver on a one-line log, on the running cluster, ${fixed_s} s;" \
  "of it, starting Python and importing distributed ${import_s} s"
awk -v d="$own_cpu" -v s="$scan_cpu" 'BEGIN { printf "processor time, children included:" \
  " tallowby-dask starting its own cluster %.2f s / tallowby-scan %.2f s = %.2f\n", d, s, d / s }'
awk -v d="$own_s" -v s="$scan_s" 'BEGIN { printf "with the cluster start: dask / scan = %.2f\n", d / s }'
awk -v d="$dask_s" -v f="$fixed_s" -v s="$scan_s" \
  'BEGIN { printf "on a running cluster, without the fixed cost: dask / scan = %.2f\n", (d - f) / s }'
awk -v d="$dask_s" -v s="$scan_s" 'BEGIN { printf "dask / scan = %.2f (target <= 1.5)\n", d / s }'
