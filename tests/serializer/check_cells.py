"""Opens a workbook with openpyxl and compares the first sheet's cells with the expected ones.

usage: check_cells.py WORKBOOK EXPECTED
EXPECTED is a text file of lines "REF<TAB>TYPE<TAB>VALUE", TYPE one of s (text), i (integer), f (float),
n (no value). Exits 0 when every cell matches, else prints each mismatch and exits 1.
"""
import sys

import openpyxl


def expected_value(kind, text):
    if kind == "s":
        return text
    if kind == "i":
        return int(text)
    if kind == "f":
        return float(text)
    return None


def matches(kind, want, got):
    if kind == "i":
        return isinstance(got, int) and not isinstance(got, bool) and got == want
    if kind == "f":
        return isinstance(got, float) and got == want
    return got == want


def main():
    book = openpyxl.load_workbook(sys.argv[1])
    sheet = book.worksheets[0]
    failures = 0
    with open(sys.argv[2], encoding="utf-8") as lines:
        for line in lines:
            ref, kind, text = line.rstrip("\n").split("\t", 2)
            want = expected_value(kind, text)
            got = sheet[ref].value
            if not matches(kind, want, got):
                print(f"{ref}: expected {want!r} ({kind}), got {got!r}")
                failures += 1
    print(f"{sheet.max_row} rows, {sheet.max_column} columns, {failures} mismatches")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
