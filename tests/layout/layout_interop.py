#!/usr/bin/env python3
"""The sheet layout commands against the peers.

usage: layout_interop.py KORVADEL XLSX_KVP LAYOUT_SCRIPT CHECK_LIB_DIR SCRATCH_DIR

1. layout_commands.lua uses every layout command; openpyxl reads back what it set, the workbook's
   hidden filter names name the filtered cells, and LibreOffice opens the file and keeps the layout
   when it saves it again.
2. openpyxl, XlsxWriter and LibreOffice write workbooks with merged cells, frozen panes, filters, tab
   colours and hyperlinks; the script reads them as openpyxl shows them, and after a change of one cell
   the layout is unchanged.
"""
import os
import re
import shutil
import subprocess
import sys
import zipfile

import openpyxl
import xlsxwriter

KORVADEL, PLUGIN, SCRIPT, CHECK_LIB, SCRATCH = sys.argv[1:6]
failures = []


def check(actual, expected, what):
    if actual != expected:
        failures.append(f"{what}: expected {expected!r}, got {actual!r}")


def path(name):
    return os.path.join(SCRATCH, name)


def korvadel(*args):
    env = dict(os.environ, LUA_PATH_5_4=os.path.join(CHECK_LIB, "?.lua"))
    result = subprocess.run([KORVADEL, "--plugin", PLUGIN, "--check-leaks", SCRIPT, *args],
                            capture_output=True, text=True, env=env)
    if result.returncode != 0:
        failures.append(f"layout_commands.lua {' '.join(args)} failed:\n{result.stdout}{result.stderr}")
    return result.stdout


def office_resave(source, name):
    """LibreOffice opens source and saves it as xlsx again; the path of its file."""
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    outdir = path("office-" + name)
    os.makedirs(outdir, exist_ok=True)
    profile = "file://" + os.path.abspath(path("office-profile"))
    subprocess.run([soffice, f"-env:UserInstallation={profile}", "--headless", "--convert-to", "xlsx",
                    "--outdir", outdir, source], capture_output=True, timeout=300, check=True)
    return os.path.join(outdir, os.path.basename(source))


def layout(book_path):
    """Every sheet's layout as openpyxl reads it."""
    wb = openpyxl.load_workbook(book_path)
    sheets = []
    for ws in wb.worksheets:
        tab = ws.sheet_properties.tabColor
        links = [(c.coordinate, c.hyperlink.target or "", c.hyperlink.location or "", c.hyperlink.tooltip or "")
                 for row in ws.iter_rows() for c in row if c.hyperlink]
        sheets.append((ws.title, sorted(str(r) for r in ws.merged_cells.ranges), ws.freeze_panes,
                       ws.auto_filter.ref, tab.rgb.upper()[-6:] if tab is not None and tab.type == "rgb" else None,
                       sorted(links)))
    return sheets


def probe_lines(sheets):
    """What layout_commands.lua probe prints for the layout openpyxl read."""
    lines = []
    for number, (_, merged, frozen, filter_ref, tab, links) in enumerate(sheets, 1):
        lines += [f"{number}\tmerged\t{r}" for r in merged]
        x, y = 0, 0
        if frozen:
            col, row = re.match(r"([A-Z]+)(\d+)", frozen).groups()
            x, y = openpyxl.utils.column_index_from_string(col), int(row)
        lines.append(f"{number}\tfrozen\t{x}\t{y}")
        lines.append(f"{number}\tfilter\t{filter_ref or ''}")
        lines.append(f"{number}\ttab\t{tab or 'none'}")
        for ref, target, location, tooltip in links:
            shown = f"{target}#{location}" if target and location else target or location
            lines.append(f"{number}\tlink\t{ref}\t{shown}\t{tooltip}")
    return lines


def written_by_script():
    out = path("layout.xlsx")
    korvadel("write", out)
    sheets = layout(out)
    check(sheets[0], ("Data 2", [], "A2", "A2:D20", "FF0000", []), "moved sheet")
    check(sheets[1], ("Sheet1", ["A1:C1", "D4:E5"], "B3", "A3:C9", "1F6FB2",
                      [("A4", "https://example.com/report?a=1&b=2", "", "The report"),
                       ("A5", "mailto:sales@example.com", "", ""),
                       ("A6", "", "'My Data'!B2", "Go to the data"), ("A9", "", "'My Data'!C3", "")]), "first sheet")
    workbook = zipfile.ZipFile(out).read("xl/workbook.xml").decode()
    names = re.findall(r'<definedName name="_xlnm._FilterDatabase" localSheetId="(\d)" hidden="1">([^<]*)<', workbook)
    check(sorted(names), [("0", "'Data 2'!$A$2:$D$20"), ("1", "Sheet1!$A$3:$C$9")], "hidden filter names")
    # A headless LibreOffice has no view to apply frozen panes to, and keeps no link tooltips: it saves
    # neither, whoever wrote the file.
    def office_view(book):
        return [(t, m, f, c, [link[:3] for link in links]) for t, m, _, f, c, links in book]
    check(office_view(layout(office_resave(out, "ours"))), office_view(sheets), "layout after LibreOffice saved the file")

def peer_files():
    made = path("by-openpyxl.xlsx")
    wb = openpyxl.Workbook()
    ws = wb.active
    ws["A1"], ws["A2"], ws["B3"] = "Title", "link", "mail"
    ws.merge_cells("A1:C1")
    ws.merge_cells("B5:C7")
    ws.freeze_panes = "B3"
    ws.auto_filter.ref = "A2:C9"
    ws.sheet_properties.tabColor = "FF336699"
    ws["A2"].hyperlink = "https://example.org/x"
    ws["A2"].hyperlink.tooltip = "tip"
    ws["B3"].hyperlink = "mailto:a@example.org"
    other = wb.create_sheet("Other")
    other["D4"].hyperlink = openpyxl.worksheet.hyperlink.Hyperlink(ref="D4", location="Sheet!A1")
    wb.save(made)

    written = path("by-xlsxwriter.xlsx")
    book = xlsxwriter.Workbook(written)
    sheet = book.add_worksheet("Main")
    sheet.merge_range("A1:D1", "Title")
    sheet.freeze_panes(1, 2)
    sheet.autofilter("A2:D10")
    sheet.set_tab_color("#00AA55")
    sheet.write_url("A3", "https://example.org/page", string="page", tip="Page tip")
    sheet.write_url("B4", "internal:Second!B2", string="inside")
    book.add_worksheet("Second")
    book.close()

    for source in (made, written, office_resave(made, "peer")):
        before = layout(source)
        out = source.replace(".xlsx", "-changed.xlsx")
        printed = korvadel("probe", source, out).splitlines()
        check(printed, probe_lines(before), f"{os.path.basename(source)} read")
        check(layout(out), before, f"{os.path.basename(source)} layout after a change of one cell")
        check(openpyxl.load_workbook(out).worksheets[0]["A1"].value, "changed", f"{os.path.basename(source)} change")


os.makedirs(SCRATCH, exist_ok=True)
for step in (written_by_script, peer_files):
    try:
        step()
    except Exception as error:  # a peer that cannot read the file is a failure, not a crash of the test
        failures.append(f"{step.__name__}: {type(error).__name__}: {error}")
for failure in failures:
    print("FAIL:", failure)
print("layout interop: ok" if not failures else f"layout interop: {len(failures)} checks failed")
sys.exit(1 if failures else 0)
