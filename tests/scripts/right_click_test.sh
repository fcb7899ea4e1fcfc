#!/usr/bin/env bash
# The host's right-click on a PDF through the registered product DLL, in English and in
# Lithuanian: the item's text and the command line the stand-in Nivra.exe receives.
# Usage: right_click_test.sh WORK-DIR WINE-PREFIX ARCH HOST.exe NIVRA.exe DLL
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$1 prefix=$2 arch=$3 host=$4 standin=$5 dll=$6
fail() { echo "FAIL: $*" >&2; exit 1; }
wine() { "$root/scripts/wine-run.sh" "$prefix" "$arch" "$@" </dev/null; }
winpath() { local p; p=$(realpath "$1"); echo "Z:${p//\//\\}"; }

app=$work/app
rm -rf "$work"
mkdir -p "$app/configuration"
cp "$dll" "$standin" "$app/"
file="$work/Quarterly Report.pdf"
printf '%%PDF-1.4\n' >"$file"
registered=$(winpath "$app/$(basename "$dll")")
wine regsvr32 /s "$registered" || fail "regsvr32 did not register the DLL"
trap 'wine regsvr32 /s /u "$registered" || true' EXIT
for lang in en lt; do
  printf '[SetupSettings]\r\nosgi.nl=%s\r\n' "$lang" >"$app/configuration/config.ini"
  status=0
  out=$(wine "$host" "$(winpath "$file")" 2>&1 | tr -d '\r') || status=$?
  echo "$out"
  [ $status = 0 ] || fail "$lang: the host exited with $status"
  text=$([ $lang = en ] && echo 'Add to &ADOC\.\.\.' || echo 'Įtraukti į &ADOC\.\.\.')
  grep -q "^menu item: *$text\$" <<<"$out" || fail "$lang: no menu item '$text'"
  grep -qF "application received: nivra -create \"$(winpath "$file")\"" <<<"$out" ||
    fail "$lang: the application did not receive the file"
  echo "ok $lang"
done
