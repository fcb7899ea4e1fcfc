#!/usr/bin/env bash
# Runs a Windows program under Wine in the test prefix of a build, never in ~/.wine.
# Usage: wine-run.sh PREFIX_DIR x86|x64|arm64 PROGRAM [ARGS...]
# arm64 runs Debian's arm64 Wine under qemu in the cached root of scripts/arm64-wine.sh; the
# clone, the build folder, the prefix, the program's folder and /tmp are seen there at their
# own paths.
set -eu
prefix=$1 arch=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
# NIVRA_WINEDEBUG turns Wine's channels back on when a failure needs them.
export WINEPREFIX=$prefix WINEDEBUG=${NIVRA_WINEDEBUG:--all} WINEDLLOVERRIDES='mscoree,mshtml='
emulated=()
case $arch in
  x64) export WINEARCH=win64 loader=/usr/lib/wine/wine64 ;;
  x86) export WINEARCH=win32 loader=/usr/lib/wine/wine ;;
  arm64)
    export WINEARCH=win64 loader=/usr/lib/wine/wine64
    mkdir -p "$prefix"
    binds="$(dirname "$here") $prefix ${NIVRA_BUILD_DIR:-}"
    [[ $1 != /* ]] || binds+=" $(dirname "$1")"
    # Under every CTest timeout, so an emulated run that hangs is named here.
    limit=${NIVRA_EMULATOR_TIMEOUT:-270}
    emulated=(timeout -k 5 "$limit" env NIVRA_ARM64_BINDS="${NIVRA_ARM64_BINDS:-} $binds"
              bash "$here/arm64-wine.sh" exec)
    ;;
  *) echo "wine-run.sh: unknown architecture '$arch'" >&2; exit 2 ;;
esac
# A failing start says nothing with WINEDEBUG=-all: name the status, so a test that fails before
# its program prints anything still leaves a trace.
status=0
"${emulated[@]}" "$loader" "$@" || status=$?
[ "$status" = 0 ] && exit 0
if [ ${#emulated[@]} -gt 0 ] && [ "$status" = 124 ]; then
  echo "emulator: $1 did not finish in $limit s under qemu-aarch64 (NIVRA_EMULATOR_TIMEOUT)" >&2
elif [ ${#emulated[@]} -gt 0 ] && [ "$status" -ge 128 ]; then
  # Wine turns a Windows program's crash into its exit code; a signal means the emulated
  # Wine itself (or qemu) died.
  echo "emulator: $1: Wine died by signal $((status - 128)) under qemu-aarch64 (status $status)" >&2
else
  echo "wine-run.sh: $1 exited with status $status" >&2
fi
exit "$status"
