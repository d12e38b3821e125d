# Sourced by the shipped-installer tests: counted checks that name what they saw.
failed=0 passed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAILED: $*"; }
# check NAME CONDITION...: runs the condition (a command) and counts it.
check() { local name=$1; shift; if "$@"; then pass; else fail "$name"; fi; }
# run_inspect ARGS...: runs moravel-inspect, leaving its exit code, stdout and stderr in code, out, err.
run_inspect() {
  out=$("$inspect" "$@" 2>"$scratch/stderr"); code=$?
  err=$(cat "$scratch/stderr")
}
# expect_inspect CODE TEXT ARGS...: exit code CODE, and TEXT in stdout or stderr.
expect_inspect() {
  local want=$1 text=$2; shift 2
  run_inspect "$@"
  if [ "$code" -eq "$want" ] && [[ "$out$err" == *"$text"* ]]; then pass
  else fail "moravel-inspect $*: exit $code, want $want with '$text'; stdout '$out', stderr '$err'"; fi
}
finish() { echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]; }
