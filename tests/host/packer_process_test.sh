#!/usr/bin/env bash
# moravel-pack as a process: its command line, inputs that are not files, a folder another packer holds, an
# output path no assembler string can hold as it is, runs stopped by a signal or by an input that shrinks
# under it, and inputs on another file system than the output. Every refusal is one line naming the argument
# or file, a non-zero exit, and the earlier output left as it was; no run leaves a temporary behind.
#   packer_process_test.sh PACKER SCRATCH_DIR
set -u
packer=$1
scratch=$2
rm -rf "$scratch" && mkdir -p "$scratch"
cd "$scratch"
failed=0 passed=0
check() {  # check WHAT CONDITION...
  local what=$1; shift
  if "$@"; then passed=$((passed + 1)); else echo "FAIL: $what" >&2; failed=$((failed + 1)); fi
}
contains() { grep -qF -- "$2" "$1"; }
no_temporaries() { [ -z "$(find "$1" -name '.*.partial')" ]; }
snapshot() { (cd "$1" && find . -type f ! -name summary.txt -exec sha256sum {} + | sort); }

# A small payload: five different builds that share little.
small=$scratch/small
mkdir -p "$small/bin"
printf 'License.\r\n' >"$small/license.txt"
for key in cl64 cl32 fl64 fl32 st64; do head -c 5000 /dev/urandom >"$small/bin/target_$key"; done
good_out=$scratch/out
"$packer" --quiet "$small" "$good_out" || { echo "FAIL: the small payload does not pack" >&2; exit 1; }
before=$(snapshot "$good_out")

# ---- Inputs on another file system than the output (tmpfs to here): the store head is copied another way ----
# (Skipped where there is no writable tmpfs of another kind than the scratch folder's.)
if [ -d /dev/shm ] && [ "$(stat -f -c %T /dev/shm)" != "$(stat -f -c %T "$scratch")" ] &&
  elsewhere=$(mktemp -d /dev/shm/moravel-pack-test.XXXXXX 2>/dev/null); then
  cp -r "$small/." "$elsewhere"
  "$packer" --quiet "$elsewhere" "$scratch/out-elsewhere"; rc=$?
  rm -rf "$elsewhere"
  check "inputs on another file system pack (exit $rc)" [ $rc -eq 0 ]
  for region in license.bin chunkstore.bin directory.bin; do
    check "inputs on another file system give the same $region" cmp -s "$scratch/out-elsewhere/$region" "$good_out/$region"
  done
fi

# ---- The command line ----
"$packer" --help >help.out 2>help.err; rc=$?
check "--help exits 0" [ $rc -eq 0 ]
check "--help prints the usage on stdout only" contains help.out "usage: moravel-pack"
check "--help prints nothing on stderr" [ ! -s help.err ]
"$packer" --no-such-option "$small" "$good_out" >bad.out 2>bad.err; rc=$?
check "an unknown option exits 2" [ $rc -eq 2 ]
check "an unknown option prints the usage on stderr" contains bad.err "usage: moravel-pack"
check "an unknown option prints nothing on stdout" [ ! -s bad.out ]
"$packer" "" "" 2>empty.err; rc=$?
check "empty paths exit 2" [ $rc -eq 2 ]
check "an empty PAYLOAD_DIR is named" contains empty.err "PAYLOAD_DIR is an empty string"
"$packer" "$small" "" 2>empty_out.err; rc=$?
check "an empty OUT_DIR exits 2" [ $rc -eq 2 ]
check "an empty OUT_DIR is named" contains empty_out.err "OUT_DIR is an empty string"

# ---- A FIFO in place of a build or of the license: refused at once, not waited on ----
for name in license.txt bin/target_fl32; do
  rm -rf fifo && cp -r "$small" fifo && rm "fifo/$name" && mkfifo "fifo/$name"
  timeout 20 "$packer" --quiet fifo "$good_out" 2>fifo.err; rc=$?
  check "a FIFO as $name is refused (exit $rc)" [ $rc -eq 1 ]
  check "a FIFO as $name is named" contains fifo.err "fifo/$name: cannot read: not a regular file"
done
check "refused inputs leave the output as it was" [ "$(snapshot "$good_out")" = "$before" ]

# ---- Another packer holds the folder: this run refuses and touches nothing ----
flock "$good_out" "$packer" --quiet "$small" "$good_out" 2>locked.err; rc=$?
check "a locked folder is refused (exit $rc)" [ $rc -eq 1 ]
check "a locked folder is named" contains locked.err "another moravel-pack is writing $good_out"
check "a locked folder is left as it was" [ "$(snapshot "$good_out")" = "$before" ]
check "a locked folder gets no temporary" no_temporaries "$good_out"

# ---- An output path with a newline, a tab, a quote, a backslash and UTF-8 in it ----
odd="$scratch/odd"$'\n'"line"$'\t'"\"quote\\back é"
"$packer" --quiet "$small" "$odd" 2>odd.err; rc=$?
check "an odd output path packs (exit $rc)" [ $rc -eq 0 ]
check "the assembler file has one .incbin line per region" [ "$(grep -c '^	\.incbin "' "$odd/payload_image.S")" -eq 3 ]
if command -v x86_64-w64-mingw32-as >/dev/null; then
  x86_64-w64-mingw32-as "$odd/payload_image.S" -o odd.o 2>as.err; rc=$?
  check "the assembler file assembles" [ $rc -eq 0 ]
  x86_64-w64-mingw32-objcopy -O binary -j .payload odd.o odd.bin
  store=$(stat -c %s "$odd/chunkstore.bin")
  # The descriptor's third offset is chunkStoreBegin's: the section must hold the store file there.
  at=$(od -An -tu4 -j 16 -N 4 odd.bin | tr -d ' ')
  check "the section holds the store that the odd path names" cmp -s -n "$store" -i "$at:0" odd.bin "$odd/chunkstore.bin"
fi

# ---- Stopped part-way: larger builds that do not deduplicate, so that a run lasts a few seconds ----
large=$scratch/large
mkdir -p "$large/bin"
printf 'License.\r\n' >"$large/license.txt"
for key in cl64 cl32 fl64 fl32 st64; do head -c $((48 << 20)) /dev/urandom >"$large/bin/target_$key"; done
# Starts a packer into $good_out in the background and waits until its temporary store exists.
start_packer() {
  "$packer" --quiet "$large" "$good_out" 2>stopped.err &
  pid=$!
  for _ in $(seq 1 2000); do
    [ -e "$good_out/.chunkstore.bin.partial" ] && return 0
    kill -0 $pid 2>/dev/null || return 1
    sleep 0.01
  done
  return 1
}
for signal in INT TERM; do
  if start_packer; then
    kill -s $signal $pid
    wait $pid; rc=$?
    check "SIG$signal ends the run by the signal (exit $rc)" [ $rc -gt 128 ]
    check "SIG$signal leaves no temporary" no_temporaries "$good_out"
    check "SIG$signal leaves the output as it was" [ "$(snapshot "$good_out")" = "$before" ]
  else
    wait $pid
    check "a packer stopped by SIG$signal was still running when its temporary appeared" false
  fi
done

# An input that shrinks while it is mapped: the read faults (SIGBUS); the run names the file.
if start_packer; then
  truncate -s 4096 "$large/bin/target_st64"
  wait $pid; rc=$?
  check "a shrunk input ends the run with exit 1 (exit $rc)" [ $rc -eq 1 ]
  check "a shrunk input is named" contains stopped.err "$large/bin/target_st64: changed while it was being read"
  check "a shrunk input leaves no temporary" no_temporaries "$good_out"
  check "a shrunk input leaves the output as it was" [ "$(snapshot "$good_out")" = "$before" ]
else
  wait $pid
  check "a packer whose input shrank was still running when its temporary appeared" false
fi
rm -rf "$large"

echo "$passed checks passed, $failed failed"
[ $failed -eq 0 ]
