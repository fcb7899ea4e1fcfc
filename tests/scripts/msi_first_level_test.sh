#!/usr/bin/env bash
# The x64 package with the signed Windows 11 package inside, under Wine's msiexec in a
# throwaway prefix. Wine has no package deployment: a stand-in powershell.exe at
# System32\WindowsPowerShell\v1.0 records each command line the custom actions run (and
# whether the installed DLL was still there) and fails on demand; Windows 11 is CurrentBuild
# 22631 in the 64-bit view, Windows 10 19045.
# Usage: msi_first_level_test.sh WORK-DIR BUILD-DIR POWERSHELL.exe
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$1 build=$2 standin=$3
arch=x64 prefix=$work/prefix views=(64 32)
. "$root/tests/scripts/msi_support.sh"
start_prefix

echo "== packages, signed"
test_certificate "$work"
sign=(--pkcs12 "$work/signer.p12" --readpass "$work/pass.txt" --arch x64)
NIVRA_BUILD_DIR=$build bash "$root/scripts/package-msi.sh" "${sign[@]}" --out "$work/1.0" >/dev/null
NIVRA_BUILD_DIR=$build bash "$root/scripts/package-msi.sh" "${sign[@]}" --out "$work/1.1" \
  --version 1.0.1.0 >/dev/null
old=$(ls "$work"/1.0/*-x64.msi) new=$(ls "$work"/1.1/*-x64.msi)
size=$(stat -c %s "$old")
echo "$(basename "$old"): $size bytes"
[ "$size" -lt 307200 ] || fail "the x64 package is over 300 KB"
verify() { osslsigncode verify -in "$1" -CAfile "$work/cert.pem" >/dev/null 2>&1; }
verify "$old" || fail "the package is not signed"
# Signed copies: the product build's files stay as built (and reproducible).
for f in "$build"/product-x64/bin/*.dll "$build"/product-x64/bin/*.exe; do
  ! osslsigncode extract-signature -in "$f" -out "$work/sig" >/dev/null 2>&1 ||
    fail "the package build signed $f"
done
mkdir "$work/contents"
msiextract -C "$work/contents" "$old" >/dev/null
for f in NivraShellExt.dll NivraShellExt32.dll NivraShellExtCheck.exe NivraShellExt.msix; do
  verify "$(find "$work/contents" -name "$f")" || fail "$f in the package is not signed"
done
# The older product's removal in a major upgrade must leave the package registered (Windows
# sets UPGRADINGPRODUCTCODE there; Wine does not, so only the table shows it).
sequence=$(msiinfo export "$old" InstallExecuteSequence)
for action in NivraPackageRemoveMachine NivraPackageRemoveUser; do
  grep -P "^$action\t.*REMOVE~=\"ALL\" AND NOT UPGRADINGPRODUCTCODE" <<<"$sequence" >/dev/null ||
    fail "$action is not kept out of an upgrade's removal"
done

ps=$prefix/drive_c/windows/system32/WindowsPowerShell/v1.0
mkdir -p "$ps"
cp "$standin" "$ps/powershell.exe"
dir=$prefix/drive_c/Program\ Files/Nivra
echo 'C:\Program Files\Nivra\NivraShellExt.dll' >"$ps/watch.txt"
windows() { quiet reg add 'HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion' /v CurrentBuild /d "$1" /f /reg:64; }
calls() {  # the calls since the last look, one per line, with cmdlets and paths only
  [ -f "$ps/calls.txt" ] || return 0
  tr -d '\r' <"$ps/calls.txt" | sed -E 's/.*-Command "//; s/function Fail[^}]*\}; //' |
    sed -E "s/\\\$ErrorActionPreference='Stop'; //; s/\\\$log = [^;]*; //"
  rm -f "$ps/calls.txt"
}
count() { grep -c -F -- "$2" <<<"$1" || true; }
class_in() { quiet reg query "HKLM\\Software\\Classes\\CLSID\\$clsid" /reg:$1; }
snapshot() {  # FILE: what an install may change, registry and files
  export_keys "$1" "${state[@]}"
  (cd "$prefix/drive_c" && find . -path ./windows -prune -o -path ./users -prune -o -print | sort) >>"$1"
}
msix="\$m = 'C:\\Program Files\\Nivra\\NivraShellExt.msix'; \$d = 'C:\\Program Files\\Nivra\\'"
# Wine's msi removes a key its removal leaves empty: neighbours keep the shared ones, as on
# real machines.
quiet reg add 'HKCR\*\shellex\ContextMenuHandlers\Neighbour' /ve /d '{00000000-0000-0000-0000-000000000001}' /f
for view in 64 32; do
  quiet reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved' \
    /v '{00000000-0000-0000-0000-000000000001}' /d Neighbour /f /reg:$view
done
quiet reg add 'HKLM\Software\Nivra\NivraShellExt' /v ClassicMenu /d 1 /f /reg:64
snapshot "$work/before.txt"

echo "== Windows 11, per machine: staged and provisioned, the x64 classic class left out"
# Earlier packages remembered their default CLASSICMENU=1 (above): no choice of the
# administrator's, so Windows 11 still gets the first level.
windows 22631
msiexec install /i "$(winpath "$old")" || fail "install: exit $?"
got=$(calls)
[ "$(count "$got" "$msix; try { Add-AppxPackage -Path \$m -ExternalLocation \$d -Stage }")" = 1 ] &&
  [ "$(count "$got" "try { Add-AppxProvisionedPackage -Online -PackagePath \$m -SkipLicense")" = 1 ] &&
  [ "$(wc -l <<<"$got")" = 2 ] || fail "per machine on Windows 11 ran: $got"
! class_in 64 || fail "the x64 classic class is registered beside the package"
class_in 32 || fail "the x86 class is missing"
[ "$(files_in "$dir/Assets" | tr '\n' ' ')" = "Square150x150Logo.png Square44x44Logo.png StoreLogo.png " ] ||
  fail "the logos the manifest names: $(files_in "$dir/Assets")"
[ -f "$dir/NivraShellExt.msix" ] || fail "no package in the install folder"

echo "== repair registers again, upgrade registers the newer version"
msiexec repair /i "$(winpath "$old")" REINSTALL=ALL REINSTALLMODE=amus || fail "repair: exit $?"
got=$(calls)
[ "$(count "$got" "-Stage }")" = 1 ] && [ "$(count "$got" Add-AppxProvisionedPackage)" = 1 ] ||
  fail "repair ran: $got"
msiexec upgrade /i "$(winpath "$new")" || fail "upgrade: exit $?"
got=$(calls)
[ "$(tail -2 <<<"$got" | grep -c 'Add-Appx')" = 2 ] || fail "the upgrade did not end registered: $got"
unzip -p "$dir/NivraShellExt.msix" AppxManifest.xml | grep -q 'Version="1.0.1.0"' ||
  fail "the installed package is not the newer version"

echo "== removal: the provisioning and every user's registration, before the files go"
msiexec remove /x "$(winpath "$new")" || fail "removal: exit $?"
got=$(calls)
grep -qxF "try { Get-AppxProvisionedPackage -Online | Where-Object { \$_.DisplayName -eq 'Nivra.Adoc' } | Remove-AppxProvisionedPackage -Online | Out-Null; Get-AppxPackage -AllUsers -Name 'Nivra.Adoc' | Remove-AppxPackage -AllUsers } catch { Fail 'removal for every user' }\"	present" <<<"$got" &&
  [ "$(wc -l <<<"$got")" = 1 ] || fail "removal ran: $got"
snapshot "$work/removed.txt"
same "$work/before.txt" "$work/removed.txt" "removal did not leave the prefix as it was"

echo "== a failed provisioning rolls back, the staging included"
echo Add-AppxProvisionedPackage >"$ps/fail.txt"
status=0
msiexec failed /i "$(winpath "$old")" || status=$?
rm -f "$ps/fail.txt"
[ $status != 0 ] || fail "the install succeeded although provisioning failed"
got=$(calls)
grep -q "Remove-AppxProvisionedPackage.*-Version -eq '1.0.0.0'\|Version -eq '1.0.0.0'.*Remove-AppxProvisionedPackage" <<<"$got" &&
  [ "$(tail -1 <<<"$got" | grep -c 'Remove-AppxPackage -AllUsers')" = 1 ] ||
  fail "no rollback of the staged package: $got"
grep -q NivraPackageProvision "$work/failed.log" || fail "the log does not name the failed action"
snapshot "$work/failed.txt"
same "$work/before.txt" "$work/failed.txt" "a failed install left something behind"

echo "== a folder with a quote in it is refused before anything runs"
status=0
msiexec quote /i "$(winpath "$old")" "INSTALLDIR=C:\\O'Neill\\Nivra" || status=$?
[ $status != 0 ] && [ -z "$(calls)" ] && grep -q NivraRefuseQuote "$work/quote.log" ||
  fail "a folder with a quote: exit $status"

echo "== Windows 11, per user: the user's registration only"
export_keys "$work/machine-before.reg" "${keys[@]:0:5}" 'HKLM\Software\Nivra'
msiexec user /i "$(winpath "$old")" 'INSTALLDIR=C:\Nivra User' ALLUSERS= || fail "per user: exit $?"
got=$(calls)
[ "$got" = "\$m = 'C:\\Nivra User\\NivraShellExt.msix'; \$d = 'C:\\Nivra User\\'; try { Add-AppxPackage -Path \$m -ExternalLocation \$d } catch { Fail 'Add-AppxPackage' }\"	absent" ] ||
  fail "per user ran: $got"
export_keys "$work/machine-user.reg" "${keys[@]:0:5}" 'HKLM\Software\Nivra'
same "$work/machine-before.reg" "$work/machine-user.reg" "the per-user install wrote for the machine"
msiexec user-remove /x "$(winpath "$old")" || fail "per-user removal: exit $?"
got=$(calls)
[ "$got" = "try { Get-AppxPackage -Name 'Nivra.Adoc' | Remove-AppxPackage } catch { Fail 'removal for this user' }\"	absent" ] ||
  fail "per-user removal ran: $got"
snapshot "$work/removed-user.txt"
same "$work/before.txt" "$work/removed-user.txt" "the per-user removal left something behind"

echo "== CLASSICMENU=1 on Windows 11, and Windows 10: the classic handler, no package"
for case in "22631 CLASSICMENU=1" "19045 CLASSICMENU="; do
  windows "${case%% *}"
  msiexec classic /i "$(winpath "$old")" "${case#* }" || fail "$case: exit $?"
  msiexec classic-repair /i "$(winpath "$old")" REINSTALL=ALL REINSTALLMODE=amus || fail "$case repair"
  class_in 64 || fail "$case: no x64 classic class"
  msiexec classic-remove /x "$(winpath "$old")" || fail "$case removal: exit $?"
  [ -z "$(calls)" ] || fail "$case ran PowerShell"
done
status=0
msiexec classic0 /i "$(winpath "$old")" CLASSICMENU=0 || status=$?
[ $status != 0 ] || fail "CLASSICMENU=0 installed on Windows 10"

echo "== Windows on ARM: the x64 package refuses it, naming the ARM64 one"
environment='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
quiet reg add "$environment" /v PROCESSOR_ARCHITECTURE /d ARM64 /f /reg:64
status=0
msiexec on-arm64 /i "$(winpath "$old")" || status=$?
quiet reg add "$environment" /v PROCESSOR_ARCHITECTURE /d AMD64 /f /reg:64
[ $status != 0 ] || fail "the x64 package installed on Windows on ARM"
grep -q "Install NivraShellExt-1.0.0.0-arm64.msi" <<<"$(msiinfo export "$old" LaunchCondition)" ||
  fail "the refusal does not name the ARM64 package"
snapshot "$work/end.txt"
same "$work/before.txt" "$work/end.txt" "the classic installs left something behind"

echo "== times"
cat "$work/times.txt"
echo "msi first level: per machine, repair, upgrade, removal, rollback, per user, classic, ARM64 refused"
