#!/usr/bin/env python3
"""Zips an installed tree under one top folder, the same bytes for the same files: sorted names,
fixed times and permissions."""
import os
import sys
import zipfile

FIXED_TIME = (2000, 1, 1, 0, 0, 0)


def main(argv):
    if len(argv) != 4:
        sys.stderr.write("usage: make_zip.py TREE TOPFOLDER OUT.zip\n")
        return 2
    tree, top, out = argv[1:]
    files = []
    for folder, _, names in os.walk(tree):
        files += [os.path.join(folder, name) for name in names]
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as archive:
        for path in sorted(files, key=lambda p: os.path.relpath(p, tree).replace(os.sep, "/")):
            entry = zipfile.ZipInfo(top + "/" + os.path.relpath(path, tree).replace(os.sep, "/"), FIXED_TIME)
            entry.external_attr = 0o644 << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as f:
                archive.writestr(entry, f.read())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
