#!/usr/bin/env bash
# Runs one Windows program under Wine in the build tree's own prefix.
#   wine-run.sh --prefix DIR program.exe [args...]
# The prefix is made on first use (serialised with a lock, since ctest runs tests in parallel) and set to
# Wine's null graphics driver, so dialogs and message boxes work without a display. The program's exit code
# is passed through. WINEDEBUG is the caller's when set, else -all. A prefix that cannot be made, or one marked
# ready that has lost its registry, is one line on stderr and exit code 125, before any program runs; what
# wineboot said is kept in DIR.log.
set -u
[ "${1:-}" = "--prefix" ] || { echo "usage: wine-run.sh --prefix DIR program [args...]" >&2; exit 2; }
prefix=$2; shift 2
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG--all}
# No Mono or Gecko installer dialogs: nothing here needs .NET or HTML.
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
unset DISPLAY WAYLAND_DISPLAY

broken() { echo "wine-run.sh: Wine prefix $prefix: $*" >&2; exit 125; }
mkdir -p "$(dirname "$prefix")" 2>/dev/null || broken "cannot make the folder it goes in"
(
  flock 9
  if [ -f "$prefix/.moravel-ready" ]; then
    [ -f "$prefix/system.reg" ] || broken "marked ready but has no system.reg; remove it to have it made again"
    exit 0
  fi
  wineboot -i >"$prefix.log" 2>&1 || broken "wineboot failed (exit $?); see $prefix.log"
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >>"$prefix.log" 2>&1 ||
    broken "cannot set the null graphics driver (exit $?); see $prefix.log"
  wineserver -w
  [ -f "$prefix/system.reg" ] || broken "wineboot left no system.reg; see $prefix.log"
  touch "$prefix/.moravel-ready"
) 9>"$prefix.lock" || exit $?

exec wine "$@"
