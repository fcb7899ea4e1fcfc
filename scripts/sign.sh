#!/usr/bin/env bash
# Signs DLLs with Authenticode (osslsigncode), SHA-256, for a release.
# Usage: sign.sh -pkcs12 CERT.p12 -readpass PASSWORD-FILE [-ts URL] [-out SIGNED.dll] DLL...
#   -pkcs12    the code-signing certificate with its private key (and chain, if any)
#   -readpass  a file holding the certificate's password on one line: never on the command
#              line, where every user of the machine can read it
#   -ts        an RFC 3161 time-stamp server: the signature then stays valid after the
#              certificate expires. Releases should use one; it needs the network.
#   -out       write the signed copy to that file (one DLL only; a folder is refused);
#              without it each DLL is signed in place, replaced only once its signed copy is
#              complete.
set -euo pipefail

usage() {
  sed -n '3,11s/^# \{0,1\}//p' "$0" >&2
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
[ -z "$out" ] || [ ${#dlls[@]} -eq 1 ] || { echo "sign.sh: -out takes one DLL" >&2; exit 2; }
for f in "$pkcs12" "$passfile" "${dlls[@]}"; do
  [ -f "$f" ] && [ -r "$f" ] || { echo "sign.sh: cannot read the file $f" >&2; exit 1; }
done
# A folder would take the temporary file's name instead of the signed file's.
[ -z "$out" ] || [ ! -d "$out" ] ||
  { echo "sign.sh: -out $out is a folder; name the signed file" >&2; exit 2; }
command -v osslsigncode >/dev/null ||
  { echo "sign.sh: osslsigncode is missing (bash scripts/setup.sh installs it)" >&2; exit 1; }

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
