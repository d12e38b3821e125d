#!/usr/bin/env bash
# moravel-inspect over the installer the build linked: list matches the packer's own summary, verify passes
# alone and against the payload folder, fails on the corrupted copy and on a changed folder, extract gives
# the folder back (and it packs to the same regions), and bad input gets exit 2 and one line.
#   inspect_installer_test.sh INSPECT PACKER INSTALLER CORRUPTED PAYLOAD PACKED_DIR OTHER_EXE SCRATCH
set -u
inspect=$1 packer=$2 installer=$3 corrupted=$4 payload=$5 packed=$6 other=$7 scratch=$8
rm -rf "$scratch" && mkdir -p "$scratch"
. "$(dirname "$0")/check.sh"
grouped() { sed ':a;s/\B[0-9]\{3\}\>/,&/;ta' <<<"$1"; }  # 1859 -> 1,859, whatever the locale

# list: the packer's table of this very payload, read back from the executable.
run_inspect list "$installer"
check "list exits 0 (got $code: $err)" [ "$code" -eq 0 ]
table=$(printf '%s\n' "$out" | sed -n '4,$p')
summary=$(sed '$d' "$packed/summary.txt")  # all but "packed in N s"
check "list's table is the packer's summary: got
$table
want
$summary" [ "$table" = "$summary" ]
license_bytes=$(stat -c %s "$payload/license.txt")
license_lines=$(grep -c $'\r$' "$payload/license.txt")
check "list's license line: '$(printf '%s\n' "$out" | sed -n 3p)'" \
  [ "$(printf '%s\n' "$out" | sed -n 3p)" = "license.txt  $(grouped "$license_bytes") bytes, $license_lines lines" ]
check "list says unsigned: '$(printf '%s\n' "$out" | sed -n 1p)'" grep -q '; unsigned$' <<<"$out"
check "list finds the CheckSum right: '$(printf '%s\n' "$out" | sed -n 2p)'" grep -q '(matches the file)$' <<<"$out"

expect_inspect 0 "verified: license.txt ($(grouped "$license_bytes") bytes) and the 5 entries" verify "$installer"
expect_inspect 0 "every byte as in $payload" verify "$installer" "$payload"
for threads in 1 3; do expect_inspect 0 "verified: " --threads $threads verify "$installer" "$payload"; done
expect_inspect 1 "bin/target_cl64: corrupted: the directory gives the hash" verify "$corrupted"
check "the corrupted copy names only its entry: '$err'" [ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ]

# A payload folder with one byte changed in one build.
changed=$scratch/changed
cp -r "$payload" "$changed"
printf '\x5a' | dd of="$changed/bin/target_fl32" bs=1 seek=4097 conv=notrunc status=none
if cmp -s "$payload/bin/target_fl32" "$changed/bin/target_fl32"; then
  printf '\xa5' | dd of="$changed/bin/target_fl32" bs=1 seek=4097 conv=notrunc status=none
fi
expect_inspect 1 "bin/target_fl32: differs from $changed/bin/target_fl32 from byte 4,097 on" verify "$installer" "$changed"
printf 'Another license.\r\n' > "$changed/license.txt"
expect_inspect 1 "license.txt: differs from $changed/license.txt" verify "$installer" "$changed"

# extract: the folder back, byte for byte, and packed again to the very regions.
expect_inspect 0 "extracted license.txt and the 5 entries" extract "$installer" "$scratch/extracted"
check "extracted folder equals the payload folder" diff -r "$payload" "$scratch/extracted"
"$packer" --quiet "$scratch/extracted" "$scratch/repacked"
for region in license.bin chunkstore.bin directory.bin; do
  check "repacked $region equals the build's" cmp "$packed/$region" "$scratch/repacked/$region"
done
expect_inspect 1 "bin/target_cl64: corrupted" extract "$corrupted" "$scratch/from-corrupted"
check "nothing extracted from the corrupted copy" [ -z "$(find "$scratch/from-corrupted" -type f 2>/dev/null)" ]

# Bad input: exit 2, one line naming the file and the problem.
head -c 100000 "$installer" > "$scratch/truncated.exe"
: > "$scratch/empty.exe"
bad=(
  "$scratch|is a folder, not an executable"
  "$scratch/missing.exe|No such file or directory"
  "$scratch/empty.exe|empty file, not a PE executable"
  "$payload/license.txt|not a PE executable (no MZ header)"
  "/dev/null|not a regular file"
  "$scratch/truncated.exe|truncated: the .payload section takes file bytes 0x"
  "$other|no PayloadImage: the executable has no .payload section"
)
for row in "${bad[@]}"; do
  file=${row%%|*} want=${row#*|}
  for command in list verify; do
    run_inspect $command "$file"
    if [ "$code" -eq 2 ] && [ -z "$out" ] && [ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] &&
       [[ "$err" == "moravel-inspect: $file: $want"* ]]; then pass
    else fail "$command '$file': exit $code, stdout '$out', stderr '$err'; want exit 2 and one line 'moravel-inspect: $file: $want...'"; fi
  done
done
expect_inspect 2 "not a payload folder" verify "$installer" "$payload/license.txt"
expect_inspect 2 "usage: moravel-inspect" extract "$installer"
expect_inspect 2 "usage: moravel-inspect" check "$installer"
expect_inspect 2 "usage: moravel-inspect"
expect_inspect 0 "usage: moravel-inspect" --help
finish
