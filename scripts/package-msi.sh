#!/usr/bin/env bash
# Builds the Windows Installer packages of the extension with wixl (msitools):
#
#   scripts/package-msi.sh [--pkcs12 FILE --readpass FILE [--ts URL]] [--version A.B.C.D]
#                          [--out DIR] [--arch x64|x86|arm64]
#
# NivraShellExt-<version>-x64.msi (x64 Windows: NivraShellExt.dll, x64, and
# NivraShellExt32.dll, x86, beside it), NivraShellExt-<version>-arm64.msi (Windows on ARM: the
# ARM64 DLL as NivraShellExt.dll and the x86 one beside it) and NivraShellExt-<version>-x86.msi
# (32-bit Windows), each with the check program, into DIR (default build/package/). With the
# code-signing certificate (the files scripts/sign.sh takes as -pkcs12/-readpass) the 64-bit
# packages also carry the signed Windows 11 package (scripts/package-msix.sh) and register it, and
# the DLLs, the check program and the packages are signed: copies in the staging folder, so
# the product build's files stay as built. Without it, the packages hold the classic handler
# only, unsigned. The version defaults to the product's (project() in CMakeLists.txt); another
# one builds DLLs that carry it too. The product code is derived from the version, the upgrade
# code is fixed per architecture. --arch builds one package only. Prints the packages' paths.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NIVRA_BUILD_DIR:-$root/build}
version='' out='' arch='' pkcs12='' readpass='' ts=''
fail() {
  echo "package-msi: $*" >&2
  exit 2
}
while [ $# -gt 0 ]; do
  case $1 in
    --version | --out | --arch | --pkcs12 | --readpass | --ts)
      [ $# -ge 2 ] || fail "$1 needs a value"
      printf -v "${1#--}" '%s' "$2"
      shift 2 ;;
    -h | --help) sed -n '2,17s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) fail "unknown argument '$1'" ;;
  esac
done
product_version=$(sed -nE 's/^project\(NivraShellExt VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")
version=${version:-$product_version}
part='(0|[1-9][0-9]{0,4})'
[[ $version =~ ^$part\.$part\.$part\.$part$ ]] || fail "version '$version': four dotted numbers"
out=${out:-$build/package}
archs=(${arch:-x64 x86 arm64})
[[ " x64 x86 arm64 " == *" ${archs[0]} "* && ${#archs[@]} -le 3 ]] ||
  fail "--arch takes x64, x86 or arm64"
[ ! -e "$out" ] || [ -d "$out" ] || fail "--out $out is not a folder"
[ -z "$pkcs12$readpass" ] || [ -n "$pkcs12" -a -n "$readpass" ] ||
  fail "--pkcs12 and --readpass go together"
for f in $pkcs12 $readpass; do [ -f "$f" ] && [ -r "$f" ] || fail "cannot read the file $f"; done
for tool in wixl msibuild python3; do
  command -v $tool >/dev/null || fail "$tool is missing (bash scripts/setup.sh installs it)"
done

# The three DLLs: the product version's come from the usual product trees.
suffix=$([ "$version" = "$product_version" ] && echo "" || echo "-$version")
build_dll() {  # ARCH NAME: prints the DLL's path
  local arch=$1 name=$2 toolchain dir
  case $arch in
    x86) toolchain=mingw-i686-product ;;
    x64) toolchain=mingw-x86_64-product ;;
    arm64) toolchain=zig-aarch64-product ;;
  esac
  dir=$build/product-$arch$([ "$name" = NivraShellExt ] || echo "-$name")$suffix
  { cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DNIVRA_BUILD=product \
      -DNIVRA_DLL_NAME="$name" -DNIVRA_VERSION="$version" \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" &&
    cmake --build "$dir" -j 2; } >"$dir.package.log" 2>&1 ||
    { tail -30 "$dir.package.log" >&2; exit 1; }
  echo "$dir/bin/$name.dll"
}
mkdir -p "$build"
# One package build at a time per build folder: the product trees below are shared, and tests
# of several trees build packages at once.
exec 8>"$build/package-msi.lock"
flock 8
wants() { [[ " ${archs[*]} " == *" $1 "* ]]; }
! wants x64 || x64=$(build_dll x64 NivraShellExt)
! wants arm64 || arm64=$(build_dll arm64 NivraShellExt)
! { wants x64 || wants arm64; } || x86_32=$(build_dll x86 NivraShellExt32)
! wants x86 || x86=$(build_dll x86 NivraShellExt)

mkdir -p "$out"
stage=$(mktemp -d "$build/package-stage.XXXXXX")
trap 'rm -rf "$stage"' EXIT
# wixl takes source paths relative to the .wxs files.
cp "$root"/installer/*.wx[si] "$stage/"
mkdir "$stage/x64" "$stage/arm64" "$stage/x86-32" "$stage/x86"
# Each DLL with the check program of its own build.
! wants x64 || cp "$x64" "$(dirname "$x64")/NivraShellExtCheck.exe" "$stage/x64/"
! wants arm64 || cp "$arm64" "$(dirname "$arm64")/NivraShellExtCheck.exe" "$stage/arm64/"
[ -z "${x86_32:-}" ] || cp "$x86_32" "$stage/x86-32/"
! wants x86 || cp "$x86" "$(dirname "$x86")/NivraShellExtCheck.exe" "$stage/x86/"
sign() {  # FILE...: signed in place (the staging copies)
  [ -z "$pkcs12" ] ||
    bash "$root/scripts/sign.sh" -pkcs12 "$pkcs12" -readpass "$readpass" ${ts:+-ts "$ts"} \
      "$@" >/dev/null
}
shopt -s nullglob
binaries=("$stage"/x64/* "$stage"/arm64/* "$stage"/x86-32/* "$stage"/x86/*)
shopt -u nullglob
sign "${binaries[@]}"
first_level=no
package_name=Nivra.Adoc
if wants x64 || wants arm64; then
  if [ -n "$pkcs12" ]; then
    # The Windows 11 package and the logos its manifest names, for the install folder.
    mkdir -p "$stage/msix/Assets"
    msix=$(bash "$root/scripts/package-msix.sh" --pkcs12 "$pkcs12" --readpass "$readpass" \
      --name "$package_name" --version "$version" --out "$stage/msix" ${ts:+--ts "$ts"})
    mv "$msix" "$stage/msix/NivraShellExt.msix"
    cp "$root"/resources/package/Assets/*.png "$stage/msix/Assets/"
    first_level=yes
  else
    echo "package-msi: no certificate (--pkcs12, --readpass): the 64-bit packages register the" \
      "classic handler only, also on Windows 11, and nothing is signed" >&2
  fi
fi

# Windows Installer conditions that wixl cannot write (it has no Component/Condition).
conditions() {  # MSI COMPONENT CONDITION...
  local msi=$1
  shift
  while [ $# -gt 0 ]; do
    msibuild "$msi" -q "UPDATE Component SET Condition = '$2' WHERE Component = '$1'"
    shift 2
  done
}
# With the Windows 11 package the x64 classic class stays out wherever the package serves.
classic='CLASSICMENU <> "0"'
[ $first_level = no ] || classic='NOT NIVRA_FIRST_LEVEL'
machine='ALLUSERS AND NOT NIVRA_PER_USER' user='(NOT ALLUSERS OR NIVRA_PER_USER)'
# Custom action types that wixl 0.101 cannot write: 50 (program named by a property) plus
# 0x400 deferred, 0x800 no impersonation, 0x100 rollback, 0x40 ignore the exit code; 19 (fail
# with a message).
first_level_actions() {  # MSI
  local action type
  for action in NivraPackageStage:3122 NivraPackageProvision:3122 NivraPackageRegister:1074 \
      NivraPackageRemoveMachine:3186 NivraPackageRemoveUser:1138 \
      NivraPackageStageRollback:3442 NivraPackageRegisterRollback:1394; do
    type=${action#*:} action=${action%:*}
    msibuild "$1" -q "UPDATE CustomAction SET Type = $type WHERE Action = '$action'"
  done
  msibuild "$1" -q "UPDATE CustomAction SET Type = 19, Source = '' WHERE Action = 'NivraRefuseQuote'"
}
# Windows Installer takes a package for ARM64 by its summary's Template, which must say
# Arm64;1033 (its schema, 500 here, at least 500).
arm64_summary() {  # MSI
  local info title author uuid
  info=$(msiinfo suminfo "$1")
  title=$(sed -n 's/^Title: //p' <<<"$info")
  author=$(sed -n 's/^Author: //p' <<<"$info")
  uuid=$(sed -n 's/^Revision number (UUID): //p' <<<"$info")
  msibuild "$1" -s "$title" "$author" "Arm64;1033" "$uuid"
}
for arch in "${archs[@]}"; do
  code=$(python3 -c "import uuid,sys; print(str(uuid.uuid5(uuid.UUID('7d1c6a5e-2f4b-5c1a-9e8d-4a6b3c2d1e0f'), 'ProductCode.' + sys.argv[1] + '.' + sys.argv[2])).upper())" "$arch" "$version")
  group=$([ $arch = x86 ] && echo NivraShellExtX86.wxs || echo NivraShellExtX64.wxs)
  msi=$out/NivraShellExt-$version-$arch.msi
  fl=$([ $arch = x86 ] && echo no || echo $first_level)
  # wixl writes no ARM64 package: built as x64 (every 64-bit row the same), then marked ARM64.
  (cd "$stage" && wixl -a "$([ $arch = arm64 ] && echo x64 || echo $arch)" -D Arch="$arch" \
     -D Dll64Dir="$([ $arch = arm64 ] && echo arm64 || echo x64)" -D Version="$version" \
     -D ProductCode="$code" -D FirstLevel="$fl" -D PackageName="$package_name" \
     -o "$msi.tmp" NivraShellExtPackage.wxs "$group") || { rm -f "$msi.tmp"; exit 1; }
  conditions "$msi.tmp" NivraShellExtStateMachine "$machine" NivraShellExtStateUser "$user"
  if [ $arch != x86 ]; then
    conditions "$msi.tmp" \
      NivraShellExtX64ClassesMachine "$machine AND $classic" \
      NivraShellExtX64ClassesUser "$user AND $classic" \
      NivraShellExtSharedMachine "$machine" NivraShellExtSharedUser "$user" \
      NivraShellExt32ClassesMachine "$machine" NivraShellExt32ClassesUser "$user"
  else
    conditions "$msi.tmp" \
      NivraShellExtX86ClassesMachine "$machine" NivraShellExtX86ClassesUser "$user"
  fi
  [ $fl = no ] || first_level_actions "$msi.tmp"
  [ $arch != arm64 ] || arm64_summary "$msi.tmp"
  sign "$msi.tmp"
  mv -f -T "$msi.tmp" "$msi"
  echo "$msi"
done
