#!/usr/bin/env bash
# scripts/package-msix.sh with a throwaway certificate authority: the package is a zip whose
# block map and content types an independent reader (below, not the packer) finds right, block
# by block and header by header; two unsigned builds are the same bytes; the signed package
# verifies against that authority, holds the manifest package-manifest.sh writes with the
# certificate's subject as Windows writes it, and is the unsigned package plus the signature;
# sign.sh refuses a package whose Publisher is not that subject, naming both.
# Usage: msix_test.sh WORK-DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$1
rm -rf "$work"
mkdir -p "$work"
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }
msix() { bash "$root/scripts/package-msix.sh" "$@"; }

# A CA and a code-signing certificate issued by it; the subject has several parts and a value
# that Windows quotes.
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
  -subj "/CN=Nivra Test CA" -addext basicConstraints=critical,CA:TRUE \
  -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
  -subj "/C=LT/O=Nivra, UAB/CN=Nivra Test Signer" 2>/dev/null
printf '%s\n' basicConstraints=CA:FALSE keyUsage=critical,digitalSignature \
  extendedKeyUsage=codeSigning >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
  -extfile signer.ext -out signer.pem 2>/dev/null
echo 'a password with spaces' >password.txt
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -out signer.p12 \
  -passout file:password.txt
# As Windows writes it: most specific part first, the value with a comma quoted.
subject='CN=Nivra Test Signer, O="Nivra, UAB", C=LT'

echo "== packages"
signed=$(msix --pkcs12 signer.p12 --readpass password.txt --version 1.2.3.4 --out signed)
[ "$signed" = "$work/signed/NivraShellExt-1.2.3.4.msix" ] || fail "printed '$signed'"
unsigned1=$(msix --publisher "$subject" --version 1.2.3.4 --out unsigned1)
unsigned2=$(TZ=Pacific/Kiritimati umask 077 &&
            msix --publisher "$subject" --version 1.2.3.4 --out unsigned2)
cmp "$unsigned1" "$unsigned2" || fail "two unsigned builds differ"
# A payload of several blocks, in a folder, through the packer itself.
head -c 150000 /dev/urandom >big.bin
bash "$root/scripts/package-manifest.sh" --name Nivra.Adoc --publisher "$subject" \
  --version 1.2.3.4 --out expected.xml
python3 "$root/scripts/msix_pack.py" pack --manifest expected.xml \
  --payload Assets/big.bin=big.bin --out payload.msix

echo "== block maps and content types, read independently"
python3 - "$unsigned1" "$signed" payload.msix inside.xml <<'EOF'
import base64, hashlib, math, struct, sys, xml.etree.ElementTree as ET, zipfile

BM = "{http://schemas.microsoft.com/appx/2010/blockmap}"
CT = "{http://schemas.openxmlformats.org/package/2006/content-types}"
*packages, manifest_out = sys.argv[1:]
for path in packages:
    def check(ok, what):
        if not ok:
            sys.exit(f"FAIL: {path}: {what}")
    raw = open(path, "rb").read()
    archive = zipfile.ZipFile(path)
    check(archive.testzip() is None, "a file's CRC is wrong")
    names = [info.filename for info in archive.infolist()]
    check(len(set(n.lower() for n in names)) == len(names), "a name is there twice")
    infos = {info.filename: info for info in archive.infolist()}

    block_map = ET.fromstring(archive.read("AppxBlockMap.xml"))
    check(block_map.tag == BM + "BlockMap", "the block map's root")
    check(block_map.get("HashMethod") == "http://www.w3.org/2001/04/xmlenc#sha256", "HashMethod")
    mapped = {}
    for entry in block_map:
        check(entry.tag == BM + "File", f"{entry.tag} in the block map")
        name = entry.get("Name").replace("\\", "/")
        check(name in infos and name not in mapped, f"block map file {name}")
        info, data = infos[name], archive.read(name)
        mapped[name] = entry
        check(int(entry.get("Size")) == len(data) == info.file_size, f"{name}: Size")
        # The local header as it lies in the zip: 30 bytes, the name, the extra field.
        at = info.header_offset
        signature, name_length, extra_length = struct.unpack_from("<I22xHH", raw, at)
        check(signature == 0x04034B50, f"{name}: no local header at {at}")
        check(int(entry.get("LfhSize")) == 30 + name_length + extra_length, f"{name}: LfhSize")
        blocks = list(entry)
        check(len(blocks) == math.ceil(len(data) / 65536), f"{name}: {len(blocks)} blocks")
        for i, block in enumerate(blocks):
            digest = hashlib.sha256(data[i * 65536:(i + 1) * 65536]).digest()
            check(base64.b64decode(block.get("Hash"), validate=True) == digest,
                  f"{name}: block {i}'s hash")
            # A Size only for deflated data.
            check((block.get("Size") is not None) == (info.compress_type == zipfile.ZIP_DEFLATED),
                  f"{name}: block {i} Size with compression {info.compress_type}")
    footprint = {"AppxBlockMap.xml", "[Content_Types].xml", "AppxSignature.p7x"}
    check(set(mapped) == set(names) - footprint, f"block map lists {sorted(mapped)} of {names}")
    check("AppxManifest.xml" in mapped, "no manifest")

    types = ET.fromstring(archive.read("[Content_Types].xml"))
    check(types.tag == CT + "Types", "the content types' root")
    defaults, overrides = {}, {}
    for e in types:
        if e.tag == CT + "Default":
            defaults[e.get("Extension").lower()] = e.get("ContentType")
        else:
            check(e.tag == CT + "Override", f"{e.tag} in the content types")
            overrides[e.get("PartName").lower()] = e.get("ContentType")
    def content_type(name):  # an Override by part name, else a Default by extension
        base = name.rsplit("/")[-1]
        extension = base.rpartition(".")[2].lower() if "." in base else None
        return overrides.get("/" + name.lower(), defaults.get(extension))
    for name in set(names) - {"[Content_Types].xml"}:
        check(content_type(name) is not None, f"no content type for {name}")
    appx = "application/vnd.ms-appx."
    check(content_type("AppxManifest.xml") == appx + "manifest+xml", "manifest type")
    check(content_type("AppxBlockMap.xml") == appx + "blockmap+xml", "block map type")
    if "AppxSignature.p7x" in names:
        check(content_type("AppxSignature.p7x") == appx + "signature", "signature type")
    print(f"{path}: {len(names)} files, {sum(len(list(f)) for f in block_map)} blocks checked")
# The signed package's manifest, for the comparison below.
open(manifest_out, "wb").write(zipfile.ZipFile(packages[1]).read("AppxManifest.xml"))
EOF

echo "== the signed package"
osslsigncode verify -CAfile ca.pem -in "$signed" >verify.log 2>&1 ||
  fail "the signed package does not verify: $(cat verify.log)"
! osslsigncode verify -CAfile /etc/ssl/certs/ca-certificates.crt -in "$signed" >/dev/null 2>&1 ||
  fail "the signed package verified against the wrong authority"
cmp inside.xml expected.xml ||
  fail "the manifest inside is not package-manifest.sh's with Publisher $subject"
# Signing adds the signature and its content type, nothing else.
osslsigncode remove-signature -in "$signed" -out removed.msix >/dev/null
cmp removed.msix "$unsigned1" ||
  fail "the signed package without its signature is not the unsigned one"

echo "== refusals"
other=$(msix --publisher "CN=Someone Else" --version 1.2.3.4 --out other)
status=0
bash "$root/scripts/sign.sh" -pkcs12 signer.p12 -readpass password.txt -out other/never.msix \
  "$other" 2>refusal.txt || status=$?
[ $status != 0 ] || fail "sign.sh signed a package whose Publisher is not the certificate's subject"
grep -qF '"CN=Someone Else"' refusal.txt && grep -qF "\"$subject\"" refusal.txt ||
  fail "the refusal does not name both: $(cat refusal.txt)"
[ ! -e other/never.msix ] && [ -z "$(ls -A other | grep '^\.signing')" ] ||
  fail "a refused signing left files"
for arguments in "" "--publisher CN=Nivra --pkcs12 signer.p12 --readpass password.txt" \
  "--pkcs12 signer.p12" "--publisher CN=Nivra --version 0.1.0.0" "--publisher Nivra"; do
  status=0
  msix $arguments --out refused >/dev/null 2>&1 || status=$?
  [ $status = 2 ] || fail "package-msix.sh $arguments: exit $status, not 2"
done
[ ! -e refused ] || [ -z "$(ls -A refused)" ] || fail "a refused package left $(ls -A refused)"
echo "msix: block maps, content types, reproducible, signed and verified, refusals"
