#!/usr/bin/env python3
"""Prints the ProductCode and the package code of a release, one a line. The ProductCode is the
name-based UUID (version 5) of the version in the UpgradeCode's namespace, so every build of one
version is one product; the package code is that of the ProductCode and a digest of every input
file, so that packages with other contents (signed or not) never share one."""
import hashlib
import os
import sys
import uuid


def digest(paths):
    total = hashlib.sha256()
    for top in paths:
        files = [top] if os.path.isfile(top) else sorted(
            os.path.join(folder, name) for folder, _, names in os.walk(top) for name in names)
        for path in files:
            with open(path, "rb") as f:
                total.update(os.path.relpath(path, top).encode() + b"\0" + hashlib.sha256(f.read()).digest())
    return total.hexdigest()


def main(argv):
    if len(argv) < 3:
        sys.stderr.write("usage: release_ids.py UPGRADECODE VERSION [INPUT...]\n")
        return 2
    product = uuid.uuid5(uuid.UUID(argv[1]), "Morvaleth " + argv[2])
    package = uuid.uuid5(product, "package " + digest(argv[3:]))
    print(str(product).upper())
    print(str(package).upper())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
