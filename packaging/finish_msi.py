#!/usr/bin/env python3
"""Prints the SQL that completes what wixl leaves out of a package: short names for every file and
folder (File.FileName and Directory.DefaultDir as "SHORT|Long Name"), the version of every
versioned file of the stage, and the public properties among the secure ones."""
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

from pe_version import file_version

WIX = "{http://schemas.microsoft.com/wix/2006/wi}"
SHORT_CHARS = re.compile(r"^[A-Za-z0-9_^$~!#%&\-{}@`'()]+$")


def is_short(name):
    base, dot, ext = name.partition(".")
    return (0 < len(base) <= 8 and len(ext) <= 3 and "." not in ext and SHORT_CHARS.match(base)
            and (not ext or SHORT_CHARS.match(ext)))


def short_name(name, taken):
    if is_short(name):
        return None
    base, _, ext = name.rpartition(".") if "." in name else (name, "", "")
    clean = lambda text: re.sub(r"[^A-Z0-9_]", "", text.upper())
    stem, ext = clean(base)[:6] or "F", clean(ext)[:3]
    for n in range(1, 10000):
        tail = "~%d" % n
        candidate = stem[: 8 - len(tail)] + tail + ("." + ext if ext else "")
        if candidate not in taken:
            taken.add(candidate)
            return candidate
    raise ValueError("no short name for " + name)


def table(msi, name):
    text = subprocess.run(["msiinfo", "export", msi, name], check=True, capture_output=True,
                          text=True).stdout
    return [line.split("\t") for line in text.splitlines()[3:] if line]


def quote(text):
    return "'" + text.replace("'", "''") + "'"


def main(argv):
    if len(argv) != 4:
        sys.stderr.write("usage: finish_msi.py PACKAGE.msi PRODUCT.wxs STAGE\n")
        return 2
    msi, wxs, stage = argv[1:]
    queries, taken = [], {}
    for directory, parent, default in table(msi, "Directory"):
        if default not in (".", "SourceDir") and "|" not in default and ":" not in default:
            short = short_name(default, taken.setdefault(parent, set()))
            if short:
                queries.append("UPDATE `Directory` SET `DefaultDir` = %s WHERE `Directory` = %s"
                               % (quote(short + "|" + default), quote(directory)))
    folder_of = {row[0]: row[2] for row in table(msi, "Component")}
    sources = {f.get("Id"): f.get("Source", "").replace("$(var.Stage)", stage)
               for f in ET.parse(wxs).iter(WIX + "File")}
    for row in table(msi, "File"):
        key, component, name = row[0], row[1], row[2]
        if "|" not in name:
            short = short_name(name, taken.setdefault(folder_of[component], set()))
            if short:
                queries.append("UPDATE `File` SET `FileName` = %s WHERE `File` = %s"
                               % (quote(short + "|" + name), quote(key)))
        source = sources.get(key)
        if source and os.path.isfile(source):
            with open(source, "rb") as f:
                data = f.read()
            version = file_version(data) if data[:2] == b"MZ" else None
            if version:
                queries.append("UPDATE `File` SET `Version` = %s, `Language` = '1033' WHERE `File` = %s"
                               % (quote(version), quote(key)))
    # Public properties and folders pass from the UI to the elevated install only when secure.
    document = ET.parse(wxs)
    public = [e.get("Id") for tag in ("Property", "Directory") for e in document.iter(WIX + tag)
              if e.get("Id", "").isupper() and e.get("Id") != "TARGETDIR"]
    secure = dict((row[0], row[1]) for row in table(msi, "Property")).get("SecureCustomProperties", "")
    names = [n for n in secure.split(";") if n] + [n for n in public if n not in secure.split(";")]
    queries.append("UPDATE `Property` SET `Value` = %s WHERE `Property` = 'SecureCustomProperties'"
                   % quote(";".join(names)))
    print("\n".join(queries))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
