#!/usr/bin/env bash
# The zstd decoder against libzstd on frames of real binaries: the PE DLLs of Debian's mingw-w64 and Wine
# packages, concatenated in path order up to MEGABYTES (default 320), compressed as the installer's regions
# are (`zstd -19 --long=31` and `-3 --long=31`), each frame then decoded ROUNDS times by both, side by side.
#   bench/zstd_benchmark.sh BENCHMARK WORK_DIR [MEGABYTES [ROUNDS]]
# BENCHMARK is build/bench/zstd_decode_benchmark. The frames are kept in WORK_DIR and reused while the
# input stays the same.
set -euo pipefail
benchmark=$1 work=$2 megabytes=${3:-320} rounds=${4:-7}
mkdir -p "$work"
input=$work/dlls.bin
set +o pipefail  # head stops the copying early
{ find /usr/lib/gcc/x86_64-w64-mingw32 /usr/x86_64-w64-mingw32/lib /usr/lib/i386-linux-gnu/wine \
    /usr/lib/x86_64-linux-gnu/wine/i386-windows -name '*.dll' 2>/dev/null | sort
  find /usr/lib/x86_64-linux-gnu/wine/x86_64-windows -name '*.dll' | sort; } |
  while read -r dll; do cat "$dll"; done | head -c $((megabytes * 1000000)) >"$input.new"
set -o pipefail
if cmp -s "$input.new" "$input"; then rm "$input.new"; else mv "$input.new" "$input"; rm -f "$work"/dlls.*.zst; fi
echo "input: $(stat -c %s "$input") bytes of $(uname -m) PE DLLs"
for level in 19 3; do
  frame=$work/dlls.$level.zst
  [ -s "$frame" ] || nice zstd -q -T1 -$level --long=31 "$input" -o "$frame"
  echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
  "$benchmark" "$frame" "$rounds"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
