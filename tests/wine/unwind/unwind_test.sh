#!/usr/bin/env bash
# The probe, in a process of its own, throws from host callbacks through the DLL: every exception
# must reach the probe's catch, the process must live on, and Wine must find the DLL's unwind
# data for each of its frames.
# Usage: unwind_test.sh PREFIX ARCH PROBE.exe DLL
set -uo pipefail
prefix=$1 arch=$2 probe=$3 dll=$4
case $arch in
  x64) loader=/usr/lib/wine/wine64 ;;
  x86) loader=/usr/lib/wine/wine ;;
  *) echo "unwind_test.sh: unknown architecture '$arch'" >&2; exit 2 ;;
esac
# The unwind channel names each frame whose unwind data it could not find; no debugger is
# started for a crash.
export WINEPREFIX=$prefix WINEDEBUG=-all,warn+seh,warn+unwind
export WINEDLLOVERRIDES='mscoree,mshtml=;winedbg.exe=d'
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
status=0
out=$("$loader" "$probe" "Z:${dll//\//\\}" 2>"$errors" </dev/null) || status=$?
echo "$out"
name=$(basename "$dll")
guessed=$(grep -i "exception data not found in .*$name" "$errors")
[ -z "$guessed" ] || { echo "FAIL: Wine found no unwind data for frames of $name:"; echo "$guessed" | sort | uniq -c; }
[ $status = 0 ] || { echo "FAIL: the probe exited with $status"; tail -n 20 "$errors"; }
[ -z "$guessed" ] && [ $status = 0 ]
