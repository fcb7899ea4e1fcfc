#!/usr/bin/env bash
# The image checks against small DLLs built to pass and to fail: check-unwind.py refuses an x64
# DLL built without unwind tables and passes it with them and the zig-built ARM64 one;
# check-imports.sh refuses a DLL with an export beyond the five and passes the five, on x64
# and ARM64; the zig wrappers' links are byte-identical, with no link time in the header.
# Usage: image_checks_test.sh WORK-DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$1
rm -rf "$work"
mkdir -p "$work"
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }
passes() { "$@" >/dev/null 2>&1 || fail "expected to pass: ${*##*/}"; }
refused() { ! "$@" >/dev/null 2>&1 || fail "expected to fail: ${*##*/}"; }

# Calls through a pointer the compiler cannot see through, so every export is a real frame.
cat >entries.c <<'EOF'
typedef long (*Step)(long);
static long Twice(long value) { return 2 * value; }
Step volatile g_step = Twice;
long Through(long value) { long r = g_step(value); return g_step(r) + value; }
long DllGetClassObject(void) { return Through(1); }
long DllCanUnloadNow(void) { return Through(2); }
long DllRegisterServer(void) { return Through(3); }
long DllUnregisterServer(void) { return Through(4); }
long DllInstall(void) { return Through(5); }
EOF
printf 'EXPORTS\n DllGetClassObject\n DllCanUnloadNow\n DllRegisterServer\n DllUnregisterServer\n DllInstall\n' >five.def
{ cat five.def; echo ' Through'; } >six.def

x64() {  # OUT DEF FLAGS...
  local out=$1 def=$2
  shift 2
  mkdir -p "$(dirname "$out")"
  x86_64-w64-mingw32-gcc-win32 -Os -shared -s "$@" entries.c "$def" -o "$out"
}
arm64() {  # OUT DEF: the product's own optimisation, so zig's runtime comes from its cache
  mkdir -p "$(dirname "$1")"
  "$root/cmake/zig/aarch64-windows-cc" -O3 -shared -s -Wl,--no-insert-timestamp \
    entries.c "$2" -o "$1"
}

x64 x64/bin/tables.dll five.def
x64 x64/bin/bare.dll five.def -fno-asynchronous-unwind-tables -fno-unwind-tables
x64 x64/bin/six.dll six.def
passes python3 "$root/scripts/check-unwind.py" x64/bin/tables.dll
refused python3 "$root/scripts/check-unwind.py" x64/bin/bare.dll
passes bash "$root/scripts/check-imports.sh" x64/bin/tables.dll
refused bash "$root/scripts/check-imports.sh" x64/bin/six.dll

arm64 arm64/first/bin/entries.dll five.def
sleep 1
arm64 arm64/second/bin/entries.dll five.def
arm64 arm64/bin/six.dll six.def
cmp -s arm64/first/bin/entries.dll arm64/second/bin/entries.dll || fail "two ARM64 links differ"
stamp=$(llvm-readobj-14 --file-headers arm64/first/bin/entries.dll |
  awk '/TimeDateStamp:/ {print $NF}')
[ "$stamp" = "(0x0)" ] || fail "the ARM64 DLL carries a link time $stamp"
passes python3 "$root/scripts/check-unwind.py" arm64/first/bin/entries.dll
passes bash "$root/scripts/check-imports.sh" arm64/first/bin/entries.dll
refused bash "$root/scripts/check-imports.sh" arm64/bin/six.dll
echo "image checks: pass and fail as expected on x64 and ARM64"
