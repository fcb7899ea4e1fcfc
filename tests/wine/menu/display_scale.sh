#!/usr/bin/env bash
# Runs the menu image's display-scale tests at 120, 144 and 192 DPI (96 is the other runs'):
# for each, the item's bitmap under Wine's own version and the owner-drawn image reporting
# Windows XP. One prefix, switched between runs: LogPixels is set, then its wine server is
# restarted. 96 DPI and the XP version are put back at the end, whatever the outcome.
# Usage: display_scale.sh SCRIPTS_DIR PREFIX ARCH XP_VERSION TEST_PROGRAM
set -u
scripts=$1 prefix=$2 arch=$3 xp_version=$4 tests=$5
quiet() { "$scripts/wine-run.sh" "$prefix" "$arch" "$@" </dev/null >/dev/null 2>&1; }
set_dpi() { quiet reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f; }
restart_server() {
  # Started by a test program instead, Wine's services would hold CTest's output open.
  "$scripts/wine-prefix.sh" "$prefix" "$arch" stop
  "$scripts/wine-prefix.sh" "$prefix" "$arch"
}
restore() {
  set_dpi 96
  quiet reg add 'HKCU\Software\Wine' /v Version /d "$xp_version" /f
  restart_server
}
trap restore EXIT
# Runs the tests that `filter` names and fails unless exactly `count` of them passed: gtest
# itself passes a filter that matches nothing.
run_tests() {  # COUNT FILTER
  local output passed
  output=$("$scripts/wine-run.sh" "$prefix" "$arch" "$tests" --gtest_filter="$2" 2>&1)
  local status=$?
  printf '%s\n' "$output"
  passed=$(grep -c '^\[       OK \]' <<<"$output")
  [ "$passed" = "$1" ] || { echo "display_scale.sh: $passed of $1 tests passed for $2"; return 1; }
  return $status
}

status=0
for scale in 120:20 144:24 192:32; do
  dpi=${scale%:*}
  export NIVRA_SMALL_ICON=${scale#*:}
  echo "== $dpi DPI: small icons of $NIVRA_SMALL_ICON pixels"
  set_dpi "$dpi"
  quiet reg delete 'HKCU\Software\Wine' /v Version /f
  restart_server
  run_tests 1 'MenuImage.TheItemsBitmapIsTheImageMadeForTheSmallIconSize' || status=1
  quiet reg add 'HKCU\Software\Wine' /v Version /d "$xp_version" /f
  run_tests 2 'OldSystem.ThePrefixReportsAVersionBeforeSix:OwnerDraw.TheImageMadeFor*' || status=1
done
exit $status
