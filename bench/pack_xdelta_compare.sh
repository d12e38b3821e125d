#!/usr/bin/env bash
# Literal bytes of the packer against xdelta3's parse on real binaries of two architectures: the mingw-w64
# x86_64 build of a library is file 1, its i686 build file 2 (files 3 to 5 empty), and xdelta3 encodes the
# i686 build against the x86_64 one with its default settings and at -9. Needs g++-mingw-w64-i686 (for the
# i686 libraries) and xdelta3.
#   [PACK_FLAGS="--index-entries N"] bench/pack_xdelta_compare.sh MORAVEL_PACK WORK_DIR
set -euo pipefail
# The EntryKeys in directory order, from the one header that defines them.
mapfile -t keys < <(sed -n 's/^#define ENTRY_KEY_[A-Z0-9_]* "\(.*\)"$/\1/p' "$(dirname "$0")/../payload/payload_format.h")
packer=$1 work=$2
here=$(dirname "$(readlink -f "$0")")
x64=/usr/lib/gcc/x86_64-w64-mingw32/12-win32
x86=/usr/lib/gcc/i686-w64-mingw32/12-win32
mkdir -p "$work"

printf '%-20s %11s | %11s %9s %11s | %-8s %11s %9s %11s %11s %9s\n' library "i686 bytes" \
  "packer lit" refs growth xdelta3 "parse lit" refs "settled lit" refs growth
for lib in libstdc++-6.dll libgfortran-5.dll adalib/libgnat-12.dll; do
  [ -f "$x64/$lib" ] && [ -f "$x86/$lib" ] || { echo "skipping $lib: not installed for both"; continue; }
  payload=$work/payload
  rm -rf "$payload"; mkdir -p "$payload/bin"
  printf 'License.\r\n' > "$payload/license.txt"
  for key in "${keys[@]:2}"; do : > "$payload/$key"; done
  cp "$x64/$lib" "$payload/${keys[0]}"
  cp "$x86/$lib" "$payload/${keys[1]}"
  "$packer" ${PACK_FLAGS:-} "$payload" "$work/out" 2>/dev/null > "$work/summary.txt"
  read -r literal refs < <(awk -v k="${keys[1]}" '$1 == k { gsub(",", "", $3); gsub(",", "", $4); print $4, $3 }' "$work/summary.txt")
  size=$(stat -c %s "$x86/$lib")
  first=1
  for level in default -9; do
    flags=(-e -f -S none -B 1073741824)
    [ "$level" = default ] || flags+=("$level")
    xdelta3 "${flags[@]}" -s "$x64/$lib" "$x86/$lib" "$work/delta.vcdiff"
    xdelta3 printdelta "$work/delta.vcdiff" > "$work/delta.txt"
    read -r xraw xrawrefs xlit xrefs < <(python3 "$here/pack_xdelta_parse.py" "$work/delta.txt" 2>/dev/null)
    if [ $first = 1 ]; then
      printf '%-20s %11d | %11d %9d %11d | %-8s %11d %9d %11d %9d %11d\n' "$(basename "$lib")" "$size" \
        "$literal" "$refs" $((literal + 8 * refs)) "$level" "$xraw" "$xrawrefs" "$xlit" "$xrefs" $((xlit + 8 * xrefs))
    else
      printf '%-20s %11s | %11s %9s %11s | %-8s %11d %9d %11d %9d %11d\n' "" "" "" "" "" \
        "$level" "$xraw" "$xrawrefs" "$xlit" "$xrefs" $((xlit + 8 * xrefs))
    fi
    first=0
  done
done
echo "growth = literal bytes + 8 bytes per ChunkRef (what the file adds to store and directory)"
