#!/bin/sh
# Runs a command with a wineserver of its own in a ready prefix: waits for any other server of the prefix to
# go (wineserver -p exits 2 while one is up), starts one that stays PERSIST seconds after its last client,
# and runs the command, passing its exit code through.
#   own_wineserver.sh PREFIX PERSIST command [args...]
# A prefix that is not ready, or a server that cannot start, is one line on stderr and exit code 125 at once;
# a server of the prefix that is still up after 60 s, likewise.
prefix=$1 persist=$2; shift 2
[ -f "$prefix/.moravel-ready" ] || { echo "own_wineserver.sh: Wine prefix $prefix is not ready" >&2; exit 125; }
tries=0
until WINEPREFIX=$prefix wineserver -p"$persist" 2>"$prefix.server.log"; do
  rc=$?
  [ "$rc" = 2 ] || { echo "own_wineserver.sh: wineserver for $prefix cannot start (exit $rc): $(head -c 200 "$prefix.server.log")" >&2; exit 125; }
  tries=$((tries + 1))
  [ "$tries" -lt 200 ] || { echo "own_wineserver.sh: another wineserver of $prefix is still up after 60 s" >&2; exit 125; }
  sleep 0.3
done
exec "$@"
