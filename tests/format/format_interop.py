#!/usr/bin/env python3
"""Cell formats between the formatting commands and other programs.

usage: format_interop.py KORVADEL XLSX_KVP FORMATTING_LUA SCRATCH_DIR

1. The formatting script's workbook: openpyxl reads every format as set, LibreOffice's CSV shows the
   formatted texts.
2. Formats written by openpyxl, XlsxWriter and LibreOffice read back through the commands as written.
3. A round trip of the XlsxWriter file with one value changed, and with a cell given a look the file
   already has, keeps its styles part byte for byte; the same file without a styles part gets one when a
   cell is formatted.
"""
import csv
import datetime
import os
import shutil
import subprocess
import sys
import zipfile

import openpyxl
import xlsxwriter
from openpyxl.styles import Alignment, Border, Font, PatternFill, Side

KORVADEL, PLUGIN, FORMATTING, SCRATCH = sys.argv[1:5]
failures = []


def check(actual, expected, what):
    if actual != expected:
        failures.append(f"{what}: expected {expected!r}, got {actual!r}")


def path(name):
    return os.path.join(SCRATCH, name)


def korvadel(script, *args, chunk=None):
    env = dict(os.environ, LUA_PATH_5_4=os.path.join(os.path.dirname(FORMATTING), "..", "scripts", "lib", "?.lua"))
    result = subprocess.run([KORVADEL, "--plugin", PLUGIN, "--check-leaks", script, *args], input=chunk,
                            capture_output=True, text=True, env=env)
    if result.returncode != 0:
        failures.append(f"korvadel {script} {' '.join(args)} failed:\n{result.stdout}{result.stderr}")
    return result.stdout


def written_by_commands():
    out = path("formatted.xlsx")
    korvadel(FORMATTING, out)
    ws = openpyxl.load_workbook(out).active
    a1 = ws["A1"]
    check((a1.font.b, a1.fill.fill_type, a1.fill.fgColor.rgb), (True, "solid", "FFDDEBF7"), "header font and fill")
    check((a1.border.bottom.style, a1.border.bottom.color.rgb), ("medium", "FF1F4E78"), "header border")
    check((a1.alignment.horizontal, a1.alignment.vertical, a1.alignment.wrap_text), ("center", "center", True),
          "header alignment")
    for ref, value, code in (("A2", datetime.datetime(2026, 12, 7), "yyyy-mm-dd"),
                             ("A4", datetime.datetime(2026, 12, 7, 18, 30, 15), "yyyy-mm-dd hh:mm:ss"),
                             ("A5", datetime.datetime(2024, 2, 29), "d-mmm-yy"),
                             ("E2", datetime.time(8, 15), "hh:mm")):
        check((ws[ref].value, ws[ref].number_format, ws[ref].is_date), (value, code, True), f"date {ref}")
    check((ws["B2"].number_format, ws["B2"].is_date), ('"$"#,##0.00', False), "currency")
    check(ws["C2"].number_format, "0.0%", "percentage")
    check(ws["C3"].number_format, "#,##0.00", "built-in format")
    d2 = ws["D2"].font
    check((d2.name, d2.sz, d2.i, d2.strike, d2.u, bool(d2.b), d2.color.rgb),
          ("Arial", 14, True, True, None, False, "FFC00000"), "font")
    check(ws["D7"].font.name, "Arial", "copied format")
    d4 = ws["D4"].border
    check((d4.left.style, d4.right.style, d4.top.style, d4.bottom.style), (None, "thin", "thin", "thin"), "borders")
    d5 = ws["D5"].alignment
    check((d5.horizontal, d5.vertical, d5.indent, d5.textRotation), ("right", "top", 2, 135), "alignment")
    check(ws["E4"].alignment.textRotation, 255, "vertical text")
    check((ws["B3"].fill.fgColor.rgb, ws["B3"].number_format), ("FFF2F2F2", '"$"#,##0.00'), "fill kept the format")

    # The CSV filter's options: comma, quote, UTF-8, from line 1, ..., cell texts as shown.
    shown = "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false"
    subprocess.run(["soffice", f"-env:UserInstallation={office_profile()}", "--headless", "--convert-to", shown,
                    "--outdir", SCRATCH, out], capture_output=True, timeout=300)
    with open(path("formatted.csv"), encoding="utf-8", newline="") as f:
        rows = list(csv.reader(f))
    # Row 3 is left out: the office program counts days without 1900-02-29 and shows serial 60 as 02-28.
    check(rows[1], ["2026-12-07", "$1,234.50", "12.5%", "red italic", "08:15"], "office shows row 2")
    check(rows[3][0], "2026-12-07 18:30:15", "office shows date and time")
    check(rows[4][0], "29-Feb-24", "office shows the cell's own date format")


def office_profile():
    return "file://" + os.path.abspath(path("lo-profile"))


# What the commands read from B2 (and A2, a date) of a peer's file, one line.
READ_BACK = r"""
local id = xlsx.Open(nil, arg[1])
local function line(...) local t = table.pack(...) for i = 1, t.n do t[i] = tostring(t[i]) end return table.concat(t, "|") end
print(line(xlsx.GetCellFont(id, "B2")))
print(line(xlsx.GetCellFill(id, "B2"), xlsx.GetCellBorder(id, "B2", XLSX_SIDE_TOP)))
print(line(xlsx.GetCellAlignment(id, "B2")))
print(line(xlsx.GetCellNumberFormat(id, "B2"), xlsx.IsCellDate(id, "B2")))
print(line(xlsx.GetCellDate(id, "A2"), xlsx.IsCellDate(id, "A2")))
xlsx.Close(id)
"""
EXPECTED = ["Arial|14|3|16711680", "65280|5|255", "3|0|1|2|30", '"$"#,##0.00|0', "2026-12-07|1"]


def written_by_peers():
    made = path("openpyxl.xlsx")
    wb = openpyxl.Workbook()
    ws = wb.active
    ws["A2"] = datetime.date(2026, 12, 7)
    ws["A2"].number_format = "yyyy-mm-dd"
    ws["B2"] = 12.5
    ws["B2"].font = Font(name="Arial", size=14, bold=True, italic=True, color="FFFF0000")
    ws["B2"].fill = PatternFill("solid", fgColor="FF00FF00")
    ws["B2"].border = Border(top=Side(style="thick", color="FF0000FF"))
    ws["B2"].alignment = Alignment(horizontal="right", vertical="top", wrap_text=True, indent=2, text_rotation=30)
    ws["B2"].number_format = '"$"#,##0.00'
    wb.save(made)

    written = path("xlsxwriter.xlsx")
    book = xlsxwriter.Workbook(written)
    sheet = book.add_worksheet()
    sheet.write_datetime("A2", datetime.datetime(2026, 12, 7), book.add_format({"num_format": "yyyy-mm-dd"}))
    sheet.write_number("B2", 12.5, book.add_format({
        "font_name": "Arial", "font_size": 14, "bold": True, "italic": True, "font_color": "#FF0000",
        "pattern": 1, "bg_color": "#00FF00", "top": 5, "top_color": "#0000FF", "align": "right", "valign": "top",
        "text_wrap": True, "indent": 2, "rotation": 30, "num_format": '"$"#,##0.00'}))
    sheet.write_string("C2", "plain")
    sheet.write_string("D2", "bold", book.add_format({"bold": True}))
    book.close()

    office_dir = path("office")
    os.makedirs(office_dir, exist_ok=True)
    subprocess.run(["soffice", f"-env:UserInstallation={office_profile()}", "--headless", "--convert-to", "xlsx", "--outdir",
                    office_dir, made], capture_output=True, timeout=300)
    office = os.path.join(office_dir, "openpyxl.xlsx")
    # The office program writes the currency format in its own words.
    office_expected = EXPECTED[:3] + ['\\$#,##0.00|0'] + EXPECTED[4:]
    for name, file, expected in (("openpyxl", made, EXPECTED), ("XlsxWriter", written, EXPECTED),
                                 ("LibreOffice", office, office_expected)):
        lines = korvadel("-", file, chunk=READ_BACK).splitlines()
        check(lines, expected, f"formats written by {name}")
    return written


def round_trip(written):
    def styles_of(file):
        with zipfile.ZipFile(file) as z:
            return z.read("xl/styles.xml")
    for what, change in (("a value", 'xlsx.SetCellValue(id, "C2", 99)'),
                         ("a look the file has", 'xlsx.SetCellFont(id, "C2", "", XLSX_KEEP, XLSX_FONT_BOLD, XLSX_KEEP)')):
        copy = path("round_trip.xlsx")
        shutil.copy(written, copy)
        korvadel("-", copy, chunk=f"local id = xlsx.Open(nil, arg[1])\n{change}\nxlsx.Save(id)\nxlsx.Close(id)\n")
        check(styles_of(copy) == styles_of(written), True, f"styles part kept byte for byte after changing {what}")
        check(openpyxl.load_workbook(copy).active["C2"].value, 99 if what == "a value" else "plain", f"{what} changed")
    check(openpyxl.load_workbook(copy).active["C2"].font.b, True, "the look the file has was given")


def without_styles():
    """A workbook without a styles part (and so without formatted cells) gets one when a cell is formatted."""
    plain, bare = path("plain.xlsx"), path("bare.xlsx")
    book = xlsxwriter.Workbook(plain)
    book.add_worksheet().write_string("A1", "plain")
    book.close()
    with zipfile.ZipFile(plain) as source, zipfile.ZipFile(bare, "w", zipfile.ZIP_DEFLATED) as target:
        for item in source.infolist():
            data = source.read(item.filename)
            if item.filename == "xl/styles.xml":
                continue
            if item.filename in ("[Content_Types].xml", "xl/_rels/workbook.xml.rels"):
                text = data.decode()
                start = text.index("styles")
                data = (text[:text.rindex("<", 0, start)] + text[text.index("/>", start) + 2:]).encode()
            target.writestr(item, data)
    korvadel("-", bare, chunk='local id = xlsx.Open(nil, arg[1])\nxlsx.SetCellDate(id, "E5", "2026-12-07")\n'
                              'xlsx.SetCellFont(id, "E5", "", XLSX_KEEP, XLSX_FONT_BOLD, XLSX_KEEP)\n'
                              'xlsx.Save(id)\nxlsx.Close(id)\n')
    cell = openpyxl.load_workbook(bare).active["E5"]
    check((cell.value, cell.is_date, cell.font.b), (datetime.datetime(2026, 12, 7), True, True), "styles part added")


os.makedirs(SCRATCH, exist_ok=True)
def from_peers():
    written = written_by_peers()
    round_trip(written)
    without_styles()


for step in (written_by_commands, from_peers):
    try:
        step()
    except Exception as error:  # a peer that cannot read a file is a failure, not a crash of the test
        failures.append(f"{step.__name__}: {type(error).__name__}: {error} (line {error.__traceback__.tb_next.tb_lineno})")
for failure in failures:
    print("FAIL:", failure)
print("format interop: ok" if not failures else f"format interop: {len(failures)} checks failed")
sys.exit(1 if failures else 0)
