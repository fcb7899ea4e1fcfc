#!/usr/bin/env bash
# The ARM64 package under the arm64 Wine's msiexec, in the tests' prefix (a new one costs 20 s
# emulated; exports before and after show it left as it was, but for the machine's
# architecture, set to ARM64 as Windows on ARM has it, and two neighbours' entries): an ARM64
# package with the x64 package's custom actions and sequence; refused where the machine says
# AMD64; per machine the 64-bit view equals what the ARM64 regsvr32 writes for the same DLL, the
# ARM64 DLL, the x86 one and the check program are installed and the host right-clicks through
# them; removal leaves registry and folder as before.
# Usage: msi_arm64_test.sh WORK-DIR PREFIX BUILD-DIR HOST.exe NIVRA.exe REG_DUMP.exe
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$1 prefix=$2 build=$3 host=$4 standin=$5 reg_dump=$6 arch=arm64
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
rm -rf "$work"
mkdir -p "$work"

echo "== packages, signed"
test_certificate "$work"
for one in x64 arm64; do
  NIVRA_BUILD_DIR=$build bash "$root/scripts/package-msi.sh" --pkcs12 "$work/signer.p12" \
    --readpass "$work/pass.txt" --arch $one --out "$work/pkg" >/dev/null
done
msi=$(ls "$work"/pkg/NivraShellExt-*-arm64.msi) x64=$(ls "$work"/pkg/NivraShellExt-*-x64.msi)
summary=$(msiinfo suminfo "$msi")
grep -qx 'Template: Arm64;1033' <<<"$summary" || fail "not an ARM64 package: $summary"
echo "$(basename "$msi"): $(stat -c %s "$msi") bytes, Template Arm64;1033"
# The Windows 11 package's steps are the x64 package's, to the row.
for table in CustomAction InstallExecuteSequence; do
  msiinfo export "$x64" $table >"$work/x64-$table.idt"
  msiinfo export "$msi" $table >"$work/arm64-$table.idt"
  same "$work/x64-$table.idt" "$work/arm64-$table.idt" "$table differs from the x64 package's"
done
grep -q 'NivraPackageProvision' "$work/arm64-CustomAction.idt" || fail "no Windows 11 package steps"

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
cat >"$work/neighbour.reg" <<'REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Classes\*\shellex\ContextMenuHandlers\Neighbour]
@="{00000000-0000-0000-0000-000000000001}"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved]
"{00000000-0000-0000-0000-000000000001}"="Neighbour"
REG
quiet regedit /s "$(winpath "$work/neighbour.reg")" || fail "regedit"
export_keys "$work/before.reg" "${state[@]}"

echo "== regsvr32, as the reference"
mkdir -p "$dir"
cp "$build/product-arm64/bin/NivraShellExt.dll" "$dir/"
quiet regsvr32 /s "$install_dir\\NivraShellExt.dll" || fail "regsvr32"
export_keys "$work/regsvr32.reg" "${keys[@]}"
quiet regsvr32 /s /u "$install_dir\\NivraShellExt.dll" || fail "regsvr32 /u"
rm -rf "$dir"

echo "== per machine"
# The prefix is shared: a failure leaves no product behind.
trap 'quiet msiexec /x "$(winpath "$msi")" /qn || true' EXIT
msiexec install /i "$(winpath "$msi")" "INSTALLDIR=$install_dir" || fail "install: exit $?"
export_keys "$work/installed.reg" "${keys[@]}"
same "$work/regsvr32.reg" "$work/installed.reg" "the package writes other entries than regsvr32"
[ "$(files_in "$dir" | tr '\n' ' ')" = "Assets NivraShellExt.dll NivraShellExt.msix NivraShellExt32.dll NivraShellExtCheck.exe " ] ||
  fail "installed files: $(files_in "$dir")"
machine() {  # PE: the machine field of its file header, in hex
  local pe
  pe=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
  od -An -t x2 -j $((pe + 4)) -N 2 "$1" | tr -d ' '
}
[ "$(machine "$dir/NivraShellExt.dll")" = aa64 ] && [ "$(machine "$dir/NivraShellExtCheck.exe")" = aa64 ] ||
  fail "NivraShellExt.dll or the check program is not ARM64"
[ "$(machine "$dir/NivraShellExt32.dll")" = 014c ] || fail "NivraShellExt32.dll is not x86"
cp "$standin" "$dir/"
printf '%%PDF-1.4\n' >"$work/report.pdf"
out=$(wine "$host" "$(winpath "$work/report.pdf")" 2>&1 | tr -d '\r') || fail "host: $out"
grep -q '^menu item: *Add to &ADOC\.\.\.$' <<<"$out" || fail "no menu item: $out"
grep -qF "application received: nivra -create \"$(winpath "$work/report.pdf")\"" <<<"$out" ||
  fail "the application did not start: $out"
rm -f "$dir/Nivra.exe" "$dir/Nivra.received.txt"

echo "== removal"
msiexec remove /x "$(winpath "$msi")" || fail "removal: exit $?"
trap - EXIT
export_keys "$work/removed.reg" "${state[@]}"
same "$work/before.reg" "$work/removed.reg" "removal did not leave the registry as it was"
[ -z "$(files_in "$dir")" ] || fail "files left: $(files_in "$dir")"

echo "== times"
cat "$work/times.txt"
echo "msi arm64: ARM64 package, refused on AMD64, registry equal to regsvr32's, right-click, removal"
