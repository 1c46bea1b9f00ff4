#!/usr/bin/env python3
"""A document created from the built-in template and saved opens in LibreOffice.

usage: libreoffice_open_test.py XLSX_EDIT WORK_DIR

Creates a workbook with the xlsx_edit tool, saves it changed, and converts it to CSV with a headless
LibreOffice. Fails when no soffice is installed (scripts/setup.sh installs it).
"""
import os
import shutil
import subprocess
import sys


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    tool, work = sys.argv[1], sys.argv[2]
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    if not soffice:
        print("FAIL: LibreOffice (soffice) is not installed (Debian: libreoffice-calc)")
        sys.exit(1)
    os.makedirs(work, exist_ok=True)
    created = os.path.join(work, "lo-template.xlsx")
    saved = os.path.join(work, "lo-saved.xlsx")
    subprocess.run([tool, "create", created], check=True)
    subprocess.run([tool, "edit", created, saved, "--property", "0", "LibreOffice check", "--string", "x"], check=True)
    csv = os.path.join(work, "lo-saved.csv")
    if os.path.exists(csv):
        os.remove(csv)
    profile = "file://" + os.path.abspath(os.path.join(work, "lo-profile"))
    result = subprocess.run([soffice, f"-env:UserInstallation={profile}", "--headless", "--convert-to", "csv",
                             "--outdir", work, saved], capture_output=True, text=True, timeout=300)
    if result.returncode != 0 or not os.path.exists(csv):
        print("FAIL: LibreOffice could not convert the saved template:", result.stdout, result.stderr)
        sys.exit(1)
    print("LibreOffice converted the saved template to CSV")


if __name__ == "__main__":
    main()
