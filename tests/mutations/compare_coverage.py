#!/usr/bin/env python3
"""Compares two gcovr JSON reports: prints the totals of both and every line and branch that the first
covers and the second does not. Exits 1 when there is one. Given the two source trees, lines are matched
through each file's text, so that product code changed between the reports is told apart: a covered line
that is gone from the second tree is listed as removed, not as a loss.
usage: compare_coverage.py BEFORE.json AFTER.json [BEFORE_SRC AFTER_SRC]
"""
import difflib
import json
import os
import sys


def load(path):
    """{file: {line: (count, [branch counts])}} of a report, the entries of one line added up."""
    files = {}
    with open(path) as handle:
        for entry in json.load(handle)["files"]:
            lines = files.setdefault(entry["file"], {})
            for line in (line for line in entry["lines"] if not line.get("gcovr/noncode")):
                count, branches = lines.get(line["line_number"], (0, []))
                merged = [b["count"] for b in line["branches"]]
                if len(merged) == len(branches):
                    merged = [a + b for a, b in zip(merged, branches)]
                lines[line["line_number"]] = (count + line["count"], merged or branches)
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


def line_map(path, sources):
    """{line before: line after} of a file, or None when no source trees are given (same numbers)."""
    if not sources:
        return None
    texts = []
    for root in sources:
        full = os.path.join(root, path)
        texts.append(open(full, encoding="utf-8", errors="replace").read().splitlines() if os.path.exists(full) else [])
    mapping = {}
    for tag, i1, i2, j1, _ in difflib.SequenceMatcher(None, texts[0], texts[1], autojunk=False).get_opcodes():
        if tag == "equal":
            mapping.update({i1 + k + 1: j1 + k + 1 for k in range(i2 - i1)})
    return mapping


def main(before_path, after_path, *sources):
    before, after = load(before_path), load(after_path)
    for name, files in (("before", before), ("after", after)):
        lines, covered, branches, taken = totals(files)
        print("%-6s lines %d/%d (%.1f%%), branches %d/%d (%.1f%%)" %
              (name, covered, lines, 100.0 * covered / lines, taken, branches, 100.0 * taken / branches))
    lost = 0
    for path, entry in sorted(before.items()):
        later, mapping = after.get(path, {}), line_map(path, sources)
        for number, (count, counts) in sorted(entry.items()):
            if mapping is not None and number not in mapping:
                if count > 0:
                    print("%s:%d: covered line removed from the product" % (path, number))
                continue
            count_after, counts_after = later.get(number if mapping is None else mapping[number], (0, []))
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
    sys.exit(main(*sys.argv[1:]))
