#!/usr/bin/env bash
# wine-prefix.sh for arm64: Debian's arm64 Wine under qemu in the root of arm64-wine.sh.
# Usage: wine-prefix-arm64.sh PREFIX_DIR arm64 [start|stop]
# proot returns only when every process it started has ended, and Wine's server and services
# outlive the program that started them; so they run in a session of their own, in the
# background, started here and ended by stop. Each later program then runs alone in its proot.
# A new prefix is a copy of the root's template (wineboot -i takes about 100 s emulated).
# Before the tests, an ARM64 program's round trip through the emulator tells a broken emulator
# from a failing product: its failure is reported as "emulator:".
set -eu
prefix=$1 action=${3:-start}
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
export NIVRA_ARM64_BINDS="${NIVRA_ARM64_BINDS:-} $prefix $(dirname "$here")"
session_pid=$prefix/.nivra-session.pid
ready=$prefix/.nivra-session-ready
inside() { bash "$here/arm64-wine.sh" exec "$@"; }
session_up() { [ -f "$ready" ] && kill -0 "$(cat "$session_pid" 2>/dev/null)" 2>/dev/null; }

case $action in
  session)
    # The server persists until stop; wineboot starts the services under it, then says ready.
    exec bash "$here/arm64-wine.sh" exec /bin/sh -c \
      '/usr/lib/wine/wineserver64 -p && /usr/lib/wine/wine64 wineboot; touch "$1"' sh "$ready"
    ;;
  stop)
    [ -d "$prefix" ] || exit 0
    inside /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 </dev/null || true
    # The session's proot ends with the server and its services.
    pid=$(cat "$session_pid" 2>/dev/null || true)
    for _ in $(seq 100); do
      [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    rm -f "$ready" "$session_pid"
    exit 0
    ;;
esac

bash "$here/arm64-wine.sh" ensure
[ -f "$prefix/system.reg" ] || bash "$here/arm64-wine.sh" prefix "$prefix"
if ! session_up; then
  rm -f "$ready"
  setsid bash "$0" "$prefix" arm64 session </dev/null >"$prefix/.nivra-session.log" 2>&1 &
  echo $! >"$session_pid"
  for _ in $(seq 1200); do
    [ -f "$ready" ] && break
    kill -0 "$(cat "$session_pid")" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -f "$ready" ]; then
    echo "emulator: Wine's server and services did not start under qemu-aarch64 in 120 s:" >&2
    tail -5 "$prefix/.nivra-session.log" >&2
    exit 1
  fi
fi
out=$("$here/wine-run.sh" "$prefix" arm64 cmd /c echo nivra-arm64-ok </dev/null 2>&1) || true
if [[ $out != *nivra-arm64-ok* ]]; then
  echo "emulator: an ARM64 program's round trip failed (cmd /c echo under the arm64 Wine):" >&2
  echo "$out" | tail -5 >&2
  exit 1
fi
