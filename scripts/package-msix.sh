#!/usr/bin/env bash
# Builds the Windows 11 package (the explorer command on the first level of the file menu)
# without the Windows SDK:
#
#   scripts/package-msix.sh [--version A.B.C.D] [--name NAME] [--out DIR] [--ts URL]
#                           (--pkcs12 FILE --readpass FILE | --publisher "CN=...")
#
# NivraShellExt-<version>.msix into DIR (default build/package/): the manifest that
# scripts/package-manifest.sh fills (name default Nivra.Adoc, version default the product's),
# its block map and content types (scripts/msix_pack.py). With --pkcs12 and --readpass (the
# files scripts/sign.sh signs the DLLs with) the Publisher is the certificate's subject as
# Windows writes it, and the package is signed (--ts: a time-stamp server); with --publisher
# alone it is not signed. The same inputs give the same unsigned package, byte for byte.
# Prints the package's path. A refused argument prints why and exits 2.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NIVRA_BUILD_DIR:-$root/build}
version='' name='Nivra.Adoc' out='' pkcs12='' readpass='' publisher='' ts=''
fail() {
  echo "package-msix: $*" >&2
  exit 2
}
while [ $# -gt 0 ]; do
  case $1 in
    --version | --name | --out | --pkcs12 | --readpass | --publisher | --ts)
      [ $# -ge 2 ] || fail "$1 needs a value"
      [ -n "$2" ] || fail "$1 needs a value"
      printf -v "${1#--}" '%s' "$2"
      shift 2 ;;
    -h | --help) sed -n '2,14s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) fail "unknown argument '$1'" ;;
  esac
done

if [ -n "$pkcs12$readpass" ]; then
  [ -z "$publisher" ] || fail "--publisher and --pkcs12 exclude each other:" \
    "a signed package's publisher is its certificate's subject"
  [ -n "$pkcs12" ] && [ -n "$readpass" ] || fail "--pkcs12 and --readpass go together"
  for f in "$pkcs12" "$readpass"; do
    [ -f "$f" ] && [ -r "$f" ] || fail "cannot read the file $f"
  done
else
  [ -n "$publisher" ] ||
    fail "either --pkcs12 FILE --readpass FILE (signed) or --publisher \"CN=...\" (unsigned)"
  [ -z "$ts" ] || fail "--ts is for a signed package (--pkcs12, --readpass)"
fi
if [ -z "$version" ]; then  # as package-manifest.sh, for the package's file name
  version=$(sed -nE 's/^project\(NivraShellExt VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")
  [ -n "$version" ] || fail "no product version in $root/CMakeLists.txt"
  while [[ $version =~ ^[^.]*(\.[^.]*){0,2}$ ]]; do version+=.0; done
fi
out=${out:-$build/package}
[ ! -e "$out" ] || [ -d "$out" ] || fail "--out $out is not a folder"
for tool in python3 ${pkcs12:+openssl osslsigncode}; do
  command -v "$tool" >/dev/null || fail "$tool is missing (bash scripts/setup.sh installs it)"
done

stage=$(mktemp -d "${TMPDIR:-/tmp}/package-msix.XXXXXX")
trap 'rm -rf "$stage"' EXIT
if [ -n "$pkcs12" ]; then
  publisher=$(python3 "$root/scripts/msix_pack.py" subject --pkcs12 "$pkcs12" \
    --readpass "$readpass") || exit 2
fi
# package-manifest.sh refuses, by name and with exit 2, what Windows would refuse.
bash "$root/scripts/package-manifest.sh" --name "$name" --publisher "$publisher" \
  --version "$version" --out "$stage/AppxManifest.xml"
python3 "$root/scripts/msix_pack.py" pack --manifest "$stage/AppxManifest.xml" \
  --out "$stage/package.msix"
if [ -n "$pkcs12" ]; then
  bash "$root/scripts/sign.sh" -pkcs12 "$pkcs12" -readpass "$readpass" ${ts:+-ts "$ts"} \
    -out "$stage/signed.msix" "$stage/package.msix" >/dev/null
  mv -f "$stage/signed.msix" "$stage/package.msix"
fi

mkdir -p "$out"
target=$(cd "$out" && pwd)/NivraShellExt-$version.msix
# Through a temporary name beside the target, so that a failure leaves no half package.
cp "$stage/package.msix" "$target.partial"
chmod 644 "$target.partial"
mv -f -T "$target.partial" "$target"
echo "$target"
