#!/usr/bin/env python3
"""Lists include cycles between the project's components (a header and its source count as one
component): every pair of components that include each other, directly or through others.
Prints nothing and exits 0 when there is none."""
import os
import re
import sys

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
edges = {}
for folder in ("app", "faxin", "pdfout", "platform", "ui"):
    for dirpath, _, names in os.walk(os.path.join(root, folder)):
        for name in names:
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(dirpath, name)
            component = os.path.splitext(os.path.relpath(path, root))[0]
            with open(path, encoding="utf-8", errors="replace") as f:
                for target in include.findall(f.read()):
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
    for w in edges.get(v, ()):
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


for v in list(edges):
    if v not in index:
        visit(v)
for group in found:
    print("cycle: " + " <-> ".join(group))
sys.exit(1 if found else 0)
