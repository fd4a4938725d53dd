#!/usr/bin/env bash
# Runs the whole suite many times in a row on a loaded machine, to find the
# tests whose outcome depends on timing. Not part of CI.
#
#   bash scripts/stress-suite.sh [RUNS] [BUILD_DIR]
#
# RUNS defaults to 20 and BUILD_DIR to build/ (built first, as scripts/test.sh
# builds it). While the suite runs, one busy process per core competes with it
# (stress-ng --cpu when it is installed, plain shell loops otherwise). Every
# run's failures are kept in BUILD_DIR/stress/run-N.log; the last lines tell
# how many runs passed and which tests failed how often.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
dir=${2:-build}
bash scripts/build.sh "$dir"
export QTWEBENGINE_DISABLE_SANDBOX=1

cores=$(nproc)
load=()
stop_load() {
  [ ${#load[@]} -eq 0 ] || kill "${load[@]}" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap stop_load EXIT
if command -v stress-ng >/dev/null; then
  stress-ng --cpu "$cores" --timeout 0 --quiet &
  load+=($!)
else
  for _ in $(seq "$cores"); do
    (while :; do :; done) &
    load+=($!)
  done
fi

out="$dir/stress"
rm -rf "$out"
mkdir -p "$out"
passed=0
for run in $(seq "$runs"); do
  log="$out/run-$run.log"
  if ctest --test-dir "$dir" --output-on-failure -j"$cores" >"$log" 2>&1; then
    passed=$((passed + 1))
    echo "run $run: passed"
  else
    echo "run $run: FAILED: $(grep -E '^\s+[0-9]+ - ' "$log" | awk '{print $3}' | paste -sd' ')"
  fi
done

echo "$passed of $runs runs passed under load ($cores busy processes)"
grep -hE '^\s+[0-9]+ - ' "$out"/run-*.log | awk '{print $3}' | sort | uniq -c | sort -rn || true
[ "$passed" -eq "$runs" ]
