#!/usr/bin/env bash
# Makes the Wine prefix of a test build once, and keeps a wine server running for the tests
# (stopped again with: wine-prefix.sh PREFIX_DIR ARCH stop).
set -eu
prefix=$1 arch=$2 action=${3:-start}
here=$(cd "$(dirname "$0")" && pwd)
# ARM64 runs in emulation, where the server and Wine's services need a session of their own.
[ "$arch" != arm64 ] || exec bash "$here/wine-prefix-arm64.sh" "$@"
export WINEPREFIX=$prefix WINEDEBUG=-all
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=/usr/lib/wine/wineserver32
if [ "$action" = stop ]; then
  "$server" -k 2>/dev/null || true
  exit 0
fi
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  "$here/wine-run.sh" "$prefix" "$arch" wineboot -i >/dev/null 2>&1
  "$server" -w >/dev/null 2>&1 </dev/null
fi
# Fails harmlessly when a server for the prefix is already up.
"$server" -p >/dev/null 2>&1 </dev/null || true
# Start Wine's own services now, with their output closed: started by the first test program
# instead, they would hold CTest's output pipe open until its timeout.
"$here/wine-run.sh" "$prefix" "$arch" wineboot </dev/null >/dev/null 2>&1 || true
