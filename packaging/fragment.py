#!/usr/bin/env python3
"""Makes the fragment for other products' packages (include/Morvaleth.wxs) from packaging/Fragment.wxs
and the two registration exports that our own package is made from, with the fragment's file keys
and folders in place of ours."""
import sys

import registry_wxi as rw

NAMES = {"x86": {"Dll32": "MorvalethDll32", "INSTALLDIR32": "MORVALETHDIR32"},
         "x64": {"Dll64": "MorvalethDll64", "INSTALLDIR": "MORVALETHDIR64"}}


def block(lines, indent="        "):
    return "\n".join(indent + line.strip() for line in lines)


def main(argv):
    if len(argv) != 5:
        sys.stderr.write("usage: fragment.py TEMPLATE.wxs EXPORT_X86.reg EXPORT_X64.reg OUT.wxs\n")
        return 2
    try:
        with open(argv[1], encoding="utf-8") as f:
            text = f.read()
        x86 = rw.rename(rw.load(argv[2]), NAMES["x86"])
        x64 = rw.rename(rw.load(argv[3]), NAMES["x64"])
        helpdir = rw.entries(rw.helpdir_only(x86))
        if len(helpdir) != 1:
            raise rw.ExportError("the 32-bit export holds %d help folders" % len(helpdir))
        fills = {"@REGISTRY x86@": block(rw.entries(rw.without_helpdir(x86))),
                 "@HELPDIR x86@": block([helpdir[0].replace("/>", ' KeyPath="yes"/>')]),
                 "@REGISTRY x64@": block(rw.entries(x64))}
        for marker, lines in fills.items():
            if text.count(marker) != 1:
                raise rw.ExportError("the template holds %s %d times" % (marker, text.count(marker)))
            text = text.replace(marker, lines)
    except (OSError, rw.ExportError) as error:
        sys.stderr.write("fragment: %s\n" % error)
        return 1
    with open(argv[4], "w", encoding="utf-8") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
