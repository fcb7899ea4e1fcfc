#!/usr/bin/env bash
# Runs a Windows test program on a virtual screen: an Xvfb display of its own and a Wine desktop
# named for this run. Only such a desktop can open windows once the prefix's default desktop
# has started without a screen, and the rest of the suite keeps running without one.
# Usage: on_screen.sh PREFIX_DIR x86|x64 PROGRAM [ARGS...]; exits with the program's status.
set -eu
prefix=$1 arch=$2 program=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v xvfb-run >/dev/null; then
  echo "on_screen.sh: xvfb-run is missing (scripts/setup.sh installs xvfb)" >&2
  exit 1
fi
status=$(mktemp)
trap 'rm -f "$status"' EXIT
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# The desktop's explorer hands back neither the program's status nor its own: the program
# writes its status into NIVRA_STATUS_FILE.
NIVRA_STATUS_FILE=$(windows_path "$status") xvfb-run -a -s "-screen 0 1024x768x24" \
  "$here/../../../scripts/wine-run.sh" "$prefix" "$arch" \
  explorer "/desktop=nivra-screen-$$,1024x768" "$(windows_path "$program")" "$@"
code=$(cat "$status")
if [ -z "$code" ]; then
  echo "on_screen.sh: $program did not finish" >&2
  exit 1
fi
exit "$code"
