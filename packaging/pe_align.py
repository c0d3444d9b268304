#!/usr/bin/env python3
"""Pads program files to a multiple of 8 bytes with zeros and writes their PE checksum.

A signature starts on an 8-byte boundary: osslsigncode pads the file before it signs, and taking the
signature off leaves the padding. Padded beforehand, an unsigned release file is exactly what its
signed twin gives back without its signature. Usage: pe_align.py FILE...
"""
import struct
import sys

ALIGNMENT = 8


def checksum(data, field):
    """The PE image checksum: 16-bit words summed with carry, the checksum field left out, plus the length."""
    padded = data + b"\0" * (len(data) % 2)
    total = 0
    for (word,) in struct.iter_unpack("<H", padded):
        total += word
    total -= sum(struct.unpack_from("<HH", data, field))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def align(path):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    if data[:2] != b"MZ" or len(data) < 0x40:
        return "not a program file"
    header = struct.unpack_from("<I", data, 0x3C)[0]
    if header + 0x5C > len(data) or data[header:header + 4] != b"PE\0\0":
        return "no PE header"
    data += b"\0" * (-len(data) % ALIGNMENT)
    field = header + 24 + 64  # the optional header's CheckSum, the same place in PE32 and PE32+
    struct.pack_into("<I", data, field, checksum(bytes(data), field))
    with open(path, "wb") as f:
        f.write(data)
    return None


def main(argv):
    failed = 0
    for path in argv[1:]:
        problem = align(path)
        if problem:
            sys.stderr.write("pe_align.py: %s: %s\n" % (path, problem))
            failed = 1
    return failed


if __name__ == "__main__":
    sys.exit(main(sys.argv))
