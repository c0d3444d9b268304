#!/usr/bin/env python3
"""Turns what DllRegisterServer writes (morvaleth-report --export-registration --installer ...) into
the WiX registry entries of one component: the package declares the registration instead of
running the DLL."""
import re
import sys
from xml.sax.saxutils import quoteattr

ROOT = "HKEY_CLASSES_ROOT"
# Keys that other registrations share: only what lies below them is ours to remove.
SHARED_CONTAINERS = ("clsid", "typelib", "interface", "appid", "component categories")


class ExportError(Exception):
    pass


def unquote(text, line):
    if len(text) < 2 or text[0] != '"' or text[-1] != '"':
        raise ExportError("not a quoted string: " + line)
    out, i, body = [], 0, text[1:-1]
    while i < len(body):
        if body[i] == "\\":
            i += 1
            if i == len(body):
                raise ExportError("dangling escape: " + line)
        elif body[i] == '"':
            raise ExportError("unescaped quote: " + line)
        out.append(body[i])
        i += 1
    return "".join(out)


def split_value(line):
    """'@="x"' or '"name"=dword:...' -> (name, rest); the name's quotes may hold '='."""
    if line.startswith("@="):
        return "", line[2:]
    if not line.startswith('"'):
        raise ExportError("not a value line: " + line)
    i = 1
    while i < len(line) and line[i] != '"':
        i += 2 if line[i] == "\\" else 1
    if i + 1 >= len(line) or line[i + 1] != "=":
        raise ExportError("not a value line: " + line)
    return unquote(line[: i + 1], line), line[i + 2 :]


def parse(text):
    """REGEDIT4 text -> ordered list of (key, [(name, type, value)])."""
    lines = [l.rstrip("\r") for l in text.split("\n")]
    if not lines or lines[0] != "REGEDIT4":
        raise ExportError("not a REGEDIT4 export")
    keys = []
    for line in lines[1:]:
        if not line:
            continue
        if line.startswith("[") and line.endswith("]"):
            path = line[1:-1]
            if not path.startswith(ROOT + "\\"):
                raise ExportError("outside " + ROOT + ": " + line)
            keys.append((path[len(ROOT) + 1 :], []))
            continue
        if not keys:
            raise ExportError("value before any key: " + line)
        name, data = split_value(line)
        if data.startswith('"'):
            value = unquote(data, line)
            if value.startswith("#"):
                # A Registry table reads a leading '#' as a number or binary marker.
                raise ExportError("string with a leading '#': " + line)
            keys[-1][1].append((name, "string", value))
        elif data.startswith("dword:") and len(data) == 14:
            keys[-1][1].append((name, "integer", str(int(data[6:], 16))))
        else:
            raise ExportError("value type the package cannot declare: " + line)
    return keys


def removal_roots(keys):
    roots = []
    for path, _ in keys:
        parts = path.split("\\")
        depth = 2 if parts[0].lower() in SHARED_CONTAINERS else 1
        if len(parts) == depth and path not in roots:
            roots.append(path)
    return roots


def entry(key, name, kind, value=None):
    attributes = ' Root="HKCR" Key=%s' % quoteattr(key)
    if name:
        attributes += " Name=%s" % quoteattr(name)
    attributes += ' Type="%s"' % kind
    if value is not None:
        attributes += " Value=%s" % quoteattr(value)
    return "  <RegistryValue%s/>" % attributes


def entries(keys):
    """The RegistryValue elements of one component, in the export's order."""
    parents = {path.rsplit("\\", 1)[0] for path, _ in keys if "\\" in path}
    # '*': created on install, removed with its whole tree on uninstall, as DllUnregisterServer does.
    out = [entry(root, "*", "string") for root in removal_roots(keys)]
    for path, values in keys:
        for name, kind, value in values:
            if name in ("+", "-", "*") and value == "":
                raise ExportError("value name the Registry table reserves: " + path)
            out.append(entry(path, name, kind, value))
        if not values and path not in parents:
            out.append(entry(path, "+", "string"))  # a key that is only a key (Programmable)
    return out


def wxi(keys):
    out = ['<?xml version="1.0" encoding="utf-8"?>',
           "<!-- Generated from DllRegisterServer's registration; do not edit. -->",
           "<Include>"] + entries(keys) + ["</Include>"]
    return "\n".join(out) + "\n"


def is_helpdir(path):
    return path.lower().startswith("typelib\\") and path.lower().endswith("\\helpdir")


def without_helpdir(keys):
    """TypeLib is one key for both registry views: the help folder is left to the other build's
    component, so that one package never writes two values for it."""
    return [(path, values) for path, values in keys if not is_helpdir(path)]


def helpdir_only(keys):
    return [(path, values) for path, values in keys if is_helpdir(path)]


def rename(keys, names):
    """Renames the file keys and folder properties that the values name ([!Dll64], [#Dll64],
    [INSTALLDIR]), for a package that gives the DLL other ids."""
    pattern = re.compile(r"\[([#!]?)([A-Za-z_][A-Za-z0-9_.]*)\]")
    swap = lambda m: "[%s%s]" % (m.group(1), names.get(m.group(2), m.group(2)))
    return [(path, [(name, kind, pattern.sub(swap, value) if kind == "string" else value)
                    for name, kind, value in values]) for path, values in keys]


def load(path):
    with open(path, encoding="latin-1") as f:
        keys = parse(f.read())
    if not keys:
        raise ExportError("the export holds no key")
    return keys


def main(argv):
    skip_helpdir = "--without-helpdir" in argv
    argv = [a for a in argv if a != "--without-helpdir"]
    if len(argv) != 3:
        sys.stderr.write("usage: registry_wxi.py [--without-helpdir] EXPORT.reg OUT.wxi\n")
        return 2
    try:
        keys = load(argv[1])
        if skip_helpdir:
            keys = without_helpdir(keys)
    except (OSError, ExportError) as error:
        sys.stderr.write("registry_wxi: %s\n" % error)
        return 1
    with open(argv[2], "w", encoding="utf-8") as f:
        f.write(wxi(keys))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
