#!/usr/bin/env bash
# The ARM64 package under the arm64 Wine's msiexec, in a throwaway prefix: read as an ARM64
# package; refused where the machine says AMD64; per machine the 64-bit view equals what the
# ARM64 regsvr32 writes for the same DLL, the ARM64 DLL, the x86 one and the check program are
# installed and the host right-clicks through them; removal leaves registry and folder as before.
# Usage: msi_arm64_test.sh WORK-DIR BUILD-DIR HOST.exe NIVRA.exe REG_DUMP.exe
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$1 build=$2 host=$3 standin=$4 reg_dump=$5 arch=arm64
prefix=$work/prefix
# Emulated Wine has no 32-bit programs: the 32-bit view has no regsvr32 to compare with.
views=(64)
. "$root/tests/scripts/msi_support.sh"
# Every key in one process: each reg.exe costs seconds under emulation.
export_keys() {  # FILE KEY...
  local file=$1
  shift
  wine "$reg_dump" /reg:64 "$@" | tr -d '\r' >"$file"
}
export NIVRA_ARM64_BINDS="${NIVRA_ARM64_BINDS:-} $work"
start_prefix

echo "== package"
msi=$(NIVRA_BUILD_DIR=$build bash "$root/scripts/package-msi.sh" --arch arm64 --out "$work/pkg" \
  2>/dev/null)
[[ $(basename "$msi") == NivraShellExt-*-arm64.msi ]] || fail "package named $(basename "$msi")"
summary=$(msiinfo suminfo "$msi")
grep -qx 'Template: Arm64;1033' <<<"$summary" || fail "not an ARM64 package: $summary"
echo "$(basename "$msi"): $(stat -c %s "$msi") bytes, Template Arm64;1033"

# Windows on ARM keeps ARM64 here; Wine 8's arm64 prefix says x86: set as Windows has it.
environment='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
echo "== refused where the machine says AMD64"
quiet reg add "$environment" /v PROCESSOR_ARCHITECTURE /d AMD64 /f
# The arm64 Wine's msiexec exits 0 after a launch condition refused (Windows: 1603): the log
# and the folder tell.
msiexec on-x64 /i "$(winpath "$msi")" 'INSTALLDIR=C:\Refused' || true
quiet reg add "$environment" /v PROCESSOR_ARCHITECTURE /d ARM64 /f
grep -q 'LaunchConditions. Return value 0' "$work/on-x64.log" && [ ! -e "$prefix/drive_c/Refused" ] ||
  fail "the ARM64 package installed on a machine that says AMD64"

# Wine's arm64 msiexec takes ProgramFiles64Folder for C:\ (Windows: C:\Program Files): the
# folder is given, so the entries name the folder Windows would use.
install_dir='C:\Program Files\Nivra'
dir=$prefix/drive_c/Program\ Files/Nivra
# Real machines have other handlers and approved extensions beside ours; Wine's msi removes a
# key its removal leaves empty, which would hide a removal of too much.
quiet reg add 'HKCR\*\shellex\ContextMenuHandlers\Neighbour' /ve /d '{00000000-0000-0000-0000-000000000001}' /f
quiet reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved' /v '{00000000-0000-0000-0000-000000000001}' /d Neighbour /f
export_keys "$work/before.reg" "${state[@]}"

echo "== regsvr32, as the reference"
mkdir -p "$dir"
cp "$build/product-arm64/bin/NivraShellExt.dll" "$dir/"
quiet regsvr32 /s "$install_dir\\NivraShellExt.dll" || fail "regsvr32"
export_keys "$work/regsvr32.reg" "${keys[@]}"
quiet regsvr32 /s /u "$install_dir\\NivraShellExt.dll" || fail "regsvr32 /u"
rm -rf "$dir"

echo "== per machine"
msiexec install /i "$(winpath "$msi")" "INSTALLDIR=$install_dir" || fail "install: exit $?"
export_keys "$work/installed.reg" "${keys[@]}"
same "$work/regsvr32.reg" "$work/installed.reg" "the package writes other entries than regsvr32"
[ "$(files_in "$dir" | tr '\n' ' ')" = "NivraShellExt.dll NivraShellExt32.dll NivraShellExtCheck.exe " ] ||
  fail "installed files: $(files_in "$dir")"
cmp -s "$dir/NivraShellExt.dll" "$build/product-arm64/bin/NivraShellExt.dll" ||
  fail "NivraShellExt.dll is not the ARM64 DLL"
cmp -s "$dir/NivraShellExt32.dll" "$build/product-x86-NivraShellExt32/bin/NivraShellExt32.dll" ||
  fail "NivraShellExt32.dll is not the x86 DLL"
cp "$standin" "$dir/"
printf '%%PDF-1.4\n' >"$work/report.pdf"
out=$(wine "$host" "$(winpath "$work/report.pdf")" 2>&1 | tr -d '\r') || fail "host: $out"
grep -q '^menu item: *Add to &ADOC\.\.\.$' <<<"$out" || fail "no menu item: $out"
grep -qF "application received: nivra -create \"$(winpath "$work/report.pdf")\"" <<<"$out" ||
  fail "the application did not start: $out"
rm -f "$dir/Nivra.exe" "$dir/Nivra.received.txt"

echo "== removal"
msiexec remove /x "$(winpath "$msi")" || fail "removal: exit $?"
export_keys "$work/removed.reg" "${state[@]}"
same "$work/before.reg" "$work/removed.reg" "removal did not leave the registry as it was"
[ -z "$(files_in "$dir")" ] || fail "files left: $(files_in "$dir")"

echo "== times"
cat "$work/times.txt"
echo "msi arm64: ARM64 package, refused on AMD64, registry equal to regsvr32's, right-click, removal"
