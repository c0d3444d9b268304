#!/usr/bin/env python3
"""Every relative link of README.md and docs/*.md leads to a file of the tree (and, with #anchor,
to a heading of it), and every repository path they name exists.
Usage: check-links.py SOURCE   (prints one line per broken link or path; exit 1 when any is)"""
import glob
import os
import re
import sys

# Documents that other work of this release adds; a link to them is not yet broken.
COMING = set()
# Paths of the installed tree and of the build, not of the sources.
NOT_SOURCES = ("share/morvaleth/", "build/")

LINK = re.compile(r"\[[^\]]*\]\(([^)\s]+)\)")
FENCE = re.compile(r"^\s*```")


def anchors(path):
    """The heading anchors a Markdown renderer gives a file (GitHub's rule)."""
    seen, found = {}, set()
    inside = False
    with open(path, encoding="utf-8") as f:
        for line in f:
            if FENCE.match(line):
                inside = not inside
            if inside or not line.startswith("#"):
                continue
            text = line.lstrip("#").strip().lower()
            slug = re.sub(r"[^\w\- ]", "", text).replace(" ", "-")
            n = seen.get(slug, 0)
            seen[slug] = n + 1
            found.add(slug if n == 0 else "%s-%d" % (slug, n))
    return found


def repository_paths(text, top_folders):
    """Paths such as scripts/package or tests/clients/ that the text names, outside links."""
    folders = "|".join(re.escape(f) for f in sorted(top_folders))
    pattern = re.compile(r"(?<![\w./\\$<>-])((?:%s)/[\w./*-]*)" % folders)
    for match in pattern.finditer(LINK.sub("", text)):
        path = match.group(1).rstrip(".")
        if not path.startswith(NOT_SOURCES):
            yield path


def check(top):
    documents = ["README.md"] + sorted(os.path.relpath(p, top) for p in glob.glob(os.path.join(top, "docs", "*.md")))
    top_folders = {n for n in os.listdir(top) if os.path.isdir(os.path.join(top, n))
                   and not n.startswith((".", "build"))}
    broken = []
    for document in documents:
        with open(os.path.join(top, document), encoding="utf-8") as f:
            text = f.read()
        here = os.path.dirname(document)
        for target in LINK.findall(text):
            if re.match(r"^[a-z]+:", target):
                continue
            name, _, anchor = target.partition("#")
            path = os.path.normpath(os.path.join(here, name)) if name else document
            if path in COMING:
                continue
            full = os.path.join(top, path)
            if not os.path.exists(full):
                broken.append("%s: link to %s: no such file" % (document, target))
            elif anchor and path.endswith(".md") and anchor not in anchors(full):
                broken.append("%s: link to %s: no such heading" % (document, target))
        for path in sorted(set(repository_paths(text, top_folders))):
            if path not in COMING and not glob.glob(glob.escape(top) + "/" + path):
                broken.append("%s: names %s, which is not in the tree" % (document, path))
    return documents, broken


def main(argv):
    if len(argv) != 2 or not os.path.isfile(os.path.join(argv[1], "README.md")):
        sys.stderr.write("usage: check-links.py SOURCE   (the folder that holds README.md)\n")
        return 1
    documents, broken = check(argv[1])
    for line in broken:
        print(line)
    print("%d documents, %d broken" % (len(documents), len(broken)))
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
