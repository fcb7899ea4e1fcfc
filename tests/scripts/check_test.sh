#!/usr/bin/env bash
# NivraShellExtCheck in a throwaway prefix, state after state (each undone before the next):
# the exact findings and exit code of each, the JSON form through a real JSON parser, and the
# program's own time beside an empty console program's.
# Usage: check_test.sh WORK-DIR ARCH CHECK.exe EMPTY.exe NIVRA.exe DLL [DLL32]
#   DLL: this architecture's product DLL; DLL32 (x64 only): the x86 one, registered beside it
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$1 arch=$2 check=$3 empty=$4 standin=$5 dll=$6 dll32=${7:-}
clsid='{37653C37-DEDE-49F1-A788-4E46787130D9}'
prefix=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }
wine() { "$root/scripts/wine-run.sh" "$prefix" "$arch" "$@" </dev/null; }
quiet() { wine "$@" >/dev/null 2>&1; }
rm -rf "$work"
mkdir -p "$work"
trap 'bash "$root/scripts/wine-prefix.sh" "$prefix" "$arch" stop' EXIT
bash "$root/scripts/wine-prefix.sh" "$prefix" "$arch"

app=$prefix/drive_c/app
mkdir -p "$app/configuration"
cp "$dll" "$app/NivraShellExt.dll"
[ -z "$dll32" ] || cp "$dll32" "$app/NivraShellExt32.dll"
cp "$standin" "$app/Nivra.exe"
settings() { printf '[SetupSettings]\r\nosgi.nl=%s\r\n' "$1" >"$app/configuration/config.ini"; }
settings en
regsvr32_32=regsvr32
[ "$arch" = x86 ] || regsvr32_32='C:\windows\syswow64\regsvr32.exe'
register() { quiet regsvr32 /s "$@" 'C:\app\NivraShellExt.dll' || fail "regsvr32 $*"; }

# Runs the check: its findings without the line about the running Explorer (whether Wine's
# desktop process is up is no state of ours), then its exit code.
run() {
  local out status=0
  out=$(wine "$check" "$@" 2>/dev/null | tr -d '\r') || status=$?
  grep -v 'Explorer (process\|Explorer has not loaded\|no Explorer is running' <<<"$out" || true
  echo "exit $status"
}
expect() {  # STATE: the check's output equals standard input
  local got
  got=$(run)
  if [ "$got" != "$(cat)" ]; then
    echo "--- $1: got"; echo "$got"
    fail "$1"
  fi
  echo "ok $1"
}

if [ "$arch" = x64 ]; then
  windows='note: Windows 6.1 build 7601, 64-bit: Explorer is 64-bit and loads the DLL of the 64-bit registry view'
  view=64-bit
else
  windows='note: Windows 6.1 build 7601, 32-bit: Explorer is 32-bit'
  view=32-bit
fi
server="CLSID\\$clsid\\InprocServer32"
server32="Wow6432Node\\CLSID\\$clsid\\InprocServer32"
package='note: the Windows 11 package: cannot be told here (build 7601), and this Windows has no first level that would need it'
beside_en='ok: C:\app\Nivra.exe is there
note: C:\app\configuration\config.ini: the command is in English'
machine64="ok: registered per machine in the $view view (HKLM\\Software\\Classes\\$server): C:\\app\\NivraShellExt.dll ($arch, version 1.0.0.0)"

expect "nothing registered" <<EOF
$windows
problem: the handler is not registered for this user in the $view view, which Explorer reads (HKLM\\Software\\Classes\\$server, HKCU\\Software\\Classes\\$server): register the DLL (regsvr32, or the installer package)
$package
summary: 1 problem stands in the way of the command
exit 1
EOF

register
both=$machine64
if [ "$arch" = x64 ]; then
  quiet "$regsvr32_32" /s 'C:\app\NivraShellExt32.dll' || fail "regsvr32 x86"
  both="$machine64
ok: registered per machine in the 32-bit view (HKLM\\Software\\Classes\\$server32): C:\\app\\NivraShellExt32.dll (x86, version 1.0.0.0)"
fi
expect "per machine" <<EOF
$windows
$both
$beside_en
$package
summary: nothing stands in the way: the command shows for this user
exit 0
EOF

json=$(wine "$check" --json 2>/dev/null | tr -d '\r') || true
python3 - "$json" <<'PY' || fail "the JSON form"
import json, sys
report = json.loads(sys.argv[1])
assert report["exitCode"] == 0 and report["problems"] == 0, report
kinds = [f["kind"] for f in report["findings"]]
assert set(kinds) <= {"ok", "problem", "note"} and "ok" in kinds, kinds
assert any("C:\\app\\NivraShellExt.dll" in f["text"] for f in report["findings"]), report
PY
echo "ok JSON parsed"

settings lt
expect "Lithuanian settings" <<EOF
$windows
$both
ok: C:\\app\\Nivra.exe is there
note: C:\\app\\configuration\\config.ini: the command is in Lithuanian
$package
summary: nothing stands in the way: the command shows for this user
exit 0
EOF
settings en

mv "$app/Nivra.exe" "$work/Nivra.exe"
expect "Nivra.exe missing" <<EOF
$windows
$both
problem: C:\\app\\Nivra.exe is missing: the command would fail; reinstall the application, or move the DLL beside it
note: C:\\app\\configuration\\config.ini: the command is in English
$package
summary: 1 problem stands in the way of the command
exit 1
EOF
mv "$work/Nivra.exe" "$app/Nivra.exe"

policy='HKLM\Software\Microsoft\Windows\CurrentVersion\Policies\Explorer'
approved='HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved'
quiet reg add "$policy" /v EnforceShellExtensionSecurity /t REG_DWORD /d 1 /f
on="note: the policy \"Allow only per user or approved shell extensions\" is on (HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\EnforceShellExtensionSecurity)"
expect "policy on, approved" <<EOF
$windows
$both
$beside_en
$on
ok: the class is approved (HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved\\$clsid)
$package
summary: nothing stands in the way: the command shows for this user
exit 0
EOF
quiet reg delete "$approved" /v "$clsid" /f
expect "policy on, not approved" <<EOF
$windows
$both
$beside_en
$on
problem: the class is not approved (no value $clsid under HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved): Explorer does not load it under the policy; register the DLL again per machine, or per user
$package
summary: 1 problem stands in the way of the command
exit 1
EOF
quiet reg delete "$policy" /v EnforceShellExtensionSecurity /f
register

blocked='HKCU\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Blocked'
quiet reg add "$blocked" /v "$clsid" /d NivraShellExt /f
expect "class blocked" <<EOF
$windows
$both
$beside_en
problem: the class is blocked: value $clsid under HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Blocked; Explorer loads no blocked extension (ask the administrator)
$package
summary: 1 problem stands in the way of the command
exit 1
EOF
quiet reg delete "$blocked" /v "$clsid" /f

if [ "$arch" = x64 ]; then
  # The x86 DLL where 64-bit Explorer looks.
  quiet reg add "HKLM\\Software\\Classes\\$server" /ve /d 'C:\app\NivraShellExt32.dll' /f /reg:64
  expect "x86 DLL in the 64-bit view" <<EOF
$windows
problem: registered per machine in the 64-bit view (HKLM\\Software\\Classes\\$server): C:\\app\\NivraShellExt32.dll (x86, version 1.0.0.0): 64-bit Explorer cannot load an x86 DLL; register the x64 DLL instead
ok: registered per machine in the 32-bit view (HKLM\\Software\\Classes\\$server32): C:\\app\\NivraShellExt32.dll (x86, version 1.0.0.0)
$beside_en
$package
summary: 1 problem stands in the way of the command
exit 1
EOF
  quiet "$regsvr32_32" /s /u 'C:\app\NivraShellExt32.dll'
  register
  both=$machine64
fi

mv "$app/NivraShellExt.dll" "$work/gone.dll"
expect "DLL deleted after registration" <<EOF
$windows
problem: registered per machine in the $view view (HKLM\\Software\\Classes\\$server) is C:\\app\\NivraShellExt.dll, which does not exist: reinstall, or unregister it
$package
summary: 1 problem stands in the way of the command
exit 1
EOF
mv "$work/gone.dll" "$app/NivraShellExt.dll"

register /u
register /n /i:user
expect "per user" <<EOF
$windows
ok: registered for this user in the $view view (HKCU\\Software\\Classes\\$server): C:\\app\\NivraShellExt.dll ($arch, version 1.0.0.0)
$beside_en
$package
summary: nothing stands in the way: the command shows for this user
exit 0
EOF
register /u /n /i:user

status=0
wine "$check" --verbose >/dev/null 2>&1 || status=$?
[ $status = 2 ] || fail "a bad command line gave exit $status"
echo "ok bad command line"

# The check's own work: its time beside an empty console program's, started the same way.
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
times_of() {  # PROGRAM: milliseconds of five runs, one a line
  local i from
  for i in 1 2 3 4 5; do
    from=$EPOCHREALTIME
    wine "$1" >/dev/null 2>&1 || true
    awk -v a="$from" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.0f\n", (b - a) * 1000 }'
  done
}
check_ms=$(times_of "$check" | median) empty_ms=$(times_of "$empty" | median)
echo "time: check $check_ms ms, empty console program $empty_ms ms (the check's own work: $((check_ms - empty_ms)) ms)"
echo "size: $(stat -c %s "$check") bytes"
