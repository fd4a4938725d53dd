#!/usr/bin/env bash
# Builds the libFuzzer binaries with clang and runs each for a fixed number of
# executions, one after the other.
#
#   tests/fuzz/run-fuzzers.sh [-r RUNS] [-t SECONDS] [-b BUILD_DIR] [TARGET...]
#
#   -r RUNS     executions per target (default 10000000)
#   -t SECONDS  stop a target after this long even if RUNS is not reached
#               (default 0: no limit)
#   -b DIR      build directory (default build-fuzz)
#   TARGET      rules remainder line_reader scan row_formats export_page rtf (default: all
#               that were built; rtf needs the desktop program's Qt)
#
# Each target starts from its seed corpus in tests/fuzz/corpus/<target> and
# grows a working corpus under DIR/fuzz-corpus/<target>; the repository is
# not touched. A crash or a failed property stops that target with its input
# saved under DIR/fuzz-findings/<target>/. The last line per target is
# libFuzzer's own "Done N runs in S second(s)"; a summary follows at the end.
set -euo pipefail
cd "$(dirname "$0")/../.."

runs=10000000
seconds=0
build=build-fuzz
while getopts "r:t:b:" opt; do
  case $opt in
    r) runs=$OPTARG ;;
    t) seconds=$OPTARG ;;
    b) build=$OPTARG ;;
    *) sed -n '2,20p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

gui=OFF
if dpkg-query -W -f='${Status}' qt6-base-dev 2>/dev/null | grep -q 'install ok installed'; then
  gui=ON
fi
CXX=${CXX:-clang++} cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLOWBY_FUZZ=ON \
  -DTALLOWBY_GUI=$gui -DTALLOWBY_BENCH=OFF >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(rules remainder line_reader scan row_formats export_page)
  [ $gui = ON ] && targets+=(rtf)
fi
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/%/_fuzzer}"

# Inputs beyond a few kilobytes only slow the search: log lines, rows and
# read-me files that matter are small. The RTF reader gets larger ones, for
# deep nesting.
max_len() {
  case $1 in
    rtf) echo 65536 ;;
    scan | line_reader) echo 8192 ;;
    rules | remainder) echo 512 ;;
    *) echo 2048 ;;
  esac
}

summary=()
status=0
for t in "${targets[@]}"; do
  work="$build/fuzz-corpus/$t"
  findings="$build/fuzz-findings/$t"
  mkdir -p "$work" "$findings"
  log="$build/fuzz-$t.log"
  echo "== $t: $runs runs"
  start=$(date +%s)
  set +e
  ASAN_OPTIONS=quarantine_size_mb=16 "$build/tests/fuzz/${t}_fuzzer" \
    -runs="$runs" -max_total_time="$seconds" -max_len="$(max_len "$t")" \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$work" "tests/fuzz/corpus/$t" >"$log" 2>&1
  rc=$?
  set -e
  elapsed=$(( $(date +%s) - start ))
  done_line=$(grep -E '^Done [0-9]+ runs' "$log" | tail -1 || true)
  tail -3 "$log"
  if [ $rc -ne 0 ]; then
    status=1
    summary+=("$t: FINDING after ${elapsed}s (see $log and $findings/)")
  else
    summary+=("$t: ${done_line:-no result} (${elapsed}s wall), corpus $(ls "$work" | wc -l) inputs")
  fi
done

echo
echo "Summary"
printf '  %s\n' "${summary[@]}"
exit $status
