#!/usr/bin/env bash
# Runs one Windows program under Wine in the build tree's own prefix.
#   wine-run.sh --prefix DIR program.exe [args...]
# The prefix is made on first use (serialised with a lock, since ctest runs tests in parallel) and set to
# Wine's null graphics driver, so dialogs and message boxes work without a display. The program's exit code
# is passed through.
set -u
[ "${1:-}" = "--prefix" ] || { echo "usage: wine-run.sh --prefix DIR program [args...]" >&2; exit 2; }
prefix=$2; shift 2
export WINEPREFIX=$prefix
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs: nothing here needs .NET or HTML.
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
unset DISPLAY WAYLAND_DISPLAY

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.moravel-ready" ]; then
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    wineserver -w
    touch "$prefix/.moravel-ready"
  fi
) 9>"$prefix.lock"

exec wine "$@"
