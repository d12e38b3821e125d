#!/usr/bin/env bash
# moravel-inspect over the compressed installer the build linked: list shows the packer's summary with the
# frames and level, verify and extract decode with the installer's own decoder, the store's frame decodes with
# the zstd command to the raw build's ChunkStore, and a damaged frame fails naming its region.
#   inspect_compressed_test.sh INSPECT INSTALLER CORRUPTED PAYLOAD PACKED_DIR RAW_PACKED_DIR SCRATCH
set -u
inspect=$1 installer=$2 corrupted=$3 payload=$4 packed=$5 raw=$6 scratch=$7
rm -rf "$scratch" && mkdir -p "$scratch"
. "$(dirname "$0")/check.sh"

run_inspect list "$installer"
listing=$out
table=$(printf '%s\n' "$out" | sed -n '4,$p')
summary=$(sed '$d' "$packed/summary.txt")
check "list exits 0 with the packer's summary: got $code,
$table
want
$summary" [ "$code" -eq 0 ] && [ "$table" = "$summary" ]
check "the summary names the level: $summary" grep -q '^compressed (zstd level [0-9]*): ChunkStore' <<<"$summary"
expect_inspect 0 "every byte as in $payload" verify "$installer" "$payload"
expect_inspect 0 "extracted license.txt and the 5 entries" extract "$installer" "$scratch/extracted"
check "extracted folder equals the payload folder" diff -r "$payload" "$scratch/extracted"
expect_inspect 1 "corrupted" verify "$corrupted"

# The store's frame where the descriptor puts it (its third offset), cut out of the executable.
section=$(printf '%d' "$(printf '%s\n' "$listing" | sed -n 's/.* at file offset \(0x[0-9a-f]*\);.*/\1/p')")
u32() { od -An -tu4 -j "$1" -N4 "$installer" | tr -d ' '; }
begin=$((section + $(u32 $((section + 16))))) end=$((section + $(u32 $((section + 20)))))
tail -c +$((begin + 1)) "$installer" | head -c $((end - begin)) > "$scratch/store.zst"
check "zstd -d gives the raw build's ChunkStore" \
  bash -c "zstd -q -d --long=31 -c '$scratch/store.zst' | cmp - '$raw/chunkstore.bin'"
# The frame header's reserved bit set: the frame is malformed, and verify names the region.
cp "$installer" "$scratch/reserved.exe"
printf "\\x$(printf %02x $(( $(od -An -tu1 -j $((begin + 4)) -N1 "$installer") ^ 8 )))" |
  dd of="$scratch/reserved.exe" bs=1 seek=$((begin + 4)) conv=notrunc status=none
expect_inspect 1 "chunkstore.bin: corrupted: the frame is malformed" verify "$scratch/reserved.exe"
finish
