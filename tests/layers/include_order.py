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
    return next((i for i, layer in enumerate(LAYERS) if path == layer or path.startswith(layer + "/")), None)


def main(root):
    problems = ["lib/%s: a library folder without a place in the layer order" % name
                for name in sorted(os.listdir(os.path.join(root, "lib")))
                if os.path.isdir(os.path.join(root, "lib", name)) and layer_of("lib/" + name) is None]
    files = 0
    for layer in LAYERS:
        for folder, _, names in os.walk(os.path.join(root, layer)):
            sources = [os.path.relpath(os.path.join(folder, n), root) for n in names if n.endswith((".h", ".cpp"))]
            for path in sorted(sources):
                files += 1
                with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        match = INCLUDE.match(line)
                        if match and (layer_of(match.group(1)) or 0) > layer_of(path):
                            problems.append("%s:%d: includes %s, a layer above %s" %
                                            (path, number, match.group(1), LAYERS[layer_of(path)]))
    for problem in problems:
        print(problem)
    print("%d files checked against the layer order %s: %d upward includes" %
          (files, " <- ".join(LAYERS), len(problems)))
    return 1 if problems or files == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
