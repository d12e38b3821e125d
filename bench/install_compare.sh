#!/usr/bin/env bash
# Installs of several installers of one payload folder, side by side: round by round each installer in turn
# under install_benchmark (all four targets, from pressing Install to the success message, and the memory),
# then each one's medians and ranges.
#   [OVER=1] bench/install_compare.sh WINDOWS_BUILD PAYLOAD_FOLDER WORK_DIR ROUNDS TAG=INSTALLER...
# With OVER=1 every file replaces an older build of it (install_benchmark's "over"), as in an update.
# e.g. bench/install_compare.sh build/windows build/windows/bench/full-scale-demo /tmp/ic 3 \
#        raw=build/windows/bench/MoravelSetupFullScale.exe compressed=build/windows/bench/MoravelSetupFullScaleCompressed.exe
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
win=$(realpath "$1") folder=$2 work=$(realpath -m "$3") rounds=$4
shift 4
mkdir -p "$work"
winpath() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }
for round in $(seq "$rounds"); do
  for pair in "$@"; do
    tag=${pair%%=*} exe=${pair#*=}
    rm -rf "$work/scratch"; mkdir -p "$work/scratch"
    "$repo/cmake/wine-run.sh" --prefix "$win/wineprefix" "$win/bench/install_benchmark.exe" "$(winpath "$exe")" \
      "$(winpath "$folder")" "$(winpath "$work/scratch")" ${OVER:+over} > "$work/install-$tag-$round.txt"
    echo "round $round, $tag ($(stat -c %s "$exe") bytes), load $(cut -d' ' -f1-3 /proc/loadavg): $(grep '^install:' "$work/install-$tag-$round.txt")"
  done
done
rm -rf "$work/scratch"
for pair in "$@"; do
  tag=${pair%%=*}
  echo "== $tag"
  "$repo/bench/summarize_installs.py" "$work"/install-"$tag"-*.txt
done
