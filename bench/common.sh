# Shared by the benchmark scripts: where the programs are, and logs made on
# demand in a temporary folder that goes away when the script ends.
#   BUILD_DIR (first argument, default build)   BENCH_TMP (default /tmp)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
scan=$build/app/tallowby-scan
gen=$build/bench/loggen
window_bench=$build/bench/window_bench
window_scan_bench=$build/bench/window_scan_bench
tmp=$(mktemp -d "${BENCH_TMP:-/tmp}/tallowby-bench.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
export LC_ALL=C

need() {
  for tool in "$@"; do
    if [ ! -x "$tool" ]; then
      echo "missing $tool: build first (cmake --build with TALLOWBY_BENCH=ON)" >&2
      exit 1
    fi
  done
}

# make_log NAME LOGGEN-OPTIONS...: writes $tmp/NAME unless there, reads it
# into the page cache, prints its path.
make_log() {
  local name=$1
  shift
  local log=$tmp/$name
  if [ ! -f "$log" ]; then
    local free_kb
    free_kb=$(df -Pk "$tmp" | awk 'NR == 2 { print $4 }')
    if [ "$free_kb" -lt 4000000 ]; then
      echo "less than 4 GB free in $tmp: set BENCH_TMP to a roomier folder" >&2
      exit 1
    fi
    "$gen" "$@" --output "$log"
  fi
  cat "$log" >/dev/null
  echo "$log"
}

# elapsed COMMAND...: seconds of one run, its output to a pipe.
elapsed() {
  local start end
  start=$(date +%s.%N)
  "$@" | cat >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f\n", b - a }'
}

# median: the middle of the numbers on standard input, one a line.
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# scan_with_and_without LOG RUNS FLAGS...: the scan of LOG without and with
# FLAGS, taking turns RUNS times after a warm-up, so a machine that gets
# busier part-way weighs on both alike; prints the two medians in seconds.
scan_with_and_without() {
  local log=$1 runs=$2
  shift 2
  : >"$tmp/off"
  : >"$tmp/on"
  "$scan" -d mysite.example --quiet "$log" >/dev/null
  for _ in $(seq "$runs"); do
    elapsed "$scan" -d mysite.example --quiet "$log" >>"$tmp/off"
    elapsed "$scan" -d mysite.example --quiet "$@" "$log" >>"$tmp/on"
  done
  echo "$(median <"$tmp/off") $(median <"$tmp/on")"
}

# on_desktop COMMAND...: runs COMMAND on a fresh Xvfb display with the
# openbox window manager, as a program runs on a desktop; its standard error
# (the display's chatter) is dropped.
on_desktop() {
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    openbox >/dev/null 2>&1 &
    wm=$!
    for _ in $(seq 50); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
      sleep 0.1
    done
    "$@" 2>/dev/null
    status=$?
    kill "$wm" 2>/dev/null
    exit $status' on_desktop "$@"
}
