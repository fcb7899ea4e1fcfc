#!/usr/bin/env bash
# The DLL built under another file name (NivraShellExt32.dll, the x86 DLL that lies beside the
# x64 one on 64-bit Windows) carries that name everywhere and works under it: a product build
# with NIVRA_DLL_NAME set, registered with regsvr32 and right-clicked by the host.
# Usage: renamed_dll_test.sh WORK-DIR WINE-PREFIX ARCH HOST.exe NIVRA.exe
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$1 prefix=$2 arch=$3 host=$4 standin=$5
name=NivraShellExt32
fail() { echo "FAIL: $*" >&2; exit 1; }
wine() { "$root/scripts/wine-run.sh" "$prefix" "$arch" "$@"; }
winpath() { local p; p=$(realpath "$1"); echo "Z:${p//\//\\}"; }
triple=$([ "$arch" = x86 ] && echo i686 || echo x86_64)

product=$work/product-$arch-$name
mkdir -p "$work"
cmake -S "$root" -B "$product" -DCMAKE_BUILD_TYPE=Release -DNIVRA_BUILD=product \
  -DNIVRA_DLL_NAME=$name -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$triple-product.cmake" \
  >"$product.configure.log" 2>&1 || { cat "$product.configure.log"; exit 1; }
cmake --build "$product" -j 2 >"$product.build.log" 2>&1 || { tail -30 "$product.build.log"; exit 1; }

dll=$product/bin/$name.dll
[ -f "$dll" ] || fail "no $name.dll in $product/bin"
dlls=$(cd "$product/bin" && ls -- *.dll)
[ "$dlls" = "$name.dll" ] || fail "$product/bin holds the DLLs $dlls"
[ "$(cat "$product/dll-name.txt")" = "$name.dll" ] || fail "dll-name.txt says $(cat "$product/dll-name.txt")"
# Read whole before searching: grep -q would close the pipe early under pipefail.
headers=$("$triple-w64-mingw32-objdump" -p "$dll")
grep -q "^Name[[:space:]].*$name\.dll" <<<"$headers" || fail "the export table does not name $name.dll"
texts=$(strings -el "$dll")
grep -qx "$name.dll" <<<"$texts" || fail "the version resource does not name $name.dll"

app=$work/app
rm -rf "$app"
mkdir -p "$app/configuration"
cp "$dll" "$standin" "$app/"
printf '[SetupSettings]\r\nosgi.nl=en\r\n' >"$app/configuration/config.ini"
printf '%%PDF-1.4\n' >"$app/report.pdf"
wine regsvr32 /s "$(winpath "$app/$name.dll")" </dev/null || fail "regsvr32 did not register $name.dll"
status=0
out=$(wine "$host" "$(winpath "$app/report.pdf")" </dev/null 2>&1 | tr -d "\r") || status=$?
wine regsvr32 /s /u "$(winpath "$app/$name.dll")" </dev/null || fail "regsvr32 /u failed"
echo "$out"
[ $status = 0 ] || fail "the host exited with $status"
grep -q '^menu item: *Add to &ADOC\.\.\.$' <<<"$out" || fail "no menu item"
grep -qF "application received: nivra -create \"$(winpath "$app/report.pdf")\"" <<<"$out" ||
  fail "the application did not receive the file"
echo "$name.dll: built under its name, registered, right-clicked"
