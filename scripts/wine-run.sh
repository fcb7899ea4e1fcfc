#!/usr/bin/env bash
# Runs a Windows program under Wine in the test prefix of a build, never in ~/.wine.
# Usage: wine-run.sh PREFIX_DIR x86|x64 PROGRAM [ARGS...]
set -eu
prefix=$1 arch=$2
shift 2
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
case $arch in
  x64) export WINEARCH=win64 loader=/usr/lib/wine/wine64 ;;
  x86) export WINEARCH=win32 loader=/usr/lib/wine/wine ;;
  *) echo "wine-run.sh: unknown architecture '$arch'" >&2; exit 2 ;;
esac
# A failing start says nothing with WINEDEBUG=-all: name the status, so a test that fails before
# its program prints anything still leaves a trace.
status=0
"$loader" "$@" || status=$?
[ "$status" = 0 ] || echo "wine-run.sh: $1 exited with status $status" >&2
exit "$status"
