#!/usr/bin/env bash
# The main job: one right-click on one file in an Explorer-like host, under Wine.
# Usage: run.sh [--lang lt|en] [--winxp] [--scale 100|125|150|200] [--first-level] [FILE]
#        (without FILE, a sample PDF is used)
# Installs what is missing, builds the DLL and the host, puts the DLL, a stand-in Nivra.exe
# and the settings file into a throwaway folder, registers the DLL with regsvr32 in a
# throwaway Wine prefix (reporting Windows XP with --winxp, for the owner-drawn image), and
# right-clicks the file as Explorer would, printing what a user would see. The item's image is
# also kept as build/menu-images/menu-item-SCALE.png, to compare display scales side by side.
# --first-level right-clicks as Windows 11's first-level menu does, through the DLL's explorer
# command, and saves the icon it resolves as build/run/first-level-icon.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NIVRA_BUILD_DIR:-$root/build}
lang=en
winxp=no
scale=100
first_level=()
while [ $# -gt 0 ]; do
  case $1 in
    --lang) lang=${2:?--lang needs lt or en}; shift 2 ;;
    --winxp) winxp=yes; shift ;;
    --scale) scale=${2:-}; shift 2 || shift ;;
    --first-level) first_level=(--first-level); shift ;;
    -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
    *) break ;;
  esac
done
file=${1:-}
case $scale in
  100) dpi=96 ;; 125) dpi=120 ;; 150) dpi=144 ;; 200) dpi=192 ;;
  *) echo "error: --scale takes 100, 125, 150 or 200 (percent)" >&2; exit 2 ;;
esac

bash "$root/scripts/setup.sh"

# 32-bit Wine needs the kernel's 32-bit emulation; without it the 64-bit build shows the same.
arch=x86
bash "$root/scripts/wine-arch-works.sh" x86 || arch=x64
triple=$([ $arch = x86 ] && echo i686 || echo x86_64)
build_tree() {  # DIR TARGETS CMAKE-ARGS...
  local dir=$1 targets=$2
  shift 2
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; exit 1; }
  cmake --build "$dir" -j 2 --target $targets >"$dir.build.log" 2>&1 ||
    { tail -40 "$dir.build.log"; echo "error: build failed (log: $dir.build.log)" >&2; exit 1; }
}
mkdir -p "$build"
echo "building the $arch DLL and the host ..."
build_tree "$build/product-$arch" NivraShellExt -DNIVRA_BUILD=product \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$triple-product.cmake"
build_tree "$build/wine-tests-$arch" "nivra_host nivra_standin" -DNIVRA_BUILD=wine-tests \
  -DNIVRA_ARCH=$arch -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$triple-tests.cmake" \
  -DNIVRA_PRODUCT_DIR="$build/product-$arch" -DNIVRA_OTHER_PRODUCT_DIRS="$build/product-$arch"

stage=$build/run/app
rm -rf "$build/run"
mkdir -p "$stage/configuration"
dll_name=$(cat "$build/product-$arch/dll-name.txt")
cp "$build/product-$arch/bin/$dll_name" "$build/wine-tests-$arch/bin/Nivra.exe" "$stage/"
printf '[SetupSettings]\r\nosgi.nl=%s\r\n' "$lang" >"$stage/configuration/config.ini"
if [ -z "$file" ]; then
  file="$build/run/Quarterly Report.pdf"
  printf '%%PDF-1.4\n%%sample\n' >"$file"
fi
[ -e "$file" ] || { echo "error: no such file: $file" >&2; exit 1; }
winpath() { local p; p=$(realpath "$1"); echo "Z:${p//\//\\}"; }

prefix=$build/run-prefix
rm -rf "$prefix"
echo "preparing a throwaway Wine prefix in $prefix ..."
bash "$root/scripts/wine-prefix.sh" "$prefix" $arch
wine() { "$root/scripts/wine-run.sh" "$prefix" $arch "$@"; }
if [ $winxp = yes ]; then
  version=$([ $arch = x64 ] && echo winxp64 || echo winxp)
  wine reg add 'HKCU\Software\Wine' /v Version /d $version /f >/dev/null 2>&1
fi
if [ $dpi != 96 ]; then
  # Wine takes the display scale from LogPixels; a restarted wine server applies it.
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
  bash "$root/scripts/wine-prefix.sh" "$prefix" $arch stop
  bash "$root/scripts/wine-prefix.sh" "$prefix" $arch
fi
dll=$(winpath "$stage/$dll_name")
wine regsvr32 /s "$dll" || { echo "error: regsvr32 could not register $dll" >&2; exit 1; }
echo "settings:     osgi.nl=$lang ($arch DLL$([ $winxp = yes ] && echo ', Windows XP'), display scale $scale %)"
status=0
image=$([ ${#first_level[@]} -gt 0 ] && echo first-level-icon.png || echo menu-item.png)
wine "$build/wine-tests-$arch/bin/nivra_host.exe" "${first_level[@]}" "$(winpath "$file")" \
  "$(winpath "$build/run")\\$image" || status=$?
bash "$root/scripts/wine-prefix.sh" "$prefix" $arch stop
if [ -f "$build/run/menu-item.png" ]; then
  # Outside build/run, so the next run at another scale does not remove it.
  image=$build/menu-images/menu-item-$scale.png
  [ $winxp = no ] || image=$build/menu-images/menu-item-$scale-winxp.png
  mkdir -p "$build/menu-images"
  cp "$build/run/menu-item.png" "$image"
  echo "image kept:   $image"
fi
exit $status
