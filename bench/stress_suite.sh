#!/usr/bin/env bash
# Runs the test suite again and again to shake out order and timing faults; writes one line per run.
#   bench/stress_suite.sh [QUIET_RUNS] [LOADED_RUNS]     (defaults 10 and 5)
# The loaded runs keep one core busy with a spinning process for the whole run. Needs a built test tree
# (./test.sh once). Prints the summary line "N passed, N failed" (runs, not tests) at the end.
set -u
cd "$(dirname "$0")/.."
quiet=${1:-10}
loaded=${2:-5}
passed=0 failed=0
run() {
  local label=$1 log
  log=$(mktemp)
  local start=$SECONDS
  if ctest --preset default >"$log" 2>&1; then passed=$((passed + 1)); result=green
  else failed=$((failed + 1)); result="RED: $(grep -E '^\s+[0-9]+ - ' "$log" | tr -s ' ' | paste -sd, -)"; fi
  echo "$label: $result, $(grep -o '[0-9]* tests failed out of [0-9]*' "$log"), $((SECONDS - start)) s, load $(cut -d' ' -f1-3 /proc/loadavg)"
  [ "$result" = green ] || grep -B2 -A8 "FAILED" "$log" | head -40
  rm -f "$log"
}
for i in $(seq "$quiet"); do run "quiet run $i"; done
for i in $(seq "$loaded"); do
  ( while :; do :; done ) &
  spinner=$!
  run "loaded run $i"
  kill $spinner; wait $spinner 2>/dev/null
done
echo "$passed passed, $failed failed"
