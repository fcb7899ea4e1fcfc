#!/usr/bin/env python3
"""Fails unless every call site and every export of x64 and ARM64 DLLs lies in a function with
a function table entry (.pdata).

Windows unwinds x64 and ARM64 frames by these tables alone: a call from code that has no entry
is taken for a leaf, and the system's exception dispatch, the shell's guards and crash dumps
unwind through the caller's frame by guesswork. A leaf, which neither calls nor touches the
stack, needs none (clang leaves them out on ARM64): an export without an entry passes only when
its code runs straight to its return or tail branch without a call, a branch or the stack.
Prints, per image, the entries and the call sites (x64 call, ARM64 bl and blr) covered.

Usage: check-unwind.py IMAGE...   (x86 images have no tables and are refused)
"""
import bisect
import re
import struct
import subprocess
import sys

OBJDUMP = "llvm-objdump-14"
MACHINES = {0x8664: "x64", 0xAA64: "arm64"}
CALLS = {"x64": ("call", "callq"), "arm64": ("bl", "blr")}


class Image:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE image")
        machine, sections, _, _, _, optional_size = struct.unpack_from("<HHIIIH", self.data, pe + 4)
        self.machine = MACHINES.get(machine)
        if self.machine is None:
            raise ValueError("machine 0x%04x has no function tables to check" % machine)
        optional = pe + 24
        self.base = struct.unpack_from("<Q", self.data, optional + 24)[0]
        directories = optional + 112  # PE32+
        self.directory = [struct.unpack_from("<II", self.data, directories + 8 * i)
                          for i in range(16)]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            name, virtual_size, rva, raw_size, raw_offset = struct.unpack_from(
                "<8sIIII", self.data, table + 40 * i)
            self.sections.append((rva, max(virtual_size, raw_size), raw_offset, raw_size))

    def read(self, rva, size):
        for start, length, offset, raw_size in self.sections:
            if start <= rva and rva + size <= start + length:
                if rva - start + size > raw_size:
                    raise ValueError("RVA 0x%x lies past its section's file data" % rva)
                return self.data[offset + rva - start:offset + rva - start + size]
        raise ValueError("RVA 0x%x lies in no section" % rva)

    def functions(self):
        """The function table as sorted (begin, end) RVA ranges."""
        rva, size = self.directory[3]
        table = self.read(rva, size) if size else b""
        ranges = []
        if self.machine == "x64":
            for i in range(0, len(table) - 11, 12):
                begin, end, _ = struct.unpack_from("<III", table, i)
                ranges.append((begin, end))
        else:
            for i in range(0, len(table) - 7, 8):
                begin, unwind = struct.unpack_from("<II", table, i)
                if unwind & 3 == 0:  # the length is in the .xdata record it points to
                    words = struct.unpack("<I", self.read(unwind, 4))[0] & 0x3FFFF
                else:  # packed unwind data
                    words = (unwind >> 2) & 0x7FF
                ranges.append((begin, begin + 4 * words))
        return sorted(ranges)

    def exports(self):
        rva, size = self.directory[0]
        if not size:
            return []
        header = self.read(rva, 40)
        count = struct.unpack_from("<I", header, 20)[0]
        address_table = struct.unpack_from("<I", header, 28)[0]
        return list(struct.unpack("<%dI" % count, self.read(address_table, 4 * count)))


def disassemble(path, image):
    """The image's code as (RVA, mnemonic, operands), in address order."""
    listing = subprocess.run([OBJDUMP, "-d", "--no-show-raw-insn", path], check=True,
                             capture_output=True, text=True).stdout
    pattern = re.compile(r"^\s*([0-9a-f]+):\s+(\S+)\s*(.*)$")
    code = []
    for line in listing.splitlines():
        match = pattern.match(line)
        if match:
            code.append((int(match.group(1), 16) - image.base, match.group(2), match.group(3)))
    return code


LEAF_ENDS = {"x64": ("ret", "retq", "jmp", "jmpq"), "arm64": ("ret", "b", "br")}
STACK = {"x64": re.compile(r"%[re]?sp\b|%[re]?bp\b|\bpush|\bpop"),
         "arm64": re.compile(r"\bsp\b|\b[xw](29|30)\b")}


def is_leaf(code, index, machine):
    """Whether the code from index on reaches its end without a call, branch or stack use."""
    for rva, mnemonic, operands in code[index:]:
        if mnemonic in LEAF_ENDS[machine]:
            return True
        if (mnemonic in CALLS[machine] or mnemonic.startswith(("b.", "cb", "tb", "j"))
                or STACK[machine].search(mnemonic + " " + operands)):
            return False
    return False


def covered(ranges, rva):
    i = bisect.bisect_right(ranges, (rva, 0xFFFFFFFF)) - 1
    return i >= 0 and ranges[i][0] <= rva < ranges[i][1]


def check(path):
    image = Image(path)
    ranges = image.functions()
    code = disassemble(path, image)
    sites = [rva for rva, mnemonic, _ in code if mnemonic in CALLS[image.machine]]
    bare_sites = [rva for rva in sites if not covered(ranges, rva)]
    exports = image.exports()
    at = {rva: i for i, (rva, _, _) in enumerate(code)}
    bare = [rva for rva in exports if not covered(ranges, rva)]
    leaves = [rva for rva in bare if rva in at and is_leaf(code, at[rva], image.machine)]
    bare_exports = [rva for rva in bare if rva not in leaves]
    print("%s (%s): %d function table entries; call sites covered %d of %d; exports covered "
          "%d of %d, leaves %d" % (path, image.machine, len(ranges),
                                   len(sites) - len(bare_sites), len(sites),
                                   len(exports) - len(bare), len(exports), len(leaves)))
    for what, bare in (("call site", bare_sites), ("export", bare_exports)):
        for rva in bare[:5]:
            print("  %s at 0x%x lies in no function table entry" % (what, image.base + rva),
                  file=sys.stderr)
        if len(bare) > 5:
            print("  ... and %d more %ss" % (len(bare) - 5, what), file=sys.stderr)
    return not bare_sites and not bare_exports and sites


def main(paths):
    if not paths:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    status = 0
    for path in paths:
        try:
            if not check(path):
                status = 1
        except (OSError, ValueError, struct.error, subprocess.CalledProcessError) as error:
            print("%s: %s" % (path, error), file=sys.stderr)
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
