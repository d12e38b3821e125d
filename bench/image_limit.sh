#!/usr/bin/env bash
# Finds how large a PayloadImage mingw-w64 links into a PE32+ executable that Wine loads. For each size N
# (bytes, or with a M suffix for MiB) it links a tiny program with the installer's link options whose own
# .payload section holds one marker byte, N bytes of a sparse file and another marker byte, referred to
# from the code as the installer refers to its regions; then runs it under Wine, where it reads both markers
# and exits 7. Prints one line per size: linked or not (with ld's complaint), loaded or not.
#   bench/image_limit.sh SCRATCH_DIR N...      e.g. bench/image_limit.sh /tmp/limit 2016M 2032M 2040M 2048M
# With --installer APP_DIR (build/windows/app of a built tree) it links the installer's own objects instead,
# over a payload whose ChunkStore is the sparse file, and runs it under Wine without a display: a loaded
# installer widens its license, finds no window driver for its dialog and ends with exit code 0; an image
# Wine cannot load ends otherwise. Wine's log of each run is kept as wine-N.log.
#   bench/image_limit.sh --installer build/windows/app SCRATCH_DIR N...
set -uo pipefail
app=
if [ "${1:-}" = --installer ]; then app=$(realpath "$2"); shift 2; fi
scratch=$1; shift
mkdir -p "$scratch"
cd "$scratch"
cat > probe.c <<'C'
#include <windows.h>
extern const unsigned char payloadBegin[];
extern const unsigned char payloadEnd[];
void probeEntry(void) { ExitProcess(payloadBegin[0] == 0x41 && payloadEnd[-1] == 0x5A ? 7 : 3); }
C
x86_64-w64-mingw32-gcc -O1 -c probe.c -o probe.o || exit 2
export WINEPREFIX=$scratch/wineprefix WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
# The prefix first, so that no trial is timed with Wine's first start-up.
wineboot -i >/dev/null 2>&1; wineserver -w
for n in "$@"; do
  case $n in *M) bytes=$(( ${n%M} * 1024 * 1024 )) ;; *) bytes=$n ;; esac
  rm -f filler.bin probe.exe
  truncate -s "$bytes" filler.bin
  if [ -n "$app" ]; then
    sed "s|\"[^\"]*/chunkstore.bin\"|\"$scratch/filler.bin\"|" "$app/payload_image/payload_image.S" > image.S
    objects=$(cd "$app" && for o in $(cat CMakeFiles/MoravelSetup.dir/objects1); do
                case $o in *payload_image.S.obj) ;; *) echo "$app/$o" ;; esac; done)
    link=(x86_64-w64-mingw32-g++-win32 -nostdlib -nostartfiles -Wl,-e,installerEntry -Wl,--subsystem,windows
          $objects image.o $(cat "$app/CMakeFiles/MoravelSetup.dir/linkLibs.rsp"))
  else
    printf '\t.section .payload,"dr"\n\t.globl payloadBegin\npayloadBegin:\n\t.byte 0x41\n\t.incbin "%s"\n\t.byte 0x5A\n\t.globl payloadEnd\npayloadEnd:\n' \
      "$scratch/filler.bin" > image.S
    link=(x86_64-w64-mingw32-gcc -nostdlib -nostartfiles -Wl,-e,probeEntry -Wl,--subsystem,windows probe.o image.o -lkernel32)
  fi
  x86_64-w64-mingw32-gcc -c image.S -o image.o || { echo "$n ($bytes bytes): does not assemble"; continue; }
  if ! out=$("${link[@]}" -o probe.exe 2>&1); then
    echo "$n ($bytes bytes): does not link: $(echo "$out" | grep -m1 -o 'relocation truncated.*\|[^:]*error.*')"
    rm -f image.o; continue
  fi
  rm -f image.o filler.bin
  size_of_image=$(x86_64-w64-mingw32-objdump -p probe.exe | awk '/^SizeOfImage/ {print $2}')
  if [ -n "$app" ]; then
    WINEDEBUG=err+all timeout 120 wine probe.exe >"wine-$n.log" 2>&1; rc=$?
    wineserver -k 2>/dev/null; wineserver -w
    [ $rc -eq 0 ] && grep -q 'nodrv_CreateWindow' "wine-$n.log" && verdict="loads (ran to its first dialog)" ||
      verdict="does not load (exit $rc)"
  else
    wine probe.exe >/dev/null 2>&1; rc=$?
    [ $rc -eq 7 ] && verdict="loads and reads both ends" || verdict="does not load (exit $rc)"
  fi
  echo "$n ($bytes bytes): links, SizeOfImage 0x$size_of_image, $verdict"
  rm -f probe.exe
done
rm -f filler.bin
