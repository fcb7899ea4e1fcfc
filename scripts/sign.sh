#!/usr/bin/env bash
# Signs DLLs, MSIs and Windows 11 packages with Authenticode (osslsigncode), SHA-256.
# Usage: sign.sh -pkcs12 CERT.p12 -readpass PASSWORD-FILE [-ts URL] [-out SIGNED] FILE...
#   -pkcs12    the code-signing certificate with its private key (and chain, if any)
#   -readpass  a file holding the certificate's password on one line: never on the command
#              line, where every user of the machine can read it
#   -ts        an RFC 3161 time-stamp server: the signature then stays valid after the
#              certificate expires. Releases should use one; it needs the network.
#   -out       write the signed copy to that file (one FILE only; a folder is refused);
#              without it each FILE is signed in place, replaced only once its signed copy is
#              complete.
# A package (.msix, .appx) is signed only when the Publisher of its AppxManifest.xml is exactly
# the certificate's subject as Windows writes it ("CN=Nivra, O=Nivra, C=LT"): Windows refuses
# to install any other. A refused package is left as it was, and nothing is written.
set -euo pipefail

usage() {
  sed -n '3,14s/^# \{0,1\}//p' "$0" >&2
  exit 2
}
pkcs12='' passfile='' timestamp='' out=''
dlls=()
while [ $# -gt 0 ]; do
  case $1 in
    -pkcs12) [ $# -ge 2 ] || usage; pkcs12=$2; shift 2 ;;
    -readpass) [ $# -ge 2 ] || usage; passfile=$2; shift 2 ;;
    -ts) [ $# -ge 2 ] || usage; timestamp=$2; shift 2 ;;
    -out) [ $# -ge 2 ] || usage; out=$2; shift 2 ;;
    -h | --help) usage ;;
    -*) echo "sign.sh: unknown option $1" >&2; usage ;;
    *) dlls+=("$1"); shift ;;
  esac
done
[ -n "$pkcs12" ] && [ -n "$passfile" ] && [ ${#dlls[@]} -gt 0 ] || usage
[ -z "$out" ] || [ ${#dlls[@]} -eq 1 ] || { echo "sign.sh: -out takes one file" >&2; exit 2; }
for f in "$pkcs12" "$passfile" "${dlls[@]}"; do
  [ -f "$f" ] && [ -r "$f" ] || { echo "sign.sh: cannot read the file $f" >&2; exit 1; }
done
# A folder would take the temporary file's name instead of the signed file's.
[ -z "$out" ] || [ ! -d "$out" ] ||
  { echo "sign.sh: -out $out is a folder; name the signed file" >&2; exit 2; }
command -v osslsigncode >/dev/null ||
  { echo "sign.sh: osslsigncode is missing (bash scripts/setup.sh installs it)" >&2; exit 1; }

# Windows installs a package only when its manifest's Publisher is the signing certificate's
# subject, compared as Windows writes it.
check_publisher() {  # PACKAGE
  local mismatch status=0
  command -v python3 >/dev/null ||
    { echo "sign.sh: python3 is missing (bash scripts/setup.sh installs it)" >&2; exit 1; }
  mismatch=$(python3 "$(dirname "$0")/msix_pack.py" check-publisher --pkcs12 "$pkcs12" \
    --readpass "$passfile" "$1") || status=$?
  [ $status = 0 ] || [ $status = 1 ] ||
    { echo "sign.sh: cannot check the Publisher of $1" >&2; exit 1; }
  [ $status = 0 ] ||
    { echo "sign.sh: $1: $mismatch; Windows refuses to install such a package" >&2; exit 1; }
}

for file in "${dlls[@]}"; do  # every package before anything is signed
  case ${file,,} in *.msix | *.appx) check_publisher "$file" ;; esac
done

for dll in "${dlls[@]}"; do
  target=${out:-$dll}
  # Sign into a temporary file beside the target, so a failure leaves the target as it was.
  tmp=$(mktemp "$(dirname "$target")/.signing.XXXXXX")
  trap 'rm -f "$tmp"' EXIT
  rm -f "$tmp"  # osslsigncode will not write over a file
  osslsigncode sign -pkcs12 "$pkcs12" -readpass "$passfile" -h sha256 \
    -n "NivraShellExt" ${timestamp:+-ts "$timestamp"} -in "$dll" -out "$tmp" >/dev/null
  chmod --reference="$dll" "$tmp"
  mv -f -T "$tmp" "$target"
  trap - EXIT
  [ -f "$target" ] || { echo "sign.sh: $target was not written" >&2; exit 1; }
  echo "signed: $target"
done
