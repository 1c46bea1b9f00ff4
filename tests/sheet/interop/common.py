"""Shared helpers of the interoperability scripts: run the sheet_tool driver and parse its dump."""
import subprocess
import sys
import tempfile


def run_tool(tool, path, *commands):
    """Runs sheet_tool on path with the commands; returns its standard output (fails on a non-zero exit)."""
    result = subprocess.run([tool, path, *commands], capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"sheet_tool {' '.join(commands)} failed: {result.stderr.strip()}")
    return result.stdout


def dump(tool, path):
    """The dump as (sheets, cells, formulas, rows): sheets a list of (name, state, active); cells a dict
    (sheet, ref) -> (type, text); formulas a dict (sheet, ref) -> text; rows (sheet, row) -> (height, hidden)."""
    sheets, cells, formulas, rows = [], {}, {}, {}
    for line in run_tool(tool, path, "dump").splitlines():
        kind, *fields = line.split("\t")
        if kind == "sheet":
            sheets.append((fields[1], fields[2], fields[3] == "1"))
        elif kind == "cell":
            cells[(fields[0], fields[1])] = (fields[2], fields[3])
        elif kind == "formula":
            formulas[(fields[0], fields[1])] = fields[2]
        elif kind == "row":
            rows[(fields[0], int(fields[1]))] = (float(fields[2]), fields[3] == "1")
    return sheets, cells, formulas, rows


class Checker:
    def __init__(self):
        self.failures = 0
        self.passed = 0

    def equal(self, what, got, expected):
        if got == expected:
            self.passed += 1
        else:
            self.failures += 1
            print(f"FAIL {what}: got {got!r}, expected {expected!r}")

    def finish(self):
        print(f"{self.passed} passed, {self.failures} failed")
        sys.exit(1 if self.failures else 0)


def temp_dir():
    return tempfile.TemporaryDirectory(prefix="sheet_interop_")
