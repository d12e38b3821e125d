#!/usr/bin/env bash
# Reruns every benchmark of docs/benchmarks.md over the demo payload and writes what they print, each table
# under the command that made it and the load average around it, to docs/benchmark_results.md, and the plot
# of pack and install time per file against input size to docs/benchmark_scaling.svg.
#   bench/run_all.sh [--no-build-times] [WORK_DIR]
# It builds what it needs in the test tree (build/, configured by ./test.sh or cmake --preset default).
# WORK_DIR (default /tmp/moravel-bench) needs ~13 GB. About 32 minutes on 2 cores, 22 without the build times
# (fresh clones running ./build.sh and ./test.sh). Dropping the page cache for the cold runs needs root.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build_times=1
[ "${1:-}" = --no-build-times ] && { build_times=0; shift; }
work=$(realpath -m "${1:-/tmp/moravel-bench}")
cd "$repo"
build=$repo/build win=$repo/build/windows
results=docs/benchmark_results.md plot=docs/benchmark_scaling.svg
wine_run() { cmake/wine-run.sh --prefix "$win/wineprefix" "$@"; }
winpath() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }
load() { cut -d' ' -f1-3 /proc/loadavg; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
range() { sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%s-%s", lo, hi }'; }

MORAVEL_BENCHMARKS=1 scripts/bootstrap.sh
mkdir -p "$work"
echo "building the benchmarks and the installers over the demo at scales 0.25, 0.5, 1.0 and 2.0"
cmake --preset default > /dev/null
cmake --build --preset default > "$work/build.log"
cmake --build $build --target moravel-hash-bench moravel-reference-matcher zstd_decode_benchmark > /dev/null
cmake --build $win --target extract_benchmark install_benchmark MoravelSetupFullScale MoravelSetupFullScaleCompressed \
  MoravelSetupScale0_25 \
  MoravelSetupScale0_5 MoravelSetupScale2_0 >> "$work/build.log"
full=$win/bench/full-scale-demo
folder_of() { [ "$1" = 1.0 ] && echo $full || echo "$win/bench/demo-scale-${1/./_}"; }
installer_of() { [ "$1" = 1.0 ] && echo $win/bench/MoravelSetupFullScale.exe || echo "$win/bench/MoravelSetupScale${1/./_}.exe"; }

out=$work/results.md
{
  echo "# Benchmark results"
  echo
  echo "Written by \`bench/run_all.sh\` on $(date -u '+%Y-%m-%d %H:%M') UTC, commit $(git rev-parse --short HEAD)$(git diff --quiet HEAD -- . ':!docs' || echo ' with local changes'),"
  echo "$(nproc) cores ($(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)). What each figure means and the goals they"
  echo "meet: docs/benchmarks.md. The load average (1, 5, 15 minutes) is given before and after each run."
} > "$out"

# record TITLE COMMAND...: runs the command, keeping its output under its title, command line and load.
record() {
  local title=$1; shift
  echo "== $title"
  local before; before=$(load)
  local started; started=$(date +%s)
  "$@" > "$work/last.txt" 2>&1 || echo "(exit code $?)" >> "$work/last.txt"
  {
    echo
    echo "## $title"
    echo
    echo '```'
    echo "${*/#$repo\//}"
    echo '```'
    echo
    echo "Load average $before before, $(load) after; $(( $(date +%s) - started )) s."
    echo
    echo '```'
    cat "$work/last.txt"
    echo '```'
  } >> "$out"
}

install_runs() {  # INSTALLER FOLDER TAG RUNS: install_benchmark RUNS times, then medians and ranges
  local i
  for i in $(seq "$4"); do
    rm -rf "$work/install-scratch"; mkdir -p "$work/install-scratch"
    wine_run $win/bench/install_benchmark.exe "$(winpath "$1")" "$(winpath "$2")" "$(winpath "$work/install-scratch")" \
      > "$work/install-$3-$i.txt"
    echo "run $i, load $(load):"; cat "$work/install-$3-$i.txt"; echo
  done
  rm -rf "$work/install-scratch"
  bench/summarize_installs.py "$work"/install-"$3"-*.txt
}

record "Packing the full-scale demo" bench/pack_benchmark.sh $build/tools/demo_payload/moravel-demo-payload \
  $build/tools/packer/moravel-pack $build/bench/moravel-reference-matcher "$work/pack" 5
record "Packing real binaries of two architectures against xdelta3" \
  bench/pack_xdelta_compare.sh $build/tools/packer/moravel-pack "$work/xdelta"
record "extractEntry of one full-scale entry under Wine" \
  wine_run $win/bench/extract_benchmark.exe bin/target_cl32 7
record "Start-up and memory of the demo installer" install_runs $win/app/MoravelSetup.exe $build/demo-payload demo 5
record "Installing the full-scale demo" install_runs $win/bench/MoravelSetupFullScale.exe $full full 5
record "The full-scale demo's store compressed, by level" bench/compressed_store.sh $build/tools/packer/moravel-pack \
  $build/tools/unzstd/moravel-unzstd $full "$work/compressed" 3 18
record "Decoding the demo's level-18 store frame, ours against libzstd" \
  $build/bench/zstd_decode_benchmark "$work/compressed/packed-18/chunkstore.bin" 7
rm -rf "$work/compressed"
record "Installing the full-scale demo, raw and compressed side by side" bench/install_compare.sh $win $full \
  "$work/install-compare" 3 raw=$win/bench/MoravelSetupFullScale.exe compressed=$win/bench/MoravelSetupFullScaleCompressed.exe
record "Reading the installer back (moravel-inspect)" \
  bench/inspect_benchmark.sh $build $win/bench/MoravelSetupFullScale.exe $full "$work/inspect" 3

# Pack and install time per file against input size: median of 3 warm packs and of 3 installs per scale.
scaling() {
  printf '%-6s %12s %10s %10s %12s %12s  %s\n' scale "file bytes" "pack s" "pack/file" "install/file" \
    "t+h+w/file" "load"
  local scale
  for scale in 0.25 0.5 1.0 2.0; do
    local folder; folder=$(folder_of $scale)
    cat "$folder"/bin/* > /dev/null
    local packs=() i
    for i in 1 2 3; do
      /usr/bin/time -f %e -o "$work/time.txt" $build/tools/packer/moravel-pack --quiet "$folder" "$work/scale-out"
      packs+=("$(cat "$work/time.txt")")
    done
    rm -rf "$work/scale-out"
    for i in 1 2 3; do
      rm -rf "$work/install-scratch"; mkdir -p "$work/install-scratch"
      wine_run $win/bench/install_benchmark.exe "$(winpath "$(installer_of $scale)")" "$(winpath "$folder")" \
        "$(winpath "$work/install-scratch")" > "$work/scale-$scale-$i.txt"
    done
    rm -rf "$work/install-scratch"
    local bytes pack install base
    bytes=$(( $(cat "$folder"/bin/* | wc -c) / 5 ))
    pack=$(printf '%s\n' "${packs[@]}" | median)
    # Per file: the median over the three runs of each file's time, then the median over the five files.
    install=$(awk '$1 ~ /^bin\// { print $3 }' "$work"/scale-$scale-*.txt | median)
    base=$(awk '$1 ~ /^bin\// { print $7 }' "$work"/scale-$scale-*.txt | median)
    printf '%-6s %12d %10.3f %10.3f %12.3f %12.3f  %s\n' $scale "$bytes" "$pack" "$(echo "$pack / 5" | bc -l)" \
      "$install" "$base" "$(load)"
    echo "$bytes $(echo "$pack / 5" | bc -l) $install $base" >> "$work/scaling.dat"
  done
}
rm -f "$work/scaling.dat"
record "Pack and install time per file against input size" scaling
gnuplot -e "data='$work/scaling.dat'; out='$plot'" bench/scaling.gnuplot
echo >> "$out"
echo "![Pack and install time per file against input size](benchmark_scaling.svg)" >> "$out"

if [ $build_times = 1 ]; then
  record "Build times from fresh clones" bench/build_benchmark.sh "$work/clones"
  rm -rf "$work/clones"
fi
cp "$out" $results
echo "written: $results, $plot"
