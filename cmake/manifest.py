#!/usr/bin/env python3
"""Writes the assembly manifest of Morvaleth.DLL from the sources that registration uses.

The class, its ProgIDs, threading model and type library come from the registration script, the
interface from the interface definition, the version from the version resource; where two of
them name the same thing they must agree, or the build stops. So the manifest cannot drift from
what regsvr32 writes.

Usage: manifest.py --arch x86|amd64 --idl FILE --rgs FILE --version-h FILE --out FILE
                   [--application NAME FILE]
--application also writes an application manifest that depends on the assembly (for clients).
"""
import argparse
import re
import sys
from xml.sax.saxutils import escape

# The type library marshaller, which serves every dual or automation interface.
TYPELIB_MARSHALLER = "{00020424-0000-0000-C000-000000000046}"
BASE_INTERFACES = {
    "IUnknown": "{00000000-0000-0000-C000-000000000046}",
    "IDispatch": "{00020400-0000-0000-C000-000000000046}",
}


def fail(message):
    sys.exit("manifest: " + message)


def braced(guid):
    return "{" + guid.strip().strip("{}").upper() + "}"


# --- the registration script: a tree of keys with their default and named values -------------
def rgs_tokens(text):
    # A class identifier between braces is a key name, not a block.
    pattern = re.compile(r"\s*(?:(\{[0-9A-Fa-f-]{36}\})|(\{|\}|=)|'((?:[^']|'')*)'|([^\s{}=']+))")
    at = 0
    text = text.rstrip()
    while at < len(text):
        match = pattern.match(text, at)
        if not match:
            fail("cannot read the registration script at offset %d" % at)
        at = match.end()
        if match.group(1):
            yield ("word", match.group(1))
        elif match.group(2):
            yield ("sym", match.group(2))
        elif match.group(3) is not None:
            yield ("str", match.group(3).replace("''", "'"))
        else:
            yield ("word", match.group(4))


def rgs_tree(text):
    """Returns {key path: {"": default, name: value}} beneath the script's root."""
    tokens = list(rgs_tokens(text))
    keys = {}
    pos = 0

    def peek():
        return tokens[pos] if pos < len(tokens) else (None, None)

    def take():
        nonlocal pos
        pos += 1
        return tokens[pos - 1]

    def value():
        kind, word = take()
        if word.lower() != "s":
            fail("only string values are described, found type %r" % word)
        kind, text = take()
        if kind != "str":
            fail("a value without its quoted text")
        return text

    def block(path):
        take()  # {
        while peek() != ("sym", "}"):
            kind, word = take()
            if kind is None:
                fail("the registration script ends inside a block")
            named = kind == "word" and word.lower() == "val"
            while kind == "word" and word.lower() in ("noremove", "forceremove", "delete", "val"):
                kind, word = take()
            child = path + "\\" + word if path else word
            if named:
                if take() != ("sym", "="):
                    fail("a named value without '='")
                keys.setdefault(path, {})[word] = value()
                continue
            entry = keys.setdefault(child, {})
            if peek() == ("sym", "="):
                take()
                entry[""] = value()
            if peek() == ("sym", "{"):
                block(child)
        take()  # }

    while pos < len(tokens):
        kind, root = take()
        if root.upper() not in ("HKCR", "HKEY_CLASSES_ROOT"):
            fail("the class is registered under %s, not HKEY_CLASSES_ROOT" % root)
        block("")
    return keys


# --- the interface definition: attribute blocks before library, coclass and interface --------
def idl_items(text):
    items = {}
    for match in re.finditer(r"\[([^\]]*)\]\s*(interface|library|coclass)\s+(\w+)(?:\s*:\s*(\w+))?", text):
        attributes, kind, name, base = match.groups()
        uuid = re.search(r"uuid\(([^)]*)\)", attributes)
        if not uuid:
            continue  # a coclass's reference to an interface, not its definition
        version = re.search(r"version\(([^)]*)\)", attributes)
        items[name] = {
            "kind": kind,
            "uuid": braced(uuid.group(1)),
            "version": version.group(1).strip() if version else None,
            "base": base,
            "automation": re.search(r"\b(dual|oleautomation)\b", attributes) is not None,
        }
    return items


def file_version(text):
    # The version resource takes its numbers from version.h.
    match = re.search(r"^\s*#define\s+MORVALETH_VERSION\s+(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)", text, re.M)
    if not match:
        fail("no MORVALETH_VERSION in the version header")
    return ".".join(match.groups())


def describe(arch, idl, rgs, version):
    keys = rgs_tree(rgs)
    classes = [path.split("\\")[1] for path in keys if re.fullmatch(r"CLSID\\\{[^\\]*\}", path, re.I)]
    if len(classes) != 1:
        fail("the registration script registers %d classes, the manifest describes one" % len(classes))
    clsid = braced(classes[0])
    base = "CLSID\\" + classes[0]
    def key(path, name=""):
        found = next((v for k, v in keys.items() if k.lower() == path.lower()), {})
        return found.get(name)
    progid = key(base + "\\ProgID")
    independent = key(base + "\\VersionIndependentProgID")
    threading = key(base + "\\InprocServer32", "ThreadingModel")
    tlbid = key(base + "\\TypeLib")
    if not (progid and independent and threading and tlbid):
        fail("the class key lacks ProgID, VersionIndependentProgID, ThreadingModel or TypeLib")
    for name in (progid, independent):
        if braced(key(name + "\\CLSID") or "") != clsid:
            fail("the ProgID %s names another class than %s" % (name, clsid))
    if key(independent + "\\CurVer") != progid:
        fail("%s\\CurVer is not %s" % (independent, progid))

    items = idl_items(idl)
    coclass = next((i for i in items.values() if i["kind"] == "coclass" and i["uuid"] == clsid), None)
    library = next((i for i in items.values() if i["kind"] == "library"), None)
    if coclass is None:
        fail("the interface definition has no coclass %s" % clsid)
    if library is None or library["uuid"] != braced(tlbid):
        fail("the type library of the interface definition is not %s" % tlbid)
    interfaces = []
    for name, item in items.items():
        if item["kind"] != "interface":
            continue
        if not item["automation"] or item["base"] not in BASE_INTERFACES:
            fail("the interface %s cannot be marshalled by the type library" % name)
        interfaces.append((name, item["uuid"], BASE_INTERFACES[item["base"]]))
    text = lambda value: escape(value, {'"': "&quot;"})
    interfaces = [tuple(text(part) for part in interface) for interface in interfaces]
    return {key: text(value) if isinstance(value, str) else value for key, value in {
        "arch": arch, "version": version, "clsid": clsid, "progid": progid, "independent": independent,
        "threading": threading, "tlbid": braced(tlbid), "tlbversion": library["version"] or "1.0",
        "description": key(base) or "", "interfaces": interfaces,
    }.items()}


def assembly_manifest(d):
    lines = [
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>',
        '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">',
        '  <assemblyIdentity type="win32" name="Morvaleth" version="%s" processorArchitecture="%s"/>'
        % (d["version"], d["arch"]),
        '  <file name="Morvaleth.DLL">',
        '    <comClass clsid="%s" threadingModel="%s" progid="%s" tlbid="%s" description="%s">'
        % (d["clsid"], d["threading"], d["progid"], d["tlbid"], d["description"]),
        '      <progid>%s</progid>' % d["independent"],
        '    </comClass>',
        '    <typelib tlbid="%s" version="%s" helpdir=""/>' % (d["tlbid"], d["tlbversion"]),
        '  </file>',
    ]
    for name, iid, base in d["interfaces"]:
        lines.append('  <comInterfaceExternalProxyStub name="%s" iid="%s" proxyStubClsid32="%s" baseInterface="%s" tlbid="%s"/>'
                     % (name, iid, TYPELIB_MARSHALLER, base, d["tlbid"]))
    lines.append('</assembly>')
    return "\r\n".join(lines) + "\r\n"


def application_manifest(d, name):
    return "\r\n".join([
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>',
        '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">',
        '  <assemblyIdentity type="win32" name="%s" version="1.0.0.0" processorArchitecture="%s"/>' % (name, d["arch"]),
        '  <dependency>',
        '    <dependentAssembly>',
        '      <assemblyIdentity type="win32" name="Morvaleth" version="%s" processorArchitecture="%s"/>'
        % (d["version"], d["arch"]),
        '    </dependentAssembly>',
        '  </dependency>',
        '</assembly>',
    ]) + "\r\n"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--arch", required=True, choices=["x86", "amd64"])
    parser.add_argument("--idl", required=True)
    parser.add_argument("--rgs", required=True)
    parser.add_argument("--version-h", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--application", nargs=2, metavar=("NAME", "FILE"))
    args = parser.parse_args()
    read = lambda path: open(path, encoding="latin-1").read()
    d = describe(args.arch, read(args.idl), read(args.rgs), file_version(read(args.version_h)))
    open(args.out, "w", newline="").write(assembly_manifest(d))
    if args.application:
        open(args.application[1], "w", newline="").write(application_manifest(d, args.application[0]))


main()
