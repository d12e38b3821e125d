#!/usr/bin/env bash
# Runs the libFuzzer targets of tests/fuzz for a given time each, one after another, on a scratch copy of
# their corpora, and prints per target the executions, the executions per second, the coverage reached
# (libFuzzer's cov: edges and ft: features) and the size of the corpus it ended with. With --keep, the
# inputs that reached new coverage are merged (minimised) back into tests/fuzz/corpus/<target>/.
#   bench/fuzz.sh [--keep] SECONDS [TARGET...]      targets: inspect_pe directory_reader packer license_check
#                                                   zstd_decode zstd_roundtrip
# Needs ./test.sh (or cmake --build --preset default --target fuzz) to have built build/fuzz/ first.
set -euo pipefail
cd "$(dirname "$0")/.."
keep=0
[ "${1:-}" = --keep ] && { keep=1; shift; }
seconds=${1:?usage: bench/fuzz.sh [--keep] SECONDS [TARGET...]}; shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(inspect_pe directory_reader packer license_check zstd_decode zstd_roundtrip)
runs=build/fuzz-runs
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-18s %12s %9s %6s %7s %10s\n' target executions exec/s cov ft corpus
for t in "${targets[@]}"; do
  fuzzer=build/fuzz/$t
  [ -x "$fuzzer" ] || { echo "$fuzzer: not built" >&2; exit 2; }
  rm -rf "$runs/$t" && mkdir -p "$runs/$t/corpus"
  cp tests/fuzz/corpus/"$t"/* "$runs/$t/corpus/"
  # Crashes land in the run's folder, not in the source tree.
  "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$runs/$t/" "$runs/$t/corpus" \
    >"$runs/$t/log" 2>&1 || { echo "$t: FAILED, see $runs/$t/log and $runs/$t/crash-*" >&2; exit 1; }
  done_line=$(grep -a 'DONE' "$runs/$t/log" | tail -1)
  execs=$(grep -a 'stat::number_of_executed_units' "$runs/$t/log" | awk '{print $2}')
  printf '%-18s %12s %9s %6s %7s %10s\n' "$t" "$execs" "$(sed -n 's/.*exec\/s: \([0-9]*\).*/\1/p' <<<"$done_line")" \
    "$(sed -n 's/.*cov: \([0-9]*\).*/\1/p' <<<"$done_line")" "$(sed -n 's/.*ft: \([0-9]*\).*/\1/p' <<<"$done_line")" \
    "$(sed -n 's/.*corp: \([^ ]*\).*/\1/p' <<<"$done_line")"
  if [ $keep = 1 ]; then
    "$fuzzer" -merge=1 tests/fuzz/corpus/"$t" "$runs/$t/corpus" >>"$runs/$t/log" 2>&1
  fi
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
