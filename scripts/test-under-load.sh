#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the whole test suite RUNS times (default 10) with LOOPS busy loops (default 2) beside it,
# as on a machine that compiles something while its user runs the tests, and prints each run's
# result and the tally. A test that passes only on an idle machine fails here. Builds as scripts/test.sh does;
# the fuzz targets are left out (they do not wait for anything). CI does not run it.
# LOOPS 0 suits a second run of this script beside one that already makes the load.
#   scripts/test-under-load.sh [RUNS] [LOOPS]
set -euo pipefail
runs=${1:-10}
loops=${2:-2}
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/test.sh" build

# Each failed run's whole output stays here. The folder may be a mount that outlives a throw-away
# root (MARLO_ROOT_KEEP=build-test/under-load), so it is emptied rather than removed.
logs="$root/build-test/under-load"
mkdir -p "$logs"
rm -f "$logs"/run-*.log
busy=()
stop() {
  [ ${#busy[@]} -gt 0 ] && kill "${busy[@]}" 2>/dev/null
  wait 2>/dev/null
}
trap stop EXIT
for ((loop = 0; loop < loops; loop++)); do
  bash -c 'while :; do :; done' &
  busy+=($!)
done

passed=0
for run in $(seq 1 "$runs"); do
  start=$SECONDS
  log="$logs/run-$run.log"
  if ctest --test-dir "$root/build-test" --output-on-failure --parallel 2 >"$log" 2>&1; then
    passed=$((passed + 1))
    echo "run $run of $runs: passed in $((SECONDS - start)) s"
    rm -f "$log"
  else
    echo "run $run of $runs: FAILED in $((SECONDS - start)) s (whole output: $log)"
    sed -n '/The following tests FAILED/,$p' "$log"
  fi
done
echo "$passed of $runs runs passed, with $loops busy loops beside them"
[ "$passed" -eq "$runs" ]
