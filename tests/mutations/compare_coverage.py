#!/usr/bin/env python3
"""Compares two gcovr JSON reports of the same product code: prints the totals of both and every line and
branch that the first covers and the second does not. Exits 1 when there is one.
usage: compare_coverage.py BEFORE.json AFTER.json
"""
import json
import sys


def load(path):
    """{file: {line: (count, [branch counts])}} of a report."""
    with open(path) as handle:
        report = json.load(handle)
    files = {}
    for entry in report["files"]:
        lines = {}
        for line in entry["lines"]:
            if line.get("gcovr/noncode"):
                continue
            number = line["line_number"]
            count, branches = lines.get(number, (0, []))
            merged = [b["count"] for b in line["branches"]]
            if len(merged) == len(branches):
                merged = [a + b for a, b in zip(merged, branches)]
            lines[number] = (count + line["count"], merged or branches)
        files[entry["file"]] = lines
    return files


def totals(files):
    lines = covered = branches = taken = 0
    for entry in files.values():
        for count, counts in entry.values():
            lines += 1
            covered += count > 0
            branches += len(counts)
            taken += sum(1 for c in counts if c > 0)
    return lines, covered, branches, taken


def main(before_path, after_path):
    before, after = load(before_path), load(after_path)
    for name, files in (("before", before), ("after", after)):
        lines, covered, branches, taken = totals(files)
        print("%-6s lines %d/%d (%.1f%%), branches %d/%d (%.1f%%)" %
              (name, covered, lines, 100.0 * covered / lines, taken, branches, 100.0 * taken / branches))
    lost = 0
    for path, entry in sorted(before.items()):
        later = after.get(path, {})
        for number, (count, counts) in sorted(entry.items()):
            count_after, counts_after = later.get(number, (0, []))
            if count > 0 and count_after == 0:
                print("%s:%d: line no longer covered" % (path, number))
                lost += 1
            for index, taken in enumerate(counts):
                if taken > 0 and (index >= len(counts_after) or counts_after[index] == 0):
                    print("%s:%d: branch %d no longer taken" % (path, number, index))
                    lost += 1
    print("%d lines or branches covered before and not after" % lost)
    return 1 if lost else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
