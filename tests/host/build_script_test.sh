#!/usr/bin/env bash
# ./build.sh over payload folders and options it must refuse: each gets one line on stderr that names the problem, exit
# code 2, and nothing is configured or built (no release tree appears in the scratch copy of the script).
#   build_script_test.sh SOURCE_DIR SCRATCH_DIR
set -u
source_dir=$1
scratch=$2
rm -rf "$scratch" && mkdir -p "$scratch/repo/payload"
# A copy of the script beside the one file it reads, so that a refusal that went on would show as a new
# build-release/ here instead of touching the real trees.
cp "$source_dir/build.sh" "$scratch/repo/"
cp "$source_dir/payload/payload_format.h" "$scratch/repo/payload/"
mkdir -p "$scratch/repo/scripts"
printf '#!/bin/sh\necho bootstrap ran >&2\nexit 1\n' >"$scratch/repo/scripts/bootstrap.sh"
chmod +x "$scratch/repo/scripts/bootstrap.sh"

good=$scratch/good
mkdir -p "$good/bin"
printf 'License.\r\n' >"$good/license.txt"
for key in cl64 cl32 fl64 fl32 st64; do echo "$key" >"$good/bin/target_$key"; done
make_variant() { rm -rf "$scratch/$1"; cp -r "$good" "$scratch/$1"; echo "$scratch/$1"; }

no_license=$(make_variant no_license); rm "$no_license/license.txt"
no_build=$(make_variant no_build); rm "$no_build/bin/target_fl32"
folder_build=$(make_variant folder_build); rm "$folder_build/bin/target_st64"; mkdir "$folder_build/bin/target_st64"
fifo_license=$(make_variant fifo_license); rm "$fifo_license/license.txt"; mkfifo "$fifo_license/license.txt"

# argument | text the one line must contain
cases=(
  "$scratch/missing|$scratch/missing: no such folder"
  "$good/license.txt|$good/license.txt: not a folder"
  "$no_license|$no_license: license.txt is missing"
  "$no_build|$no_build: bin/target_fl32 is missing"
  "$folder_build|$folder_build/bin/target_st64: not a regular file"
  "$fifo_license|$fifo_license/license.txt: not a regular file"
  "|the payload folder is an empty string"
  "--compress=0|--compress takes a level from 1 to 22, not '0'"
  "--compress=23|--compress takes a level from 1 to 22, not '23'"
  "--compress=fast|--compress takes a level from 1 to 22, not 'fast'"
  "--squeeze|unknown option --squeeze"
)
failed=0 passed=0
for row in "${cases[@]}"; do
  argument=${row%%|*}
  want=${row#*|}
  stderr=$("$scratch/repo/build.sh" "$argument" 2>&1 >/dev/null)
  code=$?
  lines=$(printf '%s\n' "$stderr" | wc -l)
  if [ $code -eq 2 ] && [ "$lines" -eq 1 ] && [[ $stderr == *"$want"* ]] && [ ! -e "$scratch/repo/build-release" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED for '$argument': exit $code, $lines lines: '$stderr'; want exit 2 and one line with '$want'"
  fi
done
# Two folders at once is a usage error too.
stderr=$("$scratch/repo/build.sh" "$good" "$good" 2>&1 >/dev/null); code=$?
if [ $code -eq 2 ] && [[ $stderr == *"usage: ./build.sh [--compress[=LEVEL]] [PAYLOAD_FOLDER]"* ]]; then passed=$((passed + 1))
else failed=$((failed + 1)); echo "FAILED for two folders: exit $code: '$stderr'"; fi
# The good folder passes the check and reaches the bootstrap step (the stand-in refuses there).
stderr=$("$scratch/repo/build.sh" "$good" 2>&1 >/dev/null); code=$?
if [ $code -eq 1 ] && [ "$stderr" = "bootstrap ran" ]; then passed=$((passed + 1))
else failed=$((failed + 1)); echo "FAILED for a good folder: exit $code: '$stderr', want the bootstrap step"; fi
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
