#!/usr/bin/env bash
# A payload folder of real binaries, for the benchmarks: five builds of about 300 MB that share most of
# their bytes, as the builds of one product do, made of files of Debian packages on this machine.
#
#   bench/real_payload.sh OUT_DIR
#
# Each build is one file, the concatenation of:
#   code     the mingw-w64 runtime DLLs of its architecture: x86_64 for the 64-bit builds, i686 for the
#            32-bit ones (and Wine's i386 PE DLLs where wine32 is installed)
#   DLLs     Wine's x86_64 PE DLLs, in name order up to SHARED_MB (95) megabytes, the same in every build
#            except that builds 2 to 5 each leave out a different fortieth of them
#   programs the standalone build only: Wine's x86_64 PE programs (*.exe)
#   bank     the General MIDI sound font of fluid-soundfont-gm (~148 MB), the same in every build
# and license.txt is the sound font's copyright file in printable ASCII with CR LF line breaks.
# File lists are sorted in the C locale, so the same package versions give the same bytes. Needs
# g++-mingw-w64-x86-64, g++-mingw-w64-i686, wine64 and fluid-soundfont-gm (MORAVEL_BENCHMARKS=1
# scripts/bootstrap.sh installs them).
set -euo pipefail
export LC_ALL=C
[ $# -eq 1 ] || { echo "usage: $0 OUT_DIR" >&2; exit 2; }
out=$1
# The EntryKeys in directory order, from the one header that defines them.
mapfile -t keys < <(sed -n 's/^#define ENTRY_KEY_[A-Z0-9_]* "\(.*\)"$/\1/p' "$(dirname "$0")/../payload/payload_format.h")
bank=/usr/share/sounds/sf2/FluidR3_GM.sf2
copyright=/usr/share/doc/fluid-soundfont-gm/copyright
code64=/usr/lib/gcc/x86_64-w64-mingw32/12-win32
code32=/usr/lib/gcc/i686-w64-mingw32/12-win32
wine64=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
wine32=/usr/lib/x86_64-linux-gnu/wine/i386-windows
shared_bytes=$(( ${SHARED_MB:-95} * 1000000 ))
for need in "$bank" "$copyright" "$code64" "$code32" "$wine64"; do
  [ -e "$need" ] || { echo "$0: $need missing; run MORAVEL_BENCHMARKS=1 scripts/bootstrap.sh" >&2; exit 1; }
done

mapfile -t code64_files < <(find "$code64" -name '*.dll' -type f | sort)
mapfile -t code32_files < <(find "$code32" -name '*.dll' -type f | sort)
# Wine's i386 PE DLLs, if wine32 put them there (wine64 alone leaves only a stub or two).
[ -d "$wine32" ] && mapfile -t -O "${#code32_files[@]}" code32_files < <(find "$wine32" -name '*.dll' -type f | sort)
mapfile -t programs < <(find "$wine64" -maxdepth 1 -name '*.exe' -type f | sort)
shared=()
total=0
while IFS= read -r file; do
  size=$(stat -c %s "$file")
  [ $((total + size)) -le "$shared_bytes" ] || break
  shared+=("$file")
  total=$((total + size))
done < <(find "$wine64" -maxdepth 1 -name '*.dll' -type f | sort)

mkdir -p "$out/bin"
rm -f "$out/license.txt"  # the folder is complete only when the license is back
printf '%-18s %12s %6s\n' file bytes files
for i in "${!keys[@]}"; do
  key=${keys[$i]}
  if [ $((i % 2)) -eq 0 ]; then files=("${code64_files[@]}"); else files=("${code32_files[@]}"); fi
  for j in "${!shared[@]}"; do
    [ "$i" -gt 0 ] && [ $((j % 40)) -eq $((13 * i % 40)) ] && continue
    files+=("${shared[$j]}")
  done
  [ "$i" -eq 4 ] && files+=("${programs[@]}")
  files+=("$bank")
  cat "${files[@]}" > "$out/$key.part"
  mv "$out/$key.part" "$out/$key"
  printf '%-18s %12d %6d\n' "$key" "$(stat -c %s "$out/$key")" "${#files[@]}"
done
# Printable ASCII only (tabs to spaces, the rest transliterated or dropped), CR LF, ending with CR LF.
iconv -f UTF-8 -t ASCII//TRANSLIT "$copyright" | expand | tr -cd '\040-\176\n' | sed 's/$/\r/' > "$out/license.txt"
printf '%-18s %12d\n' license.txt "$(stat -c %s "$out/license.txt")"
