#!/usr/bin/env bash
# Builds the Windows Installer packages of the extension with wixl (msitools):
#
#   scripts/package-msi.sh [--version A.B.C.D] [--out DIR] [--arch x64|x86]
#
# NivraShellExt-<version>-x64.msi (64-bit Windows: NivraShellExt.dll, x64, and
# NivraShellExt32.dll, x86, beside it) and NivraShellExt-<version>-x86.msi (32-bit Windows),
# into DIR (default build/package/). The version defaults to the product's (project() in
# CMakeLists.txt); another one builds DLLs that carry it too. The product code is derived from
# the version, the upgrade code is fixed per architecture. --arch builds one package only.
# Prints the packages' paths.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NIVRA_BUILD_DIR:-$root/build}
version='' out='' arch=''
fail() {
  echo "package-msi: $*" >&2
  exit 2
}
while [ $# -gt 0 ]; do
  case $1 in
    --version | --out | --arch)
      [ $# -ge 2 ] || fail "$1 needs a value"
      printf -v "${1#--}" '%s' "$2"
      shift 2 ;;
    -h | --help) sed -n '2,11s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) fail "unknown argument '$1'" ;;
  esac
done
product_version=$(sed -nE 's/^project\(NivraShellExt VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")
version=${version:-$product_version}
part='(0|[1-9][0-9]{0,4})'
[[ $version =~ ^$part\.$part\.$part\.$part$ ]] || fail "version '$version': four dotted numbers"
out=${out:-$build/package}
archs=(${arch:-x64 x86})
[[ " x64 x86 " == *" ${archs[0]} "* && ${#archs[@]} -le 2 ]] || fail "--arch takes x64 or x86"
[ ! -e "$out" ] || [ -d "$out" ] || fail "--out $out is not a folder"
for tool in wixl msibuild python3; do
  command -v $tool >/dev/null || fail "$tool is missing (bash scripts/setup.sh installs it)"
done

# The three DLLs: the product version's come from the usual product trees.
suffix=$([ "$version" = "$product_version" ] && echo "" || echo "-$version")
build_dll() {  # ARCH NAME: prints the DLL's path
  local arch=$1 name=$2 triple dir
  triple=$([ "$arch" = x86 ] && echo i686 || echo x86_64)
  dir=$build/product-$arch$([ "$name" = NivraShellExt ] || echo "-$name")$suffix
  { cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DNIVRA_BUILD=product \
      -DNIVRA_DLL_NAME="$name" -DNIVRA_VERSION="$version" \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$triple-product.cmake" &&
    cmake --build "$dir" -j 2; } >"$dir.package.log" 2>&1 ||
    { tail -30 "$dir.package.log" >&2; exit 1; }
  echo "$dir/bin/$name.dll"
}
mkdir -p "$build"
wants() { [[ " ${archs[*]} " == *" $1 "* ]]; }
! wants x64 || { x64=$(build_dll x64 NivraShellExt); x86_32=$(build_dll x86 NivraShellExt32); }
! wants x86 || x86=$(build_dll x86 NivraShellExt)

mkdir -p "$out"
stage=$(mktemp -d "$build/package-stage.XXXXXX")
trap 'rm -rf "$stage"' EXIT
# wixl takes source paths relative to the .wxs files.
cp "$root"/installer/*.wxs "$stage/"
mkdir "$stage/x64" "$stage/x86-32" "$stage/x86"
! wants x64 || { cp "$x64" "$stage/x64/"; cp "$x86_32" "$stage/x86-32/"; }
! wants x86 || cp "$x86" "$stage/x86/"

# Windows Installer conditions that wixl cannot write (it has no Component/Condition).
conditions() {  # MSI COMPONENT CONDITION...
  local msi=$1
  shift
  while [ $# -gt 0 ]; do
    msibuild "$msi" -q "UPDATE Component SET Condition = '$2' WHERE Component = '$1'"
    shift 2
  done
}
classic='CLASSICMENU <> "0"'
machine='ALLUSERS AND NOT NIVRA_PER_USER' user='(NOT ALLUSERS OR NIVRA_PER_USER)'
for arch in "${archs[@]}"; do
  code=$(python3 -c "import uuid,sys; print(str(uuid.uuid5(uuid.UUID('7d1c6a5e-2f4b-5c1a-9e8d-4a6b3c2d1e0f'), 'ProductCode.' + sys.argv[1] + '.' + sys.argv[2])).upper())" "$arch" "$version")
  group=$([ $arch = x64 ] && echo NivraShellExtX64.wxs || echo NivraShellExtX86.wxs)
  msi=$out/NivraShellExt-$version-$arch.msi
  (cd "$stage" && wixl -a "$arch" -D Arch="$arch" -D Version="$version" -D ProductCode="$code" \
     -o "$msi.tmp" NivraShellExtPackage.wxs "$group") || { rm -f "$msi.tmp"; exit 1; }
  conditions "$msi.tmp" NivraShellExtStateMachine "$machine" NivraShellExtStateUser "$user"
  if [ $arch = x64 ]; then
    conditions "$msi.tmp" \
      NivraShellExtX64ClassesMachine "$machine AND $classic" \
      NivraShellExtX64ClassesUser "$user AND $classic" \
      NivraShellExtSharedMachine "$machine" NivraShellExtSharedUser "$user" \
      NivraShellExt32ClassesMachine "$machine" NivraShellExt32ClassesUser "$user"
  else
    conditions "$msi.tmp" \
      NivraShellExtX86ClassesMachine "$machine" NivraShellExtX86ClassesUser "$user"
  fi
  mv -f -T "$msi.tmp" "$msi"
  echo "$msi"
done
