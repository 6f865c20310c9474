#!/usr/bin/env python3
"""Checks the includes between the program's rooms (its top-level source folders).

Layers: the rooms stand in layers, lowest first, and a file may include only files of its own
room and of rooms in layers below it; rooms that share a layer know nothing of each other. Every
include that points up or sideways is printed with its file and line.

Cycles: every pair of components (a header and its source count as one component) that include
each other, directly or through others, is printed.

Prints nothing and exits 0 when there is neither; exits 1 otherwise. With --root DIR it checks
the tree at DIR instead of the one it sits in."""
import argparse
import os
import re
import sys

# Lowest first. The fax input engine and the PDF stage both decode with the codec and neither
# knows the other. ocr takes page bitmaps and gives words as plain data, which the PDF writer
# lays over its pages, so it sits below pdfout.
LAYERS = (("platform",), ("codec",), ("ocr",), ("faxin", "pdfout"), ("app",), ("ui",))
ROOMS = tuple(room for layer in LAYERS for room in layer)
# The program's entry is built into the executable itself, above every room: it makes the window
# when there is one.
ENTRY = "app/main.cpp"

include = re.compile(r'^[ \t]*#[ \t]*include[ \t]+"([^"]+)"', re.M)


def scan(root):
    """Yields (file, line number, included path) for every quoted include of the rooms' files."""
    for room in ROOMS:
        for dirpath, dirnames, names in os.walk(os.path.join(root, room)):
            dirnames.sort()
            for name in sorted(names):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(dirpath, name)
                rel = os.path.relpath(path, root).replace(os.sep, "/")
                with open(path, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                for match in include.finditer(text):
                    line = text.count("\n", 0, match.start()) + 1
                    yield rel, line, match.group(1)


def upward_includes(includes):
    """The includes that name another room in the including file's layer or above it."""
    rank = {room: i for i, layer in enumerate(LAYERS) for room in layer}
    found = []
    for rel, line, target in includes:
        if rel == ENTRY:
            continue
        own = rel.split("/", 1)[0]
        other = target.split("/", 1)[0]
        if other not in rank or other == own or rank[other] < rank[own]:
            continue
        where = "above" if rank[other] > rank[own] else "beside"
        found.append(f"up: {rel}:{line} includes {target} ({other} is {where} {own})")
    return found


def cycles(includes):
    """Groups of components that include each other, each sorted."""
    edges = {}
    for rel, _, target in includes:
        component = os.path.splitext(rel)[0]
        other = os.path.splitext(target)[0]
        if other != component:
            edges.setdefault(component, set()).add(other)

    # Strongly connected components (Tarjan); every one with more than one member is a cycle.
    index, low, stack, on, found, counter = {}, {}, [], set(), [], [0]
    sys.setrecursionlimit(10000)

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on.add(v)
        for w in sorted(edges.get(v, ())):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            group = []
            while True:
                w = stack.pop()
                on.discard(w)
                group.append(w)
                if w == v:
                    break
            if len(group) > 1:
                found.append(sorted(group))

    for v in sorted(edges):
        if v not in index:
            visit(v)
    return sorted(found)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                       ".."))
    args = parser.parse_args()
    includes = list(scan(args.root))
    problems = upward_includes(includes)
    problems += ["cycle: " + " <-> ".join(group) for group in cycles(includes)]
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
