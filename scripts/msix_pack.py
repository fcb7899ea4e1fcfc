#!/usr/bin/env python3
"""The Windows 11 package (.msix) without the Windows SDK, in Python's standard library.

  msix_pack.py pack --manifest AppxManifest.xml --out PACKAGE.msix [--payload NAME=FILE]...
  msix_pack.py subject --pkcs12 FILE --readpass FILE
  msix_pack.py publisher PACKAGE.msix
  msix_pack.py check-publisher --pkcs12 FILE --readpass FILE PACKAGE.msix

pack: an OPC zip holding the payload files (none for the product's package, which holds only
  its manifest), AppxManifest.xml, AppxBlockMap.xml and [Content_Types].xml, in that order, as
  Microsoft's block map schema and packaging API describe them:
  - the block map hashes every payload file and the manifest (not itself, the content types or
    the signature) with SHA-256, one Block per 64 KiB of the file's uncompressed data, its
    LfhSize the size of the file's local header (30 bytes, the name, no extra field);
  - those files are stored, not deflated, so no Block carries a Size (the schema asks for it
    only for deflated data); Windows' own packaging API stores a file so with
    APPX_COMPRESSION_OPTION_NONE;
  - the block map and the content types, which no block map describes, are deflated with the
    parameters osslsigncode uses when it rewrites [Content_Types].xml at signing (it keeps the
    entry's method, so a stored [Content_Types].xml would be left unreadable), and so
    `osslsigncode remove-signature` gives back the unsigned package byte for byte;
  - plain Zip32 (Windows' packaging API writes it too, as APPX_PACKAGE_SETTINGS.forceZip32),
    no data descriptors, no extra fields, time stamps 1980-01-01 00:00, no attributes: the same
    inputs give the same bytes.
subject: the subject of the certificate that goes with the PKCS#12's key, written the way
  Windows writes it and compares a package's Publisher with it (CertNameToStr with X.500 key
  names, most specific part first): "CN=Nivra, O=Nivra, C=LT".
publisher: the Identity Publisher of the package's AppxManifest.xml.
check-publisher: exits 0 when that Publisher is exactly that subject; else prints both and
  exits 1.
A refused input prints why and exits 2.
"""

import base64
import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zipfile
import zlib

BLOCK_SIZE = 65536
BLOCKMAP_NS = "http://schemas.microsoft.com/appx/2010/blockmap"
SHA256_URI = "http://www.w3.org/2001/04/xmlenc#sha256"
CONTENT_TYPES_NS = "http://schemas.openxmlformats.org/package/2006/content-types"
MANIFEST_NS = "http://schemas.microsoft.com/appx/manifest/foundation/windows10"
FOOTPRINT = ("appxmanifest.xml", "appxblockmap.xml", "[content_types].xml", "appxsignature.p7x")
# Content types of payload files by extension; anything else is a plain stream.
CONTENT_TYPES = {
    "dll": "application/x-msdownload",
    "exe": "application/x-msdownload",
    "png": "image/png",
    "jpg": "image/jpeg",
    "ini": "text/plain",
    "txt": "text/plain",
    "xml": "application/xml",
}
DOS_DATE = (0 << 9) | (1 << 5) | 1  # 1980-01-01
DOS_TIME = 0
ZIP_VERSION = 20  # 2.0: deflate; made by MS-DOS (host 0)


class Refused(Exception):
    pass


def xml_attr(value):
    return (value.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;"))


def deflate(data):
    # Raw deflate, level 8, memLevel 8, default strategy, one pass: osslsigncode's zipDeflate.
    compressor = zlib.compressobj(8, zlib.DEFLATED, -zlib.MAX_WBITS, 8, zlib.Z_DEFAULT_STRATEGY)
    return compressor.compress(data) + compressor.flush(zlib.Z_FINISH)


class ZipWriter:
    """Local header, data, and at the end the central directory, for each entry in order."""

    def __init__(self):
        self.data = bytearray()
        self.central = bytearray()
        self.count = 0

    def add(self, name, content, compress):
        encoded = name.encode("utf-8")
        flags = 0x800 if not encoded.isascii() else 0  # UTF-8 names
        method = 8 if compress else 0
        stored = deflate(content) if compress else content
        crc = zlib.crc32(content) & 0xFFFFFFFF
        if len(stored) >= 0xFFFFFFFF or len(content) >= 0xFFFFFFFF or len(self.data) >= 0xFFFFFFFF:
            raise Refused(f"{name}: larger than a Zip32 package holds")
        offset = len(self.data)
        header = struct.pack("<IHHHHHIIIHH", 0x04034B50, ZIP_VERSION, flags, method, DOS_TIME,
                             DOS_DATE, crc, len(stored), len(content), len(encoded), 0) + encoded
        self.data += header + stored
        self.central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, ZIP_VERSION, ZIP_VERSION,
                                    flags, method, DOS_TIME, DOS_DATE, crc, len(stored),
                                    len(content), len(encoded), 0, 0, 0, 0, 0, offset) + encoded
        self.count += 1
        return len(header)  # the block map's LfhSize

    def close(self):
        if self.count > 0xFFFF:
            raise Refused("more files than a Zip32 package holds")
        end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, self.count, self.count,
                          len(self.central), len(self.data), 0)
        return bytes(self.data + self.central + end)


def block_map_file(name, content, lfh_size):
    blocks = "".join(
        '<Block Hash="%s"/>' % base64.b64encode(
            hashlib.sha256(content[at:at + BLOCK_SIZE]).digest()).decode("ascii")
        for at in range(0, len(content), BLOCK_SIZE))
    # The block map names files with Windows' separator.
    return '<File Name="%s" Size="%d" LfhSize="%d">%s</File>' % (
        xml_attr(name.replace("/", "\\")), len(content), lfh_size, blocks)


def check_part_name(name):
    # Plain OPC part names only: nothing to percent-encode, no empty or dot segments.
    segment = r"[A-Za-z0-9_\-]+(\.[A-Za-z0-9_\-]+)*"
    if not re.fullmatch(f"{segment}(/{segment})*", name) or len(name) > 260:
        raise Refused(f"payload name '{name}': letters, digits, '_', '-', '.' and '/' between "
                      "folder names, at most 260 characters")
    if name.lower() in FOOTPRINT or name.lower().startswith("appxmetadata/"):
        raise Refused(f"payload name '{name}' is one of the package's own files")


def pack(manifest_path, payload, out):
    manifest = read(manifest_path)
    try:
        root = ET.fromstring(manifest)
    except ET.ParseError as error:
        raise Refused(f"{manifest_path} is not XML: {error}")
    if root.tag != "{%s}Package" % MANIFEST_NS or root.find("{%s}Identity" % MANIFEST_NS) is None:
        raise Refused(f"{manifest_path} is not a package manifest (Package with an Identity)")

    files = []
    seen = set()
    for name, path in payload:
        check_part_name(name)
        if name.lower() in seen:
            raise Refused(f"payload name '{name}' is given twice")
        seen.add(name.lower())
        files.append((name, read(path)))
    files.sort(key=lambda f: f[0])
    files.append(("AppxManifest.xml", manifest))

    zip_file = ZipWriter()
    entries = []
    defaults = {}
    for name, content in files:
        entries.append(block_map_file(name, content, zip_file.add(name, content, compress=False)))
        extension = name.rsplit("/", 1)[-1].rpartition(".")[2].lower()
        if name != "AppxManifest.xml" and extension:
            defaults.setdefault(extension, CONTENT_TYPES.get(extension, "application/octet-stream"))
    block_map = ('<?xml version="1.0" encoding="UTF-8"?>\r\n<BlockMap xmlns="%s" HashMethod="%s">'
                 '%s</BlockMap>' % (BLOCKMAP_NS, SHA256_URI, "".join(entries)))
    zip_file.add("AppxBlockMap.xml", block_map.encode("utf-8"), compress=True)

    types = ['<Default Extension="%s" ContentType="%s"/>' % (xml_attr(extension), content_type)
             for extension, content_type in sorted(defaults.items())]
    types += ['<Override PartName="/AppxManifest.xml" '
              'ContentType="application/vnd.ms-appx.manifest+xml"/>',
              '<Override PartName="/AppxBlockMap.xml" '
              'ContentType="application/vnd.ms-appx.blockmap+xml"/>']
    content_types = ('<?xml version="1.0" encoding="UTF-8"?>\r\n<Types xmlns="%s">%s</Types>'
                     % (CONTENT_TYPES_NS, "".join(types)))
    zip_file.add("[Content_Types].xml", content_types.encode("utf-8"), compress=True)

    package = zip_file.close()
    if os.path.isdir(out):
        raise Refused(f"--out {out} is a folder; name the package file")
    # Through a temporary file beside the target: a failed write leaves no half package.
    directory = os.path.dirname(os.path.abspath(out))
    handle, temporary = tempfile.mkstemp(prefix=".packing.", dir=directory)
    try:
        with os.fdopen(handle, "wb") as stream:
            stream.write(package)
        os.chmod(temporary, 0o644)
        os.replace(temporary, out)
    except BaseException:
        os.unlink(temporary)
        raise


# --- The certificate's subject, as Windows writes it --------------------------------------

# CertNameToStr's X.500 key names, which are also the ones a package's Publisher may use.
KEY_NAMES = {
    "2.5.4.3": "CN", "2.5.4.7": "L", "2.5.4.10": "O", "2.5.4.11": "OU",
    "1.2.840.113549.1.9.1": "E", "2.5.4.6": "C", "2.5.4.8": "S", "2.5.4.9": "STREET",
    "2.5.4.12": "T", "2.5.4.42": "G", "2.5.4.43": "I", "2.5.4.4": "SN",
    "0.9.2342.19200300.100.1.25": "DC", "2.5.4.5": "SERIALNUMBER", "2.5.4.13": "Description",
    "2.5.4.17": "PostalCode", "2.5.4.18": "POBox", "2.5.4.20": "Phone",
    "2.5.4.24": "X21Address", "2.5.4.46": "dnQualifier",
}
STRING_CODECS = {
    0x0C: "utf-8",      # UTF8String
    0x12: "ascii",      # NumericString
    0x13: "ascii",      # PrintableString
    0x14: "latin-1",    # TeletexString
    0x16: "ascii",      # IA5String
    0x1A: "ascii",      # VisibleString
    0x1C: "utf-32-be",  # UniversalString
    0x1E: "utf-16-be",  # BMPString
}


def der(data, at):
    """(tag, content start, content end) of the DER element at `at`."""
    if at + 2 > len(data):
        raise Refused("the certificate is cut short")
    tag, length = data[at], data[at + 1]
    at += 2
    if length & 0x80:
        count = length & 0x7F
        if count == 0 or count > 4 or at + count > len(data):
            raise Refused("the certificate has a length DER does not allow")
        length = int.from_bytes(data[at:at + count], "big")
        at += count
    if at + length > len(data):
        raise Refused("the certificate is cut short")
    return tag, at, at + length


def children(data, start, end):
    items = []
    while start < end:
        tag, content, stop = der(data, start)
        items.append((tag, content, stop))
        start = stop
    return items


def oid_text(raw):
    numbers, value = [], 0
    for byte in raw:
        value = value << 7 | byte & 0x7F
        if not byte & 0x80:
            numbers.append(value)
            value = 0
    first = min(numbers[0] // 40, 2)
    return ".".join(str(n) for n in [first, numbers[0] - 40 * first] + numbers[1:])


def windows_value(value):
    # Quoted when empty, with white space at either end, or holding , + = " newline < > # ;
    # an embedded quotation mark is doubled.
    if value == "" or value != value.strip() or re.search(r'[,+="\n<>#;]', value):
        return '"' + value.replace('"', '""') + '"'
    return value


def subject_of(certificate):
    _, start, end = der(certificate, 0)
    _, start, end = der(certificate, start)  # tbsCertificate
    fields = children(certificate, start, end)
    if fields and fields[0][0] == 0xA0:  # version
        fields = fields[1:]
    if len(fields) < 5 or fields[4][0] != 0x30:
        raise Refused("the certificate has no subject")
    rdns = []
    for rdn_tag, rdn_start, rdn_end in children(certificate, fields[4][1], fields[4][2]):
        parts = []
        for _, attr_start, attr_end in children(certificate, rdn_start, rdn_end):
            (oid_tag, oid_start, oid_end), (value_tag, value_start, value_end) = \
                children(certificate, attr_start, attr_end)[:2]
            oid = oid_text(certificate[oid_start:oid_end])
            if value_tag not in STRING_CODECS:
                raise Refused(f"the subject's {oid} is not a string (DER tag {value_tag:#x})")
            value = certificate[value_start:value_end].decode(STRING_CODECS[value_tag])
            parts.append("%s=%s" % (KEY_NAMES.get(oid, "OID." + oid), windows_value(value)))
        rdns.append(" + ".join(parts))
    # Windows writes the most specific part first: the reverse of the certificate's order.
    return ", ".join(reversed(rdns))


def certificate_of(pkcs12, readpass):
    """The DER certificate of the PKCS#12's key, through openssl."""
    for legacy in ([], ["-legacy"]):
        extract = subprocess.run(
            ["openssl", "pkcs12", "-in", pkcs12, "-passin", "file:" + readpass, "-nokeys",
             "-clcerts"] + legacy, capture_output=True)
        if extract.returncode == 0 and b"BEGIN CERTIFICATE" in extract.stdout:
            break
    else:
        raise Refused(f"cannot read the certificate of {pkcs12} with the password in {readpass}: "
                      + extract.stderr.decode(errors="replace").strip().split("\n")[0])
    convert = subprocess.run(["openssl", "x509", "-outform", "DER"], input=extract.stdout,
                             capture_output=True)
    if convert.returncode != 0:
        raise Refused(f"cannot read the certificate of {pkcs12}")
    return convert.stdout


def publisher_of(package):
    try:
        with zipfile.ZipFile(package) as archive:
            manifest = archive.read("AppxManifest.xml")
    except (OSError, zipfile.BadZipFile, KeyError) as error:
        raise Refused(f"{package}: no AppxManifest.xml in a readable package ({error})")
    try:
        identity = ET.fromstring(manifest).find("{%s}Identity" % MANIFEST_NS)
    except ET.ParseError as error:
        raise Refused(f"{package}: its AppxManifest.xml is not XML: {error}")
    if identity is None or identity.get("Publisher") is None:
        raise Refused(f"{package}: its AppxManifest.xml has no Identity Publisher")
    return identity.get("Publisher")


def read(path):
    try:
        with open(path, "rb") as stream:
            return stream.read()
    except OSError as error:
        raise Refused(f"cannot read {path}: {error.strerror}")


def main(argv):
    usage = "usage:\n" + __doc__.split("\n\n")[1]
    if not argv or argv[0] in ("-h", "--help"):
        print(usage, file=sys.stdout if argv else sys.stderr)
        return 0 if argv else 2
    command, arguments = argv[0], argv[1:]
    options, positional = {}, []
    while arguments:
        if arguments[0].startswith("--"):
            if len(arguments) < 2:
                raise Refused(f"{arguments[0]} needs a value")
            options.setdefault(arguments[0][2:], []).append(arguments[1])
            arguments = arguments[2:]
        else:
            positional.append(arguments.pop(0))
    allowed = {"pack": ({"manifest", "out", "payload"}, 0), "subject": ({"pkcs12", "readpass"}, 0),
               "publisher": (set(), 1), "check-publisher": ({"pkcs12", "readpass"}, 1)}
    if command not in allowed:
        raise Refused(f"unknown command '{command}'\n{usage}")
    names, count = allowed[command]
    unknown = set(options) - names
    if unknown or len(positional) != count:
        raise Refused(f"wrong arguments for {command}\n{usage}")

    def one(name):
        if len(options.get(name, [])) != 1:
            raise Refused(f"{command} needs --{name} once")
        return options[name][0]

    if command == "pack":
        payload = []
        for item in options.get("payload", []):
            name, equals, path = item.partition("=")
            if not equals:
                raise Refused(f"--payload {item}: NAME=FILE")
            payload.append((name, path))
        pack(one("manifest"), payload, one("out"))
    elif command == "subject":
        print(subject_of(certificate_of(one("pkcs12"), one("readpass"))))
    elif command == "publisher":
        print(publisher_of(positional[0]))
    else:
        publisher = publisher_of(positional[0])
        subject = subject_of(certificate_of(one("pkcs12"), one("readpass")))
        if publisher != subject:
            print(f'the manifest\'s Publisher "{publisher}" is not the certificate\'s subject '
                  f'"{subject}"')
            return 1
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except Refused as refusal:
        print(f"msix_pack: {refusal}", file=sys.stderr)
        sys.exit(2)
