#!/usr/bin/env bash
# Takes the README's screenshots of the real installer: the license dialog, the selection dialog, and the
# selection dialog while installing. Run by hand after a build:
#   tests/e2e/take_screenshots.sh [BUILD_DIR]      (default: build)
# Wine draws the windows with its X11 driver on an Xvfb screen, inside a Wine virtual desktop (which draws
# the captions), in a prefix of its own so that the tests' prefix keeps its null driver. The PNGs go to
# docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/../.."
MORAVEL_SCREENSHOTS=1 scripts/bootstrap.sh
build=$(realpath "${1:-build}")
driver=$build/windows/tests/e2e/screenshot_driver.exe
[ -f "$driver" ] || { echo "no $driver: build first" >&2; exit 1; }
out=$(pwd)/docs/screenshots
work=$build/screenshots
mkdir -p "$out" "$work/requests"
rm -f "$work"/requests/*

export WINEPREFIX=$work/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
display=:77
Xvfb $display -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
[ -f "$WINEPREFIX/.ready" ] || { wineboot -i >/dev/null 2>&1; wineserver -w; touch "$WINEPREFIX/.ready"; }

requests_windows="Z:$(echo "$work/requests" | tr / '\\')"
wine explorer /desktop=shot,1024x768 "$driver" "$requests_windows" >/dev/null 2>&1 &
wine_pid=$!
for name in license selection installing; do
  for _ in $(seq 600); do [ -f "$work/requests/$name.request" ] && break; sleep 0.05; done
  [ -f "$work/requests/$name.request" ] || { echo "the driver did not reach $name" >&2; exit 1; }
  # The whole desktop, then cut to the dialog: the plain desktop colour around it trims away.
  import -window root "$work/desktop.png"
  convert "$work/desktop.png" -trim +repage "$out/$name.png"
  touch "$work/requests/$name.done"
  echo "docs/screenshots/$name.png"
done
wait $wine_pid || true
wineserver -k || true
