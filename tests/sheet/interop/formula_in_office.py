"""A formula written by our library is computed by LibreOffice when it opens the file."""
import csv
import os
import shutil
import subprocess
import sys

import openpyxl

from common import Checker, run_tool, temp_dir


def main(tool):
    office = shutil.which("soffice") or shutil.which("libreoffice")
    if not office:
        print("FAIL: LibreOffice (soffice) is not installed (Debian: libreoffice-calc)")
        sys.exit(1)
    check = Checker()
    with temp_dir() as tmp:
        source = os.path.join(tmp, "in.xlsx")
        out = os.path.join(tmp, "formula.xlsx")
        openpyxl.Workbook().save(source)
        run_tool(tool, source, "set", "Sheet", "A1", "int", "2", "set", "Sheet", "A2", "int", "3",
                 "set", "Sheet", "A3", "formula", "A1+A2*10", "set", "Sheet", "B1", "formula", "SUM(A1:A3)", "save", out)
        env = dict(os.environ, HOME=tmp)
        result = subprocess.run([office, "--headless", "--convert-to", "csv", "--outdir", tmp, out],
                                capture_output=True, text=True, timeout=180, env=env)
        csv_path = os.path.join(tmp, "formula.csv")
        check.equal("conversion ran", result.returncode == 0 and os.path.exists(csv_path), True)
        if os.path.exists(csv_path):
            with open(csv_path, newline="") as f:
                rows = list(csv.reader(f))
            check.equal("computed A3", rows[2][0], "32")
            check.equal("computed B1", rows[0][1], "37")
    check.finish()


if __name__ == "__main__":
    main(sys.argv[1])
