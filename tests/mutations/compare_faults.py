#!/usr/bin/env python3
"""Puts two results of run_faults.py side by side: each fault with the stage and test that caught it in
the first (old) and the second (new) run, and every fault the first run caught and the second missed.

usage: compare_faults.py OLD.tsv NEW.tsv       (exit status 1 when the new run misses a fault the old caught)
"""
import sys


def read(path):
    rows = {}
    for line in open(path, encoding="utf-8"):
        fields = line.rstrip("\n").split("\t")
        if len(fields) >= 5:
            rows[fields[0]] = {"file": fields[1], "outcome": fields[2], "stage": fields[3],
                               "tests": (fields[5].split(" ")[0] if len(fields) > 5 and fields[5] else "-")}
    return rows


def cell(row):
    if row is None:
        return "not run"
    return row["outcome"] if row["outcome"] != "caught" else "%s: %s" % (row["stage"], row["tests"])


def main():
    old, new = read(sys.argv[1]), read(sys.argv[2])
    lost = []
    print("| fault | file | old suite | new suite |\n|---|---|---|---|")
    for fault, row in old.items():
        print("| %s | %s | %s | %s |" % (fault, row["file"], cell(row), cell(new.get(fault))))
        if row["outcome"] == "caught" and fault in new and new[fault]["outcome"] != "caught":
            lost.append(fault)
    caught = lambda rows: sum(r["outcome"] == "caught" for r in rows.values())
    print("\nold: %d of %d caught; new: %d of %d caught (%d run by both)" %
          (caught(old), len(old), caught(new), len(new), len(set(old) & set(new))))
    print("caught by the old suite, missed by the new: %s" % (", ".join(lost) or "none"))
    return 1 if lost else 0


if __name__ == "__main__":
    sys.exit(main())
