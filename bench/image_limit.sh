#!/usr/bin/env bash
# Finds how large a PayloadImage mingw-w64 links into a PE32+ executable that Wine loads. For each size N
# (bytes, or with a M suffix for MiB) it links a tiny program with the installer's link options whose own
# .payload section holds one marker byte, N bytes of a sparse file and another marker byte, referred to
# from the code as the installer refers to its regions; then runs it under Wine, where it reads both markers
# and exits 7. Prints one line per size: linked or not (with ld's complaint), loaded or not.
#   bench/image_limit.sh SCRATCH_DIR N...      e.g. bench/image_limit.sh /tmp/limit 2016M 2032M 2040M 2048M
set -uo pipefail
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
for n in "$@"; do
  case $n in *M) bytes=$(( ${n%M} * 1024 * 1024 )) ;; *) bytes=$n ;; esac
  rm -f filler.bin probe.exe
  truncate -s "$bytes" filler.bin
  printf '\t.section .payload,"dr"\n\t.globl payloadBegin\npayloadBegin:\n\t.byte 0x41\n\t.incbin "%s"\n\t.byte 0x5A\n\t.globl payloadEnd\npayloadEnd:\n' \
    "$scratch/filler.bin" > image.S
  x86_64-w64-mingw32-gcc -c image.S -o image.o || { echo "$n ($bytes bytes): does not assemble"; continue; }
  if ! out=$(x86_64-w64-mingw32-gcc -nostdlib -nostartfiles -Wl,-e,probeEntry -Wl,--subsystem,windows \
       probe.o image.o -lkernel32 -o probe.exe 2>&1); then
    echo "$n ($bytes bytes): does not link: $(echo "$out" | grep -m1 -o 'relocation truncated.*\|[^:]*error.*')"
    rm -f image.o; continue
  fi
  rm -f image.o filler.bin
  size_of_image=$(x86_64-w64-mingw32-objdump -p probe.exe | awk '/^SizeOfImage/ {print $2}')
  wine probe.exe >/dev/null 2>&1; rc=$?
  [ $rc -eq 7 ] && verdict="loads and reads both ends" || verdict="does not load (exit $rc)"
  echo "$n ($bytes bytes): links, SizeOfImage 0x$size_of_image, $verdict"
  rm -f probe.exe
done
rm -f filler.bin
