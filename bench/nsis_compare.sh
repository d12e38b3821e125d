#!/usr/bin/env bash
# NSIS over the same payload folder as the packer: writes an .nsi that installs the five builds into
# $INSTDIR\bin (license page, directory page, silent with /S /D=DIR), builds it with makensis (Debian nsis)
# for each compressor asked for, timed by /usr/bin/time -v, and prints its size, wall time and peak memory.
# Then it installs each built installer silently under Wine ROUNDS times (default 3), each into a fresh
# folder, compares the five files written with the folder's, and prints the install times (median and
# range).
#
#   [ROUNDS=N] [REUSE=1] bench/nsis_compare.sh PAYLOAD_DIR WORK_DIR [lzma|zlib|both]     (default both)
#
# REUSE=1 keeps a SETUP.exe already built in WORK_DIR/<compressor>/ and only installs it again.
#
# lzma is `SetCompressor /SOLID lzma` with `SetCompressorDictSize 512` (a 512 MB window: makensis needs
# some 5 GB and, on two cores, about 25 minutes for 1.5 GB); zlib is `SetCompressor /SOLID zlib`.
# WORK_DIR/<compressor>/ keeps setup.nsi, SETUP.exe, makensis.log, makensis.time (the full time -v
# output) and installs.txt; WORK_DIR/wineprefix is the Wine prefix, made on first use.
set -euo pipefail
export LC_ALL=C
[ $# -ge 2 ] && [ $# -le 3 ] || { echo "usage: $0 PAYLOAD_DIR WORK_DIR [lzma|zlib|both]" >&2; exit 2; }
payload=$(readlink -f "$1")
mkdir -p "$2"
work=$(readlink -f "$2")
case "${3:-both}" in
  lzma|zlib) compressors=("$3") ;;
  both) compressors=(zlib lzma) ;;
  *) echo "$0: compressor must be lzma, zlib or both" >&2; exit 2 ;;
esac
rounds=${ROUNDS:-3}
# The EntryKeys in directory order, from the one header that defines them.
mapfile -t keys < <(sed -n 's/^#define ENTRY_KEY_[A-Z0-9_]* "\(.*\)"$/\1/p' "$(dirname "$0")/../payload/payload_format.h")
for key in license.txt "${keys[@]}"; do
  [ -f "$payload/$key" ] || { echo "$0: $payload/$key missing" >&2; exit 2; }
done
payload_bytes=$(cat "${keys[@]/#/$payload/}" | wc -c)

export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A Windows path for a Linux one: Wine maps / to Z:.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

write_script() {  # compressor, folder
  {
    echo 'Unicode true'
    echo 'Target amd64-unicode'
    if [ "$1" = lzma ]; then
      echo 'SetCompressor /SOLID lzma'
      echo 'SetCompressorDictSize 512'
    else
      echo 'SetCompressor /SOLID zlib'
    fi
    echo 'Name "Moravel"'
    echo "OutFile \"$2/SETUP.exe\""
    echo 'InstallDir "$PROGRAMFILES64\Moravel"'
    echo 'RequestExecutionLevel user'
    echo "LicenseData \"$payload/license.txt\""
    echo 'Page license'
    echo 'Page directory'
    echo 'Page instfiles'
    echo 'Section'
    echo '  SetOutPath "$INSTDIR\bin"'
    for key in "${keys[@]}"; do echo "  File \"$payload/$key\""; done
    echo 'SectionEnd'
  } > "$2/setup.nsi"
}

# "h:mm:ss" or "m:ss.ss" from time -v, in seconds.
seconds() { awk -F: '{ s = 0; for (i = 1; i <= NF; ++i) s = s * 60 + $i; printf "%.2f", s }' <<< "$1"; }

median_range() {  # values...
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "median %.2f s [%.2f-%.2f]", v[int((NR + 1) / 2)], v[1], v[NR] }'
}

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

for compressor in "${compressors[@]}"; do
  dir=$work/$compressor
  mkdir -p "$dir"
  echo "== NSIS /SOLID $compressor, payload $payload_bytes bytes; load: $(uptime | sed 's/.*load average: //')"
  if [ "${REUSE:-0}" != 1 ] || [ ! -f "$dir/SETUP.exe" ]; then
    rm -f "$dir/SETUP.exe"
    write_script "$compressor" "$dir"
    /usr/bin/time -v -o "$dir/makensis.time" makensis -V2 "$dir/setup.nsi" > "$dir/makensis.log" 2>&1 ||
      { echo "$0: makensis failed, see $dir/makensis.log" >&2; exit 1; }
    wall=$(seconds "$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$dir/makensis.time")")
    user=$(sed -n 's/.*User time (seconds): //p' "$dir/makensis.time")
    sys=$(sed -n 's/.*System time (seconds): //p' "$dir/makensis.time")
    rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$dir/makensis.time")
    size=$(stat -c %s "$dir/SETUP.exe")
    printf 'makensis: %s s wall, %s s user, %s s sys, max RSS %d MB\n' "$wall" "$user" "$sys" $((rss / 1024))
    printf 'SETUP.exe: %d bytes (%.4f of the payload)\n' "$size" "$(echo "$size / $payload_bytes" | bc -l)"
  fi

  # Silent installs, the Wine server kept up between them so that each round times the installer alone.
  wineserver -p
  times=()
  : > "$dir/installs.txt"
  for round in $(seq "$rounds"); do
    target=$work/install
    rm -rf "$target"
    start=$(date +%s.%N)
    wine "$dir/SETUP.exe" /S "/D=$(winpath "$target")"
    end=$(date +%s.%N)
    # wine returns when the installer has exited: every file it wrote is closed by then.
    for key in "${keys[@]}"; do
      cmp "$payload/$key" "$target/$key" || { echo "$0: round $round: $key differs" >&2; exit 1; }
    done
    times+=("$(echo "$end - $start" | bc -l)")
    printf 'install round %d: %.2f s, five files equal to the folder\n' "$round" "${times[-1]}" | tee -a "$dir/installs.txt"
    rm -rf "$target"
  done
  wineserver -k
  echo "silent install under Wine: $(median_range "${times[@]}") over $rounds rounds" | tee -a "$dir/installs.txt"
done
