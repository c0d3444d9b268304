#!/usr/bin/env python3
"""Writes the package's documents as WiX includes: one component per file of the stage's docs
folder (its GUID named after the file in the UpgradeCode's namespace, so a document keeps its
component in every release) and the references that put them into the feature."""
import os
import re
import sys
import uuid
from xml.sax.saxutils import quoteattr


def main(argv):
    if len(argv) != 5:
        sys.stderr.write("usage: docs_wxi.py DOCS_FOLDER UPGRADECODE COMPONENTS.wxi REFS.wxi\n")
        return 2
    folder, upgrade, components_out, refs_out = argv[1:]
    names = sorted(n for n in os.listdir(folder) if os.path.isfile(os.path.join(folder, n)))
    if not names:
        sys.stderr.write("docs_wxi.py: %s holds no documents\n" % folder)
        return 1
    components, refs = ["<Include>"], ["<Include>"]
    for name in names:
        key = "Doc_" + re.sub(r"[^A-Za-z0-9_]", "_", name)
        guid = str(uuid.uuid5(uuid.UUID(upgrade), "docs/" + name)).upper()
        components += ['  <Component Id="%s" Guid="%s" Win64="yes">' % (key, guid),
                       '    <File Id="%s" Name=%s Source=%s KeyPath="yes"/>'
                       % (key, quoteattr(name), quoteattr("$(var.Stage)/docs/" + name)),
                       "  </Component>"]
        refs.append('  <ComponentRef Id="%s"/>' % key)
    for path, lines in ((components_out, components), (refs_out, refs)):
        with open(path, "w", encoding="utf-8") as f:
            f.write("\n".join(lines + ["</Include>"]) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
