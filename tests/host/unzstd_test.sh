#!/usr/bin/env bash
# moravel-unzstd's exit codes and outputs: a good frame, a bad one, a truncated one, usage, unreadable input.
#   unzstd_test.sh UNZSTD SCRATCH_DIR
set -u
unzstd=$1
scratch=$2
rm -rf "$scratch" && mkdir -p "$scratch" && cd "$scratch"
failed=0
expect() {  # expect WHAT CODE ARGS...: the exit code, one line on stderr for a refusal (usage aside), no temporary left
  local what=$1 code=$2; shift 2
  "$unzstd" "$@" 2>err; local rc=$?
  [ $rc -eq "$code" ] || { echo "FAIL: $what: exit $rc, expected $code" >&2; failed=1; }
  [ "$code" -eq 0 ] || [ $# -eq 0 ] || [ "$(wc -l <err)" -eq 1 ] || { echo "FAIL: $what: not one line: $(cat err)" >&2; failed=1; }
  [ -z "$(find . -name '.*.partial')" ] || { echo "FAIL: $what: a temporary is left" >&2; failed=1; }
}
seq 1 20000 >content
zstd -q -19 --long=27 content -o good.zst
expect "good frame" 0 good.zst out && cmp -s out content || { echo "FAIL: good frame decodes to other bytes" >&2; failed=1; }
head -c 100 good.zst >truncated.zst
expect "truncated frame" 1 truncated.zst out-truncated && grep -q "ends early" err || { echo "FAIL: truncation not named" >&2; failed=1; }
printf 'not a zstd frame' >bad.zst
expect "bad frame" 1 bad.zst out-bad
[ ! -e out-truncated ] && [ ! -e out-bad ] || { echo "FAIL: a failed decode left an output" >&2; failed=1; }
expect "no arguments" 2
expect "missing input" 2 missing.zst out
expect "a folder as input" 2 . out
exit $failed
