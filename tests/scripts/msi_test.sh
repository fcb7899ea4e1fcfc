#!/usr/bin/env bash
# The Windows Installer packages under Wine's msiexec, in a throwaway prefix: per machine the
# registry equals what regsvr32 writes for the same DLLs (both views) and the host right-clicks
# through what was installed; per user in a folder of its own; CLASSICMENU=0; upgrade, downgrade refused, repair;
# removal back to the export taken before; the tables hold no self-registration.
# Usage: msi_test.sh WORK-DIR BUILD-DIR ARCH HOST.exe NIVRA.exe
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$1 build=$2 arch=$3 host=$4 standin=$5
prefix=$work/prefix
. "$root/tests/scripts/msi_support.sh"
start_prefix

echo "== packages"
# Both packages of the product's version (the x64 run also tries the x86 one), one newer.
for one in $([ "$arch" = x64 ] && echo x64 x86 || echo x86); do
  NIVRA_BUILD_DIR=$build bash "$root/scripts/package-msi.sh" --arch $one --out "$work/1.0" >/dev/null
done
NIVRA_BUILD_DIR=$build bash "$root/scripts/package-msi.sh" --arch "$arch" --out "$work/1.1" \
  --version 1.0.1.0 >/dev/null
old=$(ls "$work"/1.0/*-$arch.msi) new=$(ls "$work"/1.1/*-$arch.msi)
[[ $(basename "$old") == NivraShellExt-*-$arch.msi ]] || fail "package named $(basename "$old")"
size=$(stat -c %s "$old")
echo "$(basename "$old"): $size bytes"
[ "$arch" != x64 ] || [ "$size" -lt 307200 ] || fail "the x64 package is over 300 KB"
tables=$(msiinfo tables "$old")
! grep -qx SelfReg <<<"$tables" || [ -z "$(msiinfo export "$old" SelfReg | tail -n +4)" ] ||
  fail "the package self-registers"
actions=$(msiinfo export "$old" CustomAction | tail -n +4)
! grep -qi 'regsvr32\|DllRegisterServer\|NivraShellExt' <<<"$actions" ||
  fail "a custom action registers: $actions"
# Whole outputs are searched, never piped into grep -q, which would end the writer early
# (a failure under pipefail).
properties=$(msiinfo export "$old" Property)
grep -qP '^MSIRESTARTMANAGERCONTROL\tDisable' <<<"$properties" ||
  fail "Restart Manager may close Explorer"

# Real machines have other handlers and approved extensions beside ours; Wine's msi removes a
# key its removal leaves empty, which would hide a removal of too much.
quiet reg add 'HKCR\*\shellex\ContextMenuHandlers\Neighbour' /ve /d '{00000000-0000-0000-0000-000000000001}' /f
quiet reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved' /v '{00000000-0000-0000-0000-000000000001}' /d Neighbour /f
if [ "$arch" = x64 ]; then
  quiet reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved' /v '{00000000-0000-0000-0000-000000000001}' /d Neighbour /f /reg:32
  views=(64 32)
else
  views=(32)
fi

dir=$prefix/drive_c/Program\ Files/Nivra
dll64=NivraShellExt.dll
install_dir=C:\\Program\ Files\\Nivra
export_keys "$work/before.reg" "${state[@]}"

if [ "$arch" = x64 ]; then
  echo "== the x86 package refuses 64-bit Windows, naming the x64 package"
  status=0
  msiexec x86-on-64 /i "$(winpath "$(ls "$work"/1.0/*-x86.msi)")" || status=$?
  [ $status != 0 ] || fail "the x86 package installed on 64-bit Windows"
  # Wine's log leaves out the message: read it where the refusal takes it from.
  conditions=$(msiinfo export "$(ls "$work"/1.0/*-x86.msi)" LaunchCondition)
  grep -q "install $(basename "$old")" <<<"$conditions" ||
    fail "the refusal does not name $(basename "$old")"

  echo "== signing"
  test_certificate "$work"
  bash "$root/scripts/sign.sh" -pkcs12 "$work/signer.p12" -readpass "$work/pass.txt" \
    -out "$work/signed.msi" "$old" >/dev/null
  osslsigncode verify -in "$work/signed.msi" -CAfile "$work/cert.pem" >/dev/null 2>&1 ||
    fail "the signed package does not verify"
fi

wine32=yes
if ! bash "$root/scripts/wine-arch-works.sh" x86; then
  wine32=no
  echo "note: this machine runs no 32-bit Windows programs: the x86 DLL's entries are not compared with its regsvr32's"
fi
echo "== regsvr32, as the reference"
mkdir -p "$dir"
if [ "$arch" = x64 ]; then
  cp "$build/product-x64/bin/NivraShellExt.dll" "$build/product-x86-NivraShellExt32/bin/NivraShellExt32.dll" "$dir/"
  quiet regsvr32 /s "$install_dir\\NivraShellExt.dll" || fail "regsvr32 x64"
  if [ "$wine32" = yes ]; then
    quiet 'C:\windows\syswow64\regsvr32.exe' /s "$install_dir\\NivraShellExt32.dll" || fail "regsvr32 x86"
  fi
else
  cp "$build/product-x86/bin/NivraShellExt.dll" "$dir/"
  quiet regsvr32 /s "$install_dir\\NivraShellExt.dll" || fail "regsvr32"
fi
views_all=("${views[@]}")
# Without 32-bit Wine only the x64 DLL has a reference: the 32-bit view is not compared.
[ "$wine32" = yes ] || views=(64)
export_keys "$work/regsvr32.reg" "${keys[@]}"
quiet regsvr32 /s /u "$install_dir\\NivraShellExt.dll"
[ "$arch" != x64 ] || [ "$wine32" = no ] ||
  quiet 'C:\windows\syswow64\regsvr32.exe' /s /u "$install_dir\\NivraShellExt32.dll"
rm -rf "$dir"

echo "== per machine"
msiexec install /i "$(winpath "$old")" || fail "install: exit $?"
export_keys "$work/installed-compared.reg" "${keys[@]}"
same "$work/regsvr32.reg" "$work/installed-compared.reg" "the package writes other entries than regsvr32"
views=("${views_all[@]}")
export_keys "$work/installed.reg" "${keys[@]}"
expected="NivraShellExt.dll $([ "$arch" = x86 ] || echo "NivraShellExt32.dll ")NivraShellExtCheck.exe "
[ "$(files_in "$dir" | tr '\n' ' ')" = "$expected" ] || fail "installed files: $(files_in "$dir")"
# As Explorer finds it: the handler entry, the class's InprocServer32, a menu, the command.
cp "$standin" "$dir/"
printf '%%PDF-1.4\n' >"$work/report.pdf"
out=$(wine "$host" "$(winpath "$work/report.pdf")" 2>&1 | tr -d '\r') || fail "host: $out"
grep -q "^registered: *C:\\\\Program Files\\\\Nivra\\\\$dll64$" <<<"$out" || fail "registered: $out"
grep -q '^menu item: *Add to &ADOC\.\.\.$' <<<"$out" || fail "no menu item: $out"
grep -qF "application received: nivra -create \"$(winpath "$work/report.pdf")\"" <<<"$out" ||
  fail "the application did not start: $out"
rm -f "$dir/Nivra.exe" "$dir/Nivra.received.txt"

echo "== repair"
rm -f "$dir/$dll64"
quiet reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved' /v "$clsid" /f
# Wine's msiexec takes /f neither with a package nor with a product code: the same repair.
msiexec repair /i "$(winpath "$old")" REINSTALL=ALL REINSTALLMODE=amus || fail "repair: exit $?"
[ -f "$dir/$dll64" ] || fail "repair did not bring the DLL back"
export_keys "$work/repaired.reg" "${keys[@]}"
same "$work/installed.reg" "$work/repaired.reg" "repair did not bring the entries back"

echo "== upgrade 1.0.0.0 -> 1.0.1.0, downgrade refused"
msiexec upgrade /i "$(winpath "$new")" || fail "upgrade: exit $?"
version_of() { strings -el "$dir/$dll64" | grep -x '[0-9.]*' | head -1; }
[ "$(version_of)" = 1.0.1.0 ] || fail "the DLL was not replaced: $(version_of)"
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
products=$(wine reg query "$uninstall" /s 2>/dev/null | tr -d '\r')
[ "$(grep -c 'Nivra ADOC' <<<"$products")" = 1 ] ||
  fail "not exactly one product installed after the upgrade"
status=0
msiexec downgrade /i "$(winpath "$old")" || status=$?
[ $status != 0 ] || fail "an older package installed over a newer one"
[ "$(version_of)" = 1.0.1.0 ] || fail "the refused downgrade changed the DLL"

echo "== removal"
msiexec remove /x "$(winpath "$new")" || fail "removal: exit $?"
export_keys "$work/removed.reg" "${state[@]}"
same "$work/before.reg" "$work/removed.reg" "removal did not leave the registry as it was"
[ -z "$(files_in "$dir")" ] || fail "files left: $(files_in "$dir")"

if [ "$arch" = x64 ]; then
  echo "== CLASSICMENU=0 (Windows 11 with the package)"
  msiexec classic0 /i "$(winpath "$old")" CLASSICMENU=0 || fail "install: exit $?"
  [ -f "$dir/NivraShellExt.dll" ] || fail "CLASSICMENU=0 left out the x64 DLL"
  ! quiet reg query "HKCR\\CLSID\\$clsid" /reg:64 || fail "CLASSICMENU=0 registered the x64 class"
  quiet reg query "HKCR\\CLSID\\$clsid" /reg:32 || fail "CLASSICMENU=0 left out the x86 class"
  msiexec classic0-repair /i "$(winpath "$old")" REINSTALL=ALL REINSTALLMODE=amus
  ! quiet reg query "HKCR\\CLSID\\$clsid" /reg:64 || fail "repair forgot CLASSICMENU=0"
  msiexec classic0-remove /x "$(winpath "$old")" || fail "removal: exit $?"
  export_keys "$work/removed0.reg" "${state[@]}"
  same "$work/before.reg" "$work/removed0.reg" "removal after CLASSICMENU=0 left entries"
fi

echo "== per user, in a folder of the user's choice"
# Wine's msiexec installs per user only with ALLUSERS empty (MSIINSTALLPERUSER is ignored).
export_keys "$work/machine-before.reg" "${keys[@]:0:5}" 'HKLM\Software\Nivra'
user_dir=$prefix/drive_c/Nivra\ User
msiexec user /i "$(winpath "$old")" 'INSTALLDIR=C:\Nivra User' ALLUSERS= ||
  fail "per-user install: exit $?"
[ -f "$user_dir/NivraShellExt.dll" ] || fail "per-user files: $(files_in "$user_dir")"
export_keys "$work/machine-user.reg" "${keys[@]:0:5}" 'HKLM\Software\Nivra'
same "$work/machine-before.reg" "$work/machine-user.reg" "per-user install wrote for the machine"
user_dll=$(wine reg query "HKCU\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" /ve 2>/dev/null | tr -d '\r')
grep -qi "$dll64" <<<"$user_dll" || fail "no per-user class: $user_dll"
quiet reg query 'HKCU\Software\Classes\*\ShellEx\ContextMenuHandlers\NivraShellExt' ||
  fail "no per-user handler entry"
msiexec user-remove /x "$(winpath "$old")" || fail "per-user removal: exit $?"
# At removal Wine's ALLUSERS is 1 again: only the remembered folder finds the user's files.
[ -z "$(files_in "$user_dir")" ] || fail "per-user removal left: $(files_in "$user_dir")"
export_keys "$work/removed-user.reg" "${state[@]}"
same "$work/before.reg" "$work/removed-user.reg" "per-user removal did not leave the registry as it was"

echo "== times"
cat "$work/times.txt"
echo "msi $arch: registry equal to regsvr32's, right-click, repair, upgrade, downgrade refused, removal, per user"
