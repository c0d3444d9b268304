#!/usr/bin/env python3
"""Prints the file version of a PE file's version resource (a.b.c.d), as Windows Installer's File
table and ProductVersion want it; exits 1 when the file carries none."""
import struct
import sys

SIGNATURE = struct.pack("<I", 0xFEEF04BD)  # VS_FIXEDFILEINFO.dwSignature


def file_version(data):
    at = data.find(SIGNATURE)
    # The structure is 4-byte aligned inside the resource; the version follows signature and
    # struct version.
    while at != -1 and (at % 4 or len(data) < at + 16):
        at = data.find(SIGNATURE, at + 1)
    if at == -1:
        return None
    ms, ls = struct.unpack_from("<II", data, at + 8)
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: pe_version.py FILE\n")
        return 2
    with open(argv[1], "rb") as f:
        version = file_version(f.read())
    if version is None:
        return 1
    print(version)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
