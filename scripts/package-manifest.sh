#!/usr/bin/env bash
# Fills the package manifest's identity for the application's build:
#
#   scripts/package-manifest.sh --name NAME --publisher "CN=..." [--version A.B.C.D]
#                               [--template FILE] [--out FILE]
#
# NAME: 3-50 letters, digits, periods and hyphens, not ending in a period and not a reserved
# device name. The publisher must equal the subject of the certificate that signs the package;
# it is written with XML's special characters escaped. The version defaults to the product's
# (project() in CMakeLists.txt), padded to four parts; its first part is at least 1, as Windows
# requires. Writes to standard output without --out, which names a file (a folder is refused).
# A refused value prints why, exits 2 and writes nothing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
template=$root/resources/package/AppxManifest.xml
name='' publisher='' version='' out=''

fail() {
  echo "package-manifest: $*" >&2
  exit 2
}
while [ $# -gt 0 ]; do
  case $1 in
    --name | --publisher | --version | --template | --out)
      [ $# -ge 2 ] || fail "$1 needs a value"
      printf -v "${1#--}" '%s' "$2"
      shift 2 ;;
    -h | --help) sed -n '2,12s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) fail "unknown argument '$1'" ;;
  esac
done

# Package identity rules: what Windows refuses at install time is refused here, by name.
[ -n "$name" ] || fail "--name is required"
[[ $name =~ ^[-.A-Za-z0-9]{3,50}$ ]] ||
  fail "name '$name': 3 to 50 letters, digits, periods and hyphens"
[[ $name != *. ]] || fail "name '$name' ends in a period"
device=$(tr '[:lower:]' '[:upper:]' <<<"${name%%.*}")
[[ ! $device =~ ^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])$ ]] ||
  fail "name '$name' is a reserved device name"

# A distinguished name: TYPE=value parts joined by ", ", each value plain or between quotes.
[ -n "$publisher" ] || fail "--publisher is required"
dn_type='(CN|L|O|OU|E|C|S|STREET|T|G|I|SN|DC|SERIALNUMBER|Description|PostalCode|POBox|Phone'
dn_type+='|X21Address|dnQualifier|OID\.(0|[1-9][0-9]*)(\.(0|[1-9][0-9]*))+)'
dn_part="$dn_type=([^,+=\"<>#;]+|\".*\")"
[[ $publisher =~ ^$dn_part(,\ $dn_part)*$ ]] && [ ${#publisher} -le 8192 ] &&
  [[ ! $publisher =~ [[:cntrl:]] ]] ||
  fail "publisher '$publisher' is not a distinguished name such as \"CN=Nivra, O=Nivra, C=LT\""

if [ -z "$version" ]; then
  version=$(sed -nE 's/^project\(NivraShellExt VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")
  [ -n "$version" ] || fail "no product version in $root/CMakeLists.txt"
  while [[ $version =~ ^[^.]*(\.[^.]*){0,2}$ ]]; do version+=.0; done
fi
part='(0|[1-9][0-9]{0,4})'
[[ $version =~ ^$part\.$part\.$part\.$part$ ]] ||
  fail "version '$version': four dotted numbers, each 0 to 65535, without leading zeros"
IFS=. read -ra parts <<<"$version"
for p in "${parts[@]}"; do
  [ "$p" -le 65535 ] || fail "version '$version': $p is above 65535"
done
[ "${parts[0]}" -ge 1 ] || fail "version '$version': Windows refuses a package whose major part is 0"
[ -z "$out" ] || [ ! -d "$out" ] || fail "--out $out is a folder; name the manifest file"

xml_escape() {  # quoted replacements: bash 5.2 reads a bare & in one as the matched text
  local s=${1//&/"&amp;"}
  s=${s//</"&lt;"}
  s=${s//>/"&gt;"}
  s=${s//\"/"&quot;"}
  printf '%s' "${s//\'/"&apos;"}"
}

# One pass over the template: a value is never searched for placeholders or parsed as a pattern,
# whatever it holds.
text=$(cat "$template") || fail "cannot read $template"
declare -A values=([@PACKAGE_NAME@]=$name [@PACKAGE_PUBLISHER@]=$(xml_escape "$publisher")
                   [@PACKAGE_VERSION@]=$version) filled=()
rest=$text text=''
while [[ $rest =~ @PACKAGE_[A-Z]+@ ]]; do
  placeholder=${BASH_REMATCH[0]}
  [ -n "${values[$placeholder]+set}" ] || fail "$template has an unknown $placeholder"
  text+=${rest%%"$placeholder"*}${values[$placeholder]}
  rest=${rest#*"$placeholder"}
  filled[$placeholder]=1
done
text+=$rest
for placeholder in "${!values[@]}"; do
  [ -n "${filled[$placeholder]+set}" ] || fail "$template has no $placeholder"
done

if [ -z "$out" ]; then
  printf '%s\n' "$text"
else
  # Through a temporary file beside the target, so that a failed write leaves no half manifest.
  tmp=$(mktemp "$out.XXXXXX") || fail "cannot write beside $out"
  printf '%s\n' "$text" >"$tmp" && chmod a+r "$tmp" && mv -f -T "$tmp" "$out" ||
    { rm -f "$tmp"; fail "cannot write $out"; }
fi
