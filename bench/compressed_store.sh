#!/usr/bin/env bash
# The compressed ChunkStore against the raw one over a payload folder: for raw and each level, the packer's
# wall time, peak memory and the .payload section it makes (frames and descriptor included), and the time to
# decode the store's frame to a file with the zstd command (libzstd) and with moravel-unzstd (the installer's
# decoder, built for the host), each the median of three runs. The decoders alone, in memory:
# bench/zstd_decode_benchmark.
#   bench/compressed_store.sh MORAVEL_PACK MORAVEL_UNZSTD PAYLOAD_FOLDER WORK_DIR [LEVEL...]   (default 3 9 19)
set -euo pipefail
packer=$1 unzstd=$2 folder=$3 work=$4
shift 4
levels=("${@:-3}")
[ $# -gt 0 ] || levels=(3 9 19)
mkdir -p "$work"
[ -x /usr/bin/time ] || { echo "compressed_store: needs /usr/bin/time (Debian package 'time')" >&2; exit 1; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
seconds() { local t0 t1; t0=$(date +%s.%N); "$@" > /dev/null; t1=$(date +%s.%N); echo "$t1 - $t0" | bc -l; }
section() {  # the .payload section's bytes for the packed folder $1, from its summary's sizes and the layout
  local raw=$1 license store directory descriptor
  license=$(stat -c %s "$raw/license.bin"); store=$(stat -c %s "$raw/chunkstore.bin")
  directory=$(stat -c %s "$raw/directory.bin")
  descriptor=$([ "$2" = raw ] && echo 32 || echo 48)
  align() { echo $(( ($1 + 15) / 16 * 16 )); }
  echo $(( $(align $(( $(align $(( descriptor + license )) ) + store )) ) + directory ))
}
echo "inputs: $(cat "$folder"/bin/* | wc -c) bytes in $folder; $(nproc) cores; load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$("$packer" --version)"
printf '%-6s %9s %10s %15s %13s %13s %12s %12s\n' level "pack s" "peak MiB" "section bytes" "of raw" "store frame" "zstd -d s" "ours s"
raw_section=0
for level in raw "${levels[@]}"; do
  out=$work/packed-$level
  flags=(--quiet); [ "$level" = raw ] || flags+=(--compress="$level")
  /usr/bin/time -f "%e %M" -o "$work/time.txt" "$packer" "${flags[@]}" "$folder" "$out"
  read -r wall rss < "$work/time.txt"
  bytes=$(section "$out" "$level")
  [ "$level" = raw ] && raw_section=$bytes
  if [ "$level" = raw ]; then
    printf '%-6s %9.2f %10d %15d %13s\n' raw "$wall" $((rss / 1024)) "$bytes" 1.000
    continue
  fi
  frame=$out/chunkstore.bin
  # Both write the decoded store to a file in the work folder, as a release engineer's check would.
  libzstd=$(for _ in 1 2 3; do seconds zstd -q -f -d --long=31 "$frame" -o "$work/decoded-libzstd.bin"; done | median)
  ours=$(for _ in 1 2 3; do seconds "$unzstd" "$frame" "$work/decoded.bin"; done | median)
  cmp -s "$work/decoded.bin" "$work/packed-raw/chunkstore.bin" || echo "decoded store differs from the raw one" >&2
  printf '%-6s %9.2f %10d %15d %13.3f %13d %12.2f %12.2f\n' "$level" "$wall" $((rss / 1024)) "$bytes" \
    "$(echo "$bytes / $raw_section" | bc -l)" "$(stat -c %s "$frame")" "$libzstd" "$ours"
done
rm -f "$work/decoded.bin" "$work/decoded-libzstd.bin"
