#!/usr/bin/env bash
# scripts/sign.sh with a throwaway certificate authority: signed copies of the DLLs verify
# against that authority and no other, a changed byte breaks the signature, and a signed DLL
# still loads and registers under Wine.
# Usage: sign_test.sh WORK-DIR WINE-PREFIX x86|x64 DLL-FOR-THIS-WINE DLL...
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$1 prefix=$2 arch=$3
shift 3
native_dll=$1
shift
[ $# -gt 0 ] || { echo "sign_test.sh: no DLLs to sign" >&2; exit 2; }
rm -rf "$work"
mkdir -p "$work"
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }
wine() { "$root/scripts/wine-run.sh" "$prefix" "$arch" "$@"; }

# A CA and a code-signing certificate issued by it, valid for two days.
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
  -subj "/CN=Nivra Test CA" -addext basicConstraints=critical,CA:TRUE \
  -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
  -subj "/CN=Nivra Test Signer" 2>/dev/null
printf '%s\n' basicConstraints=CA:FALSE keyUsage=critical,digitalSignature \
  extendedKeyUsage=codeSigning >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
  -extfile signer.ext -out signer.pem 2>/dev/null
echo 'a password with spaces' >password.txt
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -out signer.p12 \
  -passout file:password.txt

verify() { osslsigncode verify -CAfile "$2" -in "$1" >"$1.verify.log" 2>&1; }

n=0
for dll in "$@"; do
  n=$((n + 1))
  mkdir "$n"
  cp "$dll" "$n/input.dll"
  bash "$root/scripts/sign.sh" -pkcs12 signer.p12 -readpass password.txt \
    -out "$n/signed.dll" "$n/input.dll" >/dev/null
  cmp -s "$dll" "$n/input.dll" || fail "signing to -out changed its input $dll"
  # Signing adds the signature and nothing else, so a release can be compared with a build.
  osslsigncode remove-signature -in "$n/signed.dll" -out "$n/unsigned.dll" >/dev/null
  cmp -s "$dll" "$n/unsigned.dll" || fail "signed $dll without its signature is not the DLL"
  verify "$n/signed.dll" ca.pem || fail "signed copy of $dll does not verify: $(cat "$n/signed.dll.verify.log")"
  # The system's authorities know nothing of ours.
  ! verify "$n/signed.dll" /etc/ssl/certs/ca-certificates.crt ||
    fail "signed copy of $dll verified against the wrong authority"

  # In place: signed over the same name, and a signature replaced rather than added.
  cp "$n/signed.dll" "$n/in-place.dll"
  bash "$root/scripts/sign.sh" -pkcs12 signer.p12 -readpass password.txt "$n/in-place.dll" >/dev/null
  verify "$n/in-place.dll" ca.pem || fail "$dll signed in place does not verify"
  grep -q 'Number of verified signatures: 1$' "$n/in-place.dll.verify.log" ||
    fail "signing $dll again added a second signature"

  # One byte in the middle of the code changed after signing.
  cp "$n/signed.dll" "$n/changed.dll"
  offset=$(($(stat -c %s "$dll") / 2))
  byte=$(od -An -tu1 -j "$offset" -N1 "$n/changed.dll" | tr -d ' ')
  printf "\\$(printf %03o $(((byte + 1) & 255)))" |
    dd of="$n/changed.dll" bs=1 seek="$offset" conv=notrunc 2>/dev/null
  ! verify "$n/changed.dll" ca.pem || fail "a changed byte in signed $dll still verifies"
done

# A wrong password fails and leaves nothing behind.
echo wrong >wrong.txt
! bash "$root/scripts/sign.sh" -pkcs12 signer.p12 -readpass wrong.txt -out 1/never.dll \
  1/input.dll >/dev/null 2>&1 || fail "signing with a wrong password succeeded"
[ ! -e 1/never.dll ] && [ -z "$(ls -A 1 | grep '^\.signing')" ] || fail "a failed signing left files"

# A folder as the output is refused, and nothing is left in it.
mkdir outdir
! bash "$root/scripts/sign.sh" -pkcs12 signer.p12 -readpass password.txt -out outdir \
  1/input.dll >/dev/null 2>&1 || fail "signing into a folder was reported as done"
[ -z "$(ls -A outdir)" ] || fail "signing into a folder left $(ls -A outdir)"

# The signed DLL of this Wine's architecture registers and unregisters.
mkdir loads
name=$(basename "$native_dll")
cp "$native_dll" "loads/$name"
bash "$root/scripts/sign.sh" -pkcs12 signer.p12 -readpass password.txt "loads/$name" >/dev/null
winpath="Z:$(pwd)/loads/$name"
winpath=${winpath//\//\\}
clsid='HKCR\CLSID\{37653C37-DEDE-49F1-A788-4E46787130D9}\InprocServer32'
wine regsvr32 /s "$winpath" </dev/null || fail "the signed DLL does not register"
wine reg query "$clsid" /ve </dev/null 2>/dev/null | tr -d '\r' | grep -qF "$winpath" ||
  { wine regsvr32 /s /u "$winpath" </dev/null; fail "registration did not name the signed DLL"; }
wine regsvr32 /s /u "$winpath" </dev/null || fail "the signed DLL does not unregister"
! wine reg query "$clsid" /ve </dev/null >/dev/null 2>&1 || fail "unregistration left the class"
echo "signed $n DLLs: verified, tampering detected, $arch copy registered under Wine"
