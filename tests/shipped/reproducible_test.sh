#!/usr/bin/env bash
# The same sources and payload give the same installer, whatever the folder and the time: the source tree is
# copied to another folder and the installer alone is built there in a tree of its own, then compared byte
# for byte with the test tree's. The TimeDateStamp is SOURCE_DATE_EPOCH when set, else the last commit's
# time, and the CheckSum is the file's.
#   reproducible_test.sh SOURCE_DIR INSTALLER PACKER INSPECT PAYLOAD SCRATCH
set -u
source_dir=$1 installer=$2 packer=$3 inspect=$4 payload=$5 scratch=$6
. "$(dirname "$0")/check.sh"
rm -rf "$scratch" && mkdir -p "$scratch"

if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  epoch=$SOURCE_DATE_EPOCH
else
  epoch=$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null || echo 0)
fi
header=$("$inspect" list "$installer" | sed -n 2p)
check "TimeDateStamp $epoch in '$header'" grep -q "TimeDateStamp $epoch " <<<"$header"
check "CheckSum of the file in '$header'" grep -q '(matches the file)$' <<<"$header"

# The working files (committed or not, ignored ones left out) in a folder of another name and depth.
copy=$scratch/another/place/src
mkdir -p "$copy"
if git -C "$source_dir" rev-parse --git-dir > /dev/null 2>&1; then
  (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$copy")
else
  (cd "$source_dir" && tar --exclude='./build*' -cf - .) | (cd "$copy" && tar -xf -)
fi
# Only the installer: its objects, the packer's output for the same payload, the link.
export SOURCE_DATE_EPOCH=$epoch
if cmake -S "$copy" -B "$scratch/tree" -DCMAKE_TOOLCHAIN_FILE="$copy/cmake/mingw-w64-x86_64.cmake" \
     -DCMAKE_BUILD_TYPE=Release -DMORAVEL_RELEASE_BUILD=ON -DMORAVEL_PACKER="$packer" \
     -DMORAVEL_PAYLOAD_DIR="$payload" > "$scratch/configure.log" 2>&1 &&
   cmake --build "$scratch/tree" --target MoravelSetup -j2 > "$scratch/build.log" 2>&1; then
  pass
else
  fail "building the copy: see $scratch/configure.log and $scratch/build.log"
fi
check "the copy's installer is byte for byte the test tree's ($(cmp "$installer" "$scratch/tree/app/MoravelSetup.exe" 2>&1))" \
  cmp -s "$installer" "$scratch/tree/app/MoravelSetup.exe"
finish
