#!/usr/bin/env python3
"""Checks the tables of Windows Installer packages by rule, as a validator would: 8.3 short names
for every file and folder, every component in a feature, 64-bit components under the 64-bit
Program Files and 32-bit ones not, no registry entry written twice with different values, distinct
administrative folders for the two Program Files roots.
Usage: check-tables.py PACKAGE.msi|FOLDER...   (a folder: its *.msi; prints one line per broken rule; exit 1 when any is)"""
import glob
import os
import re
import subprocess
import sys

SHORT_CHARS = re.compile(r"^[A-Za-z0-9_^$~!#%&\-{}@`'()]+$")
MSIDBCOMPONENT_64BIT = 256
# Keys that one registry serves to both views: a 32-bit and a 64-bit row there are one entry.
SHARED_HKCR = re.compile(r"^(?!CLSID\\|Interface\\|Wow6432Node\\)", re.I)


def table(msi, name):
    """Rows of one table as tuples; an absent table has none."""
    run = subprocess.run(["msiinfo", "export", msi, name], capture_output=True, text=True)
    if run.returncode != 0:
        return []
    return [tuple(line.split("\t")) for line in run.stdout.splitlines()[3:] if line]


def is_short(name):
    base, dot, ext = name.partition(".")
    return (0 < len(base) <= 8 and len(ext) <= 3 and "." not in ext and bool(SHORT_CHARS.match(base))
            and (not ext or bool(SHORT_CHARS.match(ext))))


def has_short_name(field):
    """A FileName or one half of a DefaultDir: 'SHORT|Long Name', or a name that is itself 8.3."""
    short, bar, _ = field.partition("|")
    return field in (".", "SourceDir") or is_short(short)


def short_names(msi):
    for key, _, name, *_ in table(msi, "File"):
        if not has_short_name(name):
            yield "File %s: %r has no 8.3 short name" % (key, name)
    for directory, _, default in table(msi, "Directory"):
        for half in default.split(":"):
            if not has_short_name(half):
                yield "Directory %s: %r has no 8.3 short name" % (directory, default)


def components_in_features(msi):
    featured = {row[1] for row in table(msi, "FeatureComponents")}
    for component, *_ in table(msi, "Component"):
        if component not in featured:
            yield "Component %s is in no feature" % component


def ancestors(directories, directory):
    seen = []
    while directory and directory not in seen:
        seen.append(directory)
        directory = directories.get(directory)
    return seen


def components_in_their_folders(msi):
    parents = {row[0]: row[1] for row in table(msi, "Directory")}
    for component, _, directory, attributes, *_ in table(msi, "Component"):
        wide = int(attributes or 0) & MSIDBCOMPONENT_64BIT
        under64 = "ProgramFiles64Folder" in ancestors(parents, directory)
        if wide and not under64:
            yield "64-bit component %s lies outside ProgramFiles64Folder" % component
        if not wide and under64:
            yield "32-bit component %s lies under ProgramFiles64Folder" % component


def registry_once(msi):
    wide = {row[0]: int(row[3] or 0) & MSIDBCOMPONENT_64BIT for row in table(msi, "Component")}
    written = {}
    for key_id, root, key, name, value, component in table(msi, "Registry"):
        view = "both" if root == "0" and SHARED_HKCR.match(key) else wide.get(component, 0)
        entry = (view, root, key.lower(), name.lower())
        if written.setdefault(entry, (value, key_id))[0] != value:
            yield "Registry %s and %s write %s\\%s %r with different values" % (
                written[entry][1], key_id, root, key, name)


def distinct_admin_folders(msi):
    defaults = {row[0]: row[2] for row in table(msi, "Directory")}
    pf32, pf64 = defaults.get("ProgramFilesFolder"), defaults.get("ProgramFiles64Folder")
    if pf32 is not None and pf32 == pf64:
        yield "ProgramFilesFolder and ProgramFiles64Folder share the DefaultDir %r" % pf32


RULES = (short_names, components_in_features, components_in_their_folders, registry_once,
         distinct_admin_folders)


def main(argv):
    if len(argv) < 2:
        sys.stderr.write(__doc__.split("\n")[-1] + "\n")
        return 2
    packages = [p for arg in argv[1:]
                for p in (sorted(glob.glob(os.path.join(arg, "*.msi"))) if os.path.isdir(arg) else [arg])]
    broken = 0 if packages else 1
    for msi in packages:
        if not table(msi, "File"):
            print("%s: no File table (not a package?)" % msi)
            broken += 1
        for rule in RULES:
            for problem in rule(msi):
                print("%s: %s" % (msi, problem))
                broken += 1
    print("%d package(s), %d broken rule(s)" % (len(packages), broken))
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
