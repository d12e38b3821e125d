#!/usr/bin/env bash
# Times the README's commands from fresh clones of this checkout's HEAD (packages already installed):
#   ./build.sh FULL_SCALE_FOLDER, then ./build.sh OTHER_FULL_SCALE_FOLDER in the same clone,
#   ./build.sh (demo) in a fresh clone, and ./test.sh in a fresh clone (also for BASE_REV when given).
#   bench/build_benchmark.sh WORK_DIR [BASE_REV]
# WORK_DIR needs ~4 GB. The two full-scale folders come from the demo generator at scales 1.0 and 0.97.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
work=$(realpath -m "$1")
base=${2:-}
mkdir -p "$work"
clone() { rm -rf "$work/$1"; git clone -q "$repo" "$work/$1"; [ -z "${2:-}" ] || git -C "$work/$1" checkout -q "$2"; }
timed() {  # label, then the command; prints the wall time
  local label=$1; shift
  local start=$(date +%s.%N)
  "$@" >"$work/last.log" 2>&1 || { echo "$label: FAILED (see $work/last.log)"; return 1; }
  printf '%-44s %6.1f s   load %s\n' "$label" "$(echo "$(date +%s.%N) - $start" | bc)" "$(cut -d' ' -f1-3 /proc/loadavg)"
}

clone gen
(cd "$work/gen" && cmake --preset release >/dev/null && cmake --build build-release --target moravel-demo-payload >/dev/null)
generator=$work/gen/build-release/tools/demo_payload/moravel-demo-payload
[ -f "$work/full/license.txt" ] || "$generator" --scale 1.0 "$work/full" >/dev/null
[ -f "$work/other/license.txt" ] || "$generator" --scale 0.97 "$work/other" >/dev/null
sync

clone release
timed "./build.sh FULL (fresh clone)" "$work/release/build.sh" "$work/full"
timed "./build.sh OTHER (same clone)" "$work/release/build.sh" "$work/other"
clone demo
timed "./build.sh (demo, fresh clone)" "$work/demo/build.sh"
clone tests
timed "./test.sh (fresh clone, HEAD)" "$work/tests/test.sh"
if [ -n "$base" ]; then
  clone base "$base"
  timed "./test.sh (fresh clone, $base)" "$work/base/test.sh" || true
fi
