#!/usr/bin/env bash
# The probe, in a process of its own, throws from host callbacks through the DLL: every exception
# must reach the probe's catch, the process must live on, and Wine must find the DLL's unwind
# data for each of its frames.
# Usage: unwind_test.sh PREFIX ARCH PROBE.exe DLL
set -uo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
prefix=$1 arch=$2 probe=$3 dll=$4
name=$(basename "$dll")
# Copies at a path without blanks, which the command line through cmd needs.
here=$prefix/drive_c/unwind-test
rm -rf "$here"
mkdir -p "$here"
cp "$probe" "$here/unwind_probe.exe"
cp "$dll" "$here/$name"
errors=$here/stderr.txt
# wine-run.sh silences Wine; the probe's own environment, set by cmd, turns on the unwind
# channel, which names each frame whose unwind data it cannot find.
status=0
out=$("$root/scripts/wine-run.sh" "$prefix" "$arch" cmd /c \
  "set WINEDEBUG=-all,warn+seh,warn+unwind&& C:\\unwind-test\\unwind_probe.exe C:\\unwind-test\\$name" \
  2>"$errors" </dev/null) || status=$?
echo "$out"
guessed=$(grep -i "exception data not found in .*$name" "$errors")
[ -z "$guessed" ] || { echo "FAIL: Wine found no unwind data for frames of $name:"; echo "$guessed" | sort | uniq -c; }
[ $status = 0 ] || { echo "FAIL: the probe exited with $status"; tail -n 20 "$errors"; }
[ -z "$guessed" ] && [ $status = 0 ] && rm -rf "$here"
