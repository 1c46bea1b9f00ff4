#!/usr/bin/env python3
"""What each test covers of lib/, plugin/ and host/ that no other test covers, from the per-test counts of
`coverage.sh --each`. A test with nothing of its own can go without any product line or branch going
uncovered; with --drop, the lines and branches that only the tests matching REGEX cover, together.
usage: unique_coverage.py OUTDIR SRC [--drop REGEX]
"""
import glob
import gzip
import json
import os
import re
import sys


def measured(folder):
    """The test's name and whether it ran alone and passed (a fixture or DEPENDS brings others along)."""
    log = open(os.path.join(folder, "ctest.log")).read()
    name = re.search(rf"Test +#{os.path.basename(folder[:-1])}: (\S+)", log)
    alone = open(os.path.join(folder, "status")).read().strip() == "0" and " out of 1\n" in log
    return (name.group(1) if name else folder), alone


def covered(folder, src):
    """The product lines (file, line) and branches (file, line, index) the test reached."""
    items = set()
    for report in glob.glob(os.path.join(folder, "json", "*.gcov.json.gz")):
        for entry in json.load(gzip.open(report))["files"]:
            path = os.path.relpath(entry["file"], src)
            if not path.startswith(("lib/", "plugin/", "host/")):
                continue
            for line in entry["lines"]:
                if line["count"]:
                    items.add((path, line["line_number"]))
                items.update((path, line["line_number"], k) for k, branch in enumerate(line["branches"])
                             if branch["count"] and not branch.get("throw"))
    return items


def main(outdir, src, drop=None):
    tests, apart = {}, []
    for folder in sorted(glob.glob(os.path.join(outdir, "*", "")), key=lambda f: int(os.path.basename(f[:-1]))):
        name, alone = measured(folder)
        if alone:
            tests[name] = covered(folder, os.path.abspath(src))
        else:
            apart.append(name)
    owners = {}
    for name, items in tests.items():
        for item in items:
            owners[item] = owners.get(item, 0) + 1
    rows = sorted((sum(owners[i] == 1 for i in items), len(items), name) for name, items in tests.items())
    print("own  reached  test")
    for own, reached, name in rows:
        print(f"{own:4d} {reached:7d}  {name}")
    print(f"{sum(r[0] == 0 for r in rows)} of {len(rows)} tests cover nothing of their own; {len(owners)} lines and "
          f"branches covered")
    if apart:
        print("not measured alone (they need other tests, or failed):", " ".join(apart))
    if drop:
        chosen = [n for n in tests if re.search(drop, n)]
        kept = set().union(*(items for n, items in tests.items() if n not in chosen))
        lost = sorted(set().union(*(tests[n] for n in chosen)) - kept, key=str)
        print(f"without the {len(chosen)} tests matching {drop!r}, {len(lost)} lines and branches go uncovered")
        for item in lost:
            print("  " + ":".join(map(str, item)))


if __name__ == "__main__":
    args = sys.argv[1:]
    if len(args) not in (2, 4) or (len(args) == 4 and args[2] != "--drop"):
        sys.exit(__doc__)
    main(args[0], args[1], args[3] if len(args) == 4 else None)
