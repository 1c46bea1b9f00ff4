#!/usr/bin/env python3
"""Checks that every include of the product code goes to its own layer or a lower one.

usage: include_order.py REPOSITORY_ROOT
The layers, lowest first, are the folders below; a file may include headers of its own folder and of
the folders before it, never of one after it. A folder of lib/ that is not in the list fails the check,
so that a new library is given its place. Prints each offending include and exits 1 when there is one.
"""
import os
import re
import sys

LAYERS = ["lib/base", "lib/xml", "lib/package", "lib/sheet", "lib/document", "plugin", "host"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def layer_of(path):
    """Index of the layer that holds path (relative to the root), or None outside the product code."""
    for i, layer in enumerate(LAYERS):
        if path == layer or path.startswith(layer + "/"):
            return i
    return None


def main(root):
    problems = []
    lib = os.path.join(root, "lib")
    for name in sorted(os.listdir(lib)):
        if os.path.isdir(os.path.join(lib, name)) and layer_of("lib/" + name) is None:
            problems.append("lib/%s: a library folder without a place in the layer order" % name)
    files = 0
    for layer in LAYERS:
        for folder, _, names in os.walk(os.path.join(root, layer)):
            for name in sorted(names):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.relpath(os.path.join(folder, name), root)
                own = layer_of(path)
                files += 1
                with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        match = INCLUDE.match(line)
                        target = layer_of(match.group(1)) if match else None
                        if target is not None and target > own:
                            problems.append("%s:%d: includes %s, a layer above %s" %
                                            (path, number, match.group(1), LAYERS[own]))
    for problem in problems:
        print(problem)
    print("%d files checked against the layer order %s: %d upward includes" %
          (files, " <- ".join(LAYERS), len(problems)))
    return 1 if problems or files == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
