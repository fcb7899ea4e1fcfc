#!/usr/bin/env bash
# NivraShellExtCheck in a throwaway prefix, state after state (each undone before the next):
# the exact findings and exit code of each, the JSON form through a real JSON parser, and the
# program's own time beside an empty console program's.
# Usage: check_test.sh WORK-DIR ARCH CHECK.exe EMPTY.exe NIVRA.exe DLL [DLL32]
#   DLL: this architecture's product DLL; DLL32 (x64, where 32-bit programs run): the x86 one,
#   registered beside it
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

machine=$arch
if [ "$arch" = x64 ]; then
  explorer='Explorer is 64-bit and loads the x64 DLL of the 64-bit registry view'
  view=64-bit
elif [ "$arch" = arm64 ]; then
  machine=ARM64
  explorer='Explorer is ARM64 and loads the ARM64 DLL of the 64-bit registry view'
  view=64-bit
else
  explorer='Explorer is 32-bit'
  view=32-bit
fi
windows="note: Windows 6.1 build 7601, $machine: $explorer"
server="CLSID\\$clsid\\InprocServer32"
server32="Wow6432Node\\CLSID\\$clsid\\InprocServer32"
package='note: the Windows 11 package: cannot be told here (build 7601), and this Windows has no first level that would need it'
beside_en='ok: C:\app\Nivra.exe is there
note: C:\app\configuration\config.ini: the command is in English'
machine64="ok: registered per machine in the $view view (HKLM\\Software\\Classes\\$server): C:\\app\\NivraShellExt.dll ($machine, version 1.0.0.0)"

expect "nothing registered" <<EOF
$windows
problem: the handler is not registered for this user in the $view view, which Explorer reads (HKLM\\Software\\Classes\\$server, HKCU\\Software\\Classes\\$server): register the DLL (regsvr32, or the installer package)
$package
summary: 1 problem stands in the way of the command
exit 1
EOF

register
both=$machine64
if [ -n "$dll32" ]; then
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

# Emulated runs (ARM64 under qemu) stop after the first registered state.
[ -z "${NIVRA_CHECK_REGISTERED_ONLY:-}" ] || exit 0

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

if [ -n "$dll32" ]; then
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

# Windows 11 (Wine takes the build from the registry's version values) and the first level's
# package: none; provisioned for every user, found by the class its manifest names (past one of
# Microsoft's packages, whose manifests are never read, and another package's) or by its name
# where the manifest cannot be read; registered for this user, alone and beside the handler.
nt='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
quiet reg add "$nt" /v CurrentVersion /d 10.0 /f
quiet reg add "$nt" /v CurrentBuildNumber /d 22631 /f
windows11="note: Windows 10.0 build 22631, $arch: $explorer
note: Windows 11: the first level of the file menu shows the command only with the package; the classic handler is under \"Show more options\""
index='HKCR\PackagedCom\ClassIndex\{18180415-7FC1-4CF5-903C-8D1556234590}'
store='HKLM\Software\Microsoft\Windows\CurrentVersion\Appx\AppxAllUserStore\Applications'
unregistered="the handler is not registered for this user in the $view view, which Explorer reads (HKLM\\Software\\Classes\\$server, HKCU\\Software\\Classes\\$server)"
expect "Windows 11, no package" <<EOF
$windows11
problem: $unregistered: register the DLL (regsvr32, or the installer package)
problem: no package serves the explorer command for this user ($index), nor is one provisioned for every user ($store): the first level of the menu shows no command; register the package (see the README's Windows 11 section)
summary: 2 problems stand in the way of the command
exit 1
EOF

mkdir -p "$prefix/drive_c/pkg/ours" "$prefix/drive_c/pkg/other"
sed 's/@PACKAGE_NAME@/Nivra.Renamed/' "$root/resources/package/AppxManifest.xml" \
  >"$prefix/drive_c/pkg/ours/AppxManifest.xml"
printf '<Package><com:Class Id="%s"/></Package>' 11111111-2222-3333-4444-555555555555 \
  >"$prefix/drive_c/pkg/other/AppxManifest.xml"
provision() {  # FULL-NAME MANIFEST
  quiet reg add "$store\\$1" /v Path /d "$2" /f
}
provision Microsoft.BingWeather_4.25.20211.0_neutral_~_8wekyb3d8bbwe 'C:\pkg\ours\AppxManifest.xml'
provision Other.App_1.0.0.0_x64__1234567890abc 'C:\pkg\other\AppxManifest.xml'
renamed=Nivra.Renamed_1.0.0.0_neutral__3x5p1ey0sxa8c
provision $renamed 'C:\pkg\ours\AppxManifest.xml'
provisioned() {  # FULL-NAME: the finding of a package provisioned but not yet registered
  echo "problem: no package serves the explorer command for this user yet ($index): the package $1 is provisioned for every user of this machine ($store\\$1), and Windows registers it for this user at the next sign-in: sign out and in"
}
expect "Windows 11, provisioned, found by its manifest's class" <<EOF
$windows11
note: $unregistered: on Windows 11 the package serves the command instead
$(provisioned $renamed)
summary: 1 problem stands in the way of the command
exit 1
EOF

quiet reg delete "$store\\$renamed" /f
adoc=Nivra.Adoc_1.0.0.0_neutral__3x5p1ey0sxa8c
provision $adoc 'C:\pkg\gone\AppxManifest.xml'
expect "Windows 11, provisioned, found by its name" <<EOF
$windows11
note: $unregistered: on Windows 11 the package serves the command instead
$(provisioned $adoc)
summary: 1 problem stands in the way of the command
exit 1
EOF

quiet reg add "HKLM\\Software\\Classes\\${index#HKCR\\}" /f
expect "Windows 11, registered for this user" <<EOF
$windows11
note: $unregistered: on Windows 11 the package serves the command instead
ok: a package serves the explorer command for this user ($index)
summary: nothing stands in the way: the command shows for this user
exit 0
EOF
register
expect "Windows 11, registered beside the handler" <<EOF
$windows11
$machine64
note: the handler is registered beside the package: "Show more options" lists the command twice; on Windows 11 unregister the $arch DLL (regsvr32 /u)
$beside_en
ok: a package serves the explorer command for this user ($index)
summary: nothing stands in the way: the command shows for this user
exit 0
EOF
register /u
quiet reg delete 'HKLM\Software\Classes\PackagedCom' /f
quiet reg delete "$store" /f
quiet reg add "$nt" /v CurrentVersion /d 6.1 /f
quiet reg add "$nt" /v CurrentBuildNumber /d 7601 /f

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
