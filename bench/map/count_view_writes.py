#!/usr/bin/env python3
"""Counts the writes, outside map/, to public fields of CAView that are not
part of the map's long-standing interface (the fields outside programs were
written against, which stay public and writable).

    bench/map/count_view_writes.py [REVISION] [--names-from BASE]

REVISION (default: the working tree) is any git revision; the public fields
are read from map/caview.h as it is there, and the program and test sources
of that revision are searched. With --names-from, the public fields of BASE
are searched for as well (fields since made private or turned into objects
must not be written any more either).

Only accesses through a name declared as a CAView in the same file (or a
document window's `caView`) count, so that the same names on other types
(a MapTransform's shiftX) do not. A write is an assignment, a compound
assignment, ++/--, an element or member assigned through the field, or a
mutating container call on it (append, clear, insert, remove...).
"""
import re
import subprocess
import sys
from collections import Counter

# The interface fields: public, writable, and kept under these names.
INTERFACE = set("""
radius cursorX cursorY imageThreshold wordThreshold showImage showInfo
showImagePoint showWordPoint circleNeighbour showLens mode polygon scale
mapWidth mapHeight originX originY panX panY focusImage focusWord focusOnImage
projectionMode axis1 axis2 axis3 data background dragX dragY hoverWords
imageList axis1PosLabels axis1NegLabels axis2PosLabels axis2NegLabels wordList
imageTree wordTree cellSize selectedImages selectedWords colors
""".split())

MUTATORS = ("append", "prepend", "clear", "insert", "remove", "removeAt", "removeOne", "removeAll",
            "push_back", "emplace_back", "pop_back", "resize", "swap", "fill", "squeeze", "unite",
            "subtract", "intersect", "replace", "erase", "takeAt", "takeFirst", "takeLast")


def git(*args):
    return subprocess.run(["git", *args], check=True, capture_output=True, text=True).stdout


def read(rev, path):
    if rev is None:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    return git("show", f"{rev}:{path}")


def files(rev):
    names = git("ls-files") if rev is None else git("ls-tree", "-r", "--name-only", rev)
    return [n for n in names.split() if n.endswith((".cpp", ".h")) and not n.startswith("map/")]


def public_fields(header):
    """Data members declared (or brought in with `using`) in CAView's public part."""
    body = header[header.index("class CAView"):]
    fields, access, depth = set(), "private", 0
    for line in body.splitlines():
        s = line.strip()
        depth += line.count("{") - line.count("}")
        if depth <= 0 and "};" in s:
            break
        if depth != 1:
            continue
        m = re.match(r"(public|private|protected)(\s+slots)?\s*:", s)
        if m:
            access = m.group(1) if not m.group(2) else "slots"
            continue
        if s.startswith("signals:"):
            access = "signals"
            continue
        if access != "public" or not s.endswith(";") or "(" in s:
            continue
        if s.startswith(("enum", "friend", "typedef", "static", "//", "class", "struct")):
            continue
        u = re.match(r"using\s+\w+::(\w+);", s)
        if u:
            fields.add(u.group(1))
            continue
        if s.startswith("using"):
            continue
        decl = s.split("=")[0].rstrip(";").strip()
        for name in decl.split(","):
            m = re.search(r"(\w+)\s*(\[[^\]]*\])?\s*$", name.strip())
            if m:
                fields.add(m.group(1))
    return fields


def views(text):
    """Names that hold a CAView in a source file."""
    names = set(re.findall(r"\bCAView\s*(?:const\s*)?[*&]*\s*(?:const\s*)?[*&]*\s*(\w+)\s*[=(;,)]", text))
    names.update(re.findall(r"\bCAView\s*\*\s*(\w+)\s*=", text))
    names.update({"caView", "activeView()", "m_view"})
    names.discard("CAView")
    return names


def count(rev, base=None):
    fields = public_fields(read(rev, "map/caview.h")) - INTERFACE
    if base:
        fields |= public_fields(read(base, "map/caview.h")) - INTERFACE
    fields = sorted(fields)
    if not fields:
        return fields, Counter()
    name = "|".join(fields)
    access = rf"(\w+(?:\(\))?)\s*(?:->|\.)\s*({name})\b(?!\s*\()"
    write = re.compile(
        access + r"(?:\s*\[[^\]]*\](?:\s*\.\s*\w+)?)?\s*"
        r"(?:(?:[-+*/|&^]|<<|>>)?=(?!=)|\+\+|--|\.\s*(?:" + "|".join(MUTATORS) + r")\s*\()")
    prefix = re.compile(r"(?:\+\+|--)\s*" + access)
    hits = Counter()
    for path in files(rev):
        text = read(rev, path)
        held = views(text)
        n = sum(1 for m in write.finditer(text) if m.group(1) in held)
        n += sum(1 for m in prefix.finditer(text) if m.group(1) in held)
        if n:
            hits[path] = n
    return fields, hits


def main():
    args = sys.argv[1:]
    base = None
    if "--names-from" in args:
        k = args.index("--names-from")
        base = args[k + 1]
        del args[k:k + 2]
    rev = args[0] if args else None
    fields, hits = count(rev, base)
    print(f"revision: {rev or 'working tree'}")
    print(f"CAView fields searched (public beside the interface ones{', and those of ' + base if base else ''}): "
          f"{len(fields)} ({' '.join(fields)})")
    for path, n in sorted(hits.items()):
        print(f"  {n:4d}  {path}")
    print(f"writes to them outside map/: {sum(hits.values())} in {len(hits)} files")


if __name__ == "__main__":
    main()
