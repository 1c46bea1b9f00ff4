#!/usr/bin/env python3
"""End-to-end interoperability of the script commands with openpyxl and XlsxWriter.

usage: interop.py KORVADEL XLSX_KVP SCRIPTS_DIR EXAMPLES_DIR SCRATCH_DIR

1. A script writes every kind of value, formula and layout attribute; openpyxl reads it back exactly.
2. openpyxl and XlsxWriter write workbooks; examples/dump.lua prints them and the text is compared.
3. examples/modify.lua changes a cell of an openpyxl workbook; openpyxl sees the change and nothing else.
"""
import os
import subprocess
import sys
import zipfile

import openpyxl
import xlsxwriter

KORVADEL, PLUGIN, SCRIPTS, EXAMPLES, SCRATCH = sys.argv[1:6]
failures = []


def check(actual, expected, what):
    if actual != expected or type(actual) is not type(expected):
        failures.append(f"{what}: expected {expected!r} ({type(expected).__name__}), "
                        f"got {actual!r} ({type(actual).__name__})")


def korvadel(script, *args):
    result = subprocess.run([KORVADEL, "--plugin", PLUGIN, "--check-leaks", script, *args],
                            capture_output=True, text=True)
    if result.returncode != 0:
        failures.append(f"{os.path.basename(script)} {' '.join(args)} failed ({result.returncode}):\n"
                        f"{result.stdout}{result.stderr}")
    return result.stdout


def korvadel_chunk(chunk, *args):
    result = subprocess.run([KORVADEL, "--plugin", PLUGIN, "--check-leaks", "-", *args], input=chunk,
                            capture_output=True, text=True)
    if result.returncode != 0:
        failures.append(f"script failed ({result.returncode}):\n{chunk}\n{result.stdout}{result.stderr}")
    return result.stdout


def path(name):
    return os.path.join(SCRATCH, name)


def written_by_script():
    out = path("written.xlsx")
    korvadel(os.path.join(SCRIPTS, "interop_write.lua"), out)
    wb = openpyxl.load_workbook(out)
    check(wb.sheetnames, ["First", "Values", "Layout", "Hidden", "Very hidden"], "sheet order")
    check([ws.sheet_state for ws in wb.worksheets], ["visible", "visible", "visible", "hidden", "veryHidden"],
          "sheet states")
    check(wb.active.title, "Layout", "active sheet")
    ws = wb["Values"]
    expected = {
        "A1": 42, "B1": -7, "C1": 9007199254740992, "D1": 2.5, "E1": 0.1, "F1": -1.25e-7, "G1": 1e20,
        "H1": 3,
        "A2": "plain", "B2": " leading and trailing ", "C2": "Grüße, 中文, €", "D2": "<tag> & \"quotes\"",
        "E2": "12", "F2": "line\nbreak", "G2": "inline", "H2": " inline spaced ", "I2": "plain",
        "A3": True, "B3": False, "C3": None, "D3": None,
        "A4": "=A1*2", "B4": "=SUM(A1:H1)", "C4": "=IF(A3,\"yes\",\"no\")", "D4": "=Layout!A1&\"!\"",
    }
    for ref, value in expected.items():
        check(ws[ref].value, value, f"Values!{ref}")
    for ref in ("A4", "B4", "C4", "D4"):
        check(ws[ref].data_type, "f", f"Values!{ref} is a formula")
    layout = wb["Layout"]
    check(layout["A1"].value, "layout", "Layout!A1")
    check(layout["E6"].value, 1, "Layout!E6")
    check(layout.column_dimensions["A"].width, 25.0, "width of column A")
    check(layout.column_dimensions["C"].width, 8.5, "width of column C")
    check(layout.column_dimensions["D"].hidden, True, "column D hidden")
    check(layout.column_dimensions["C"].hidden, False, "column C visible")
    check(layout.row_dimensions[2].height, 30.0, "height of row 2")
    check(layout.row_dimensions[3].height, 7.25, "height of row 3")
    check(layout.row_dimensions[5].hidden, True, "row 5 hidden")
    check(layout.row_dimensions[4].hidden, False, "row 4 visible")
    for name, value in [("title", "Interop title"), ("subject", "Interop subject"), ("creator", "Interop creator"),
                        ("keywords", "a, b"), ("description", "Interop description"),
                        ("category", "Interop category"), ("lastModifiedBy", "Interop editor")]:
        check(getattr(wb.properties, name), value, f"property {name}")
    # Shared-strings mode: G2 and H2 were written inline, the others through the shared strings table.
    with zipfile.ZipFile(out) as z:
        names = z.namelist()
        sheet_xml = None
        for name in names:
            if name.startswith("xl/worksheets/") and b"<v>inline</v>" in z.read(name):
                sheet_xml = z.read(name).decode()
        if sheet_xml is None:
            failures.append("no worksheet holds the inline text in a <v>")
        else:
            if 'r="G2" t="str"' not in sheet_xml:
                failures.append("G2 is not an inline (str) cell")
            if 'r="A2" t="s"' not in sheet_xml or 'r="I2" t="s"' not in sheet_xml:
                failures.append("A2 and I2 are not shared-string cells")
            if 'xml:space="preserve"' not in sheet_xml:
                failures.append("the inline text with spaces lacks xml:space")
        sst = z.read("xl/sharedStrings.xml").decode()
        check(sst.count(">plain<"), 1, "one shared entry for a text used twice")
        check(">inline<" in sst, False, "inline texts stay out of the shared strings")


def read_peer_files():
    # openpyxl: values of every kind, formulas, error cells, several sheets, a hidden sheet.
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Data"
    ws.append([1, -2, 3.5, "text", True, False])
    ws.append(["Grüße", " spaced ", 1e-9, 123456789012345, None, "=A1+B1"])
    ws["A4"] = "after a gap"
    errors = wb.create_sheet("Errors")
    for i, code in enumerate(["#N/A", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#NULL!"], 1):
        errors.cell(row=i, column=1, value=code)
    hidden = wb.create_sheet("Hidden")
    hidden["B2"] = "hidden text"
    hidden.sheet_state = "hidden"
    out = path("from_openpyxl.xlsx")
    wb.save(out)
    expected = "\n".join([
        "# Data",
        "1:1\t-2:1\t3.5:12\ttext:3\t1:13\t0:13",
        "Grüße:3\t spaced :3\t1.0000000000000001e-09:12\t123456789012345:1\t\t=A1+B1",
        "",
        "after a gap:3",
        "# Errors",
        "#N/A:14", "#DIV/0!:14", "#VALUE!:14", "#REF!:14", "#NAME?:14", "#NUM!:14", "#NULL!:14",
        "# Hidden",
        "",
        "\thidden text:3",
        "",
    ])
    check(korvadel(os.path.join(EXAMPLES, "dump.lua"), out, "--types"), expected, "dump of the openpyxl file")

    # XlsxWriter: shared strings, numbers, booleans, a formula with a cached result, an inline-less sheet.
    out = path("from_xlsxwriter.xlsx")
    book = xlsxwriter.Workbook(out)
    sheet = book.add_worksheet("Written")
    sheet.write_row(0, 0, [10, 0.25, "shared", "shared", True])
    sheet.write_formula(1, 0, "=A1*3", None, 30)
    sheet.write_string(1, 2, "tab\there")
    sheet.write_number(3, 3, -0.5)
    other = book.add_worksheet("Second")
    other.write(0, 0, "x")
    book.close()
    expected = "\n".join([
        "# Written",
        "10:1\t0.25:12\tshared:3\tshared:3\t1:13",
        "30:1\t\ttab\\there:3",
        "",
        "\t\t\t-0.5:12",
        "# Second",
        "x:3",
        "",
    ])
    check(korvadel(os.path.join(EXAMPLES, "dump.lua"), out, "--types"), expected, "dump of the XlsxWriter file")


def chart_sheet():
    from openpyxl.chart import BarChart, Reference
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Data"
    for i in range(1, 4):
        ws.append([i, i * i])
    chart = BarChart()
    chart.add_data(Reference(ws, min_col=2, min_row=1, max_row=3))
    wb.create_chartsheet("Chart").add_chart(chart)
    out = path("chart.xlsx")
    wb.save(out)
    check(korvadel_chunk("local id = xlsx.Open(nil, arg[1])\n"
                         "print(xlsx.GetSheetCount(id), xlsx.GetSheetType(id, 1), xlsx.GetSheetType(id, 2),\n"
                         "      XLSX_SHEETTYPE_CHARTSHEET, xlsx.GetRowCount(id, 2))\n", out),
          "2\t0\t1\t1\t0\n", "sheet types of a workbook with a chart sheet")
    check(korvadel(os.path.join(EXAMPLES, "dump.lua"), out), "# Data\n1\t1\n2\t4\n3\t9\n# Chart\n",
          "dump of a workbook with a chart sheet")


def modify_peer_file():
    source = path("from_openpyxl.xlsx")
    before = open(source, "rb").read()
    out = path("modified.xlsx")
    korvadel(os.path.join(EXAMPLES, "modify.lua"), source, out, "C1", "99.5", "Data")
    check(open(source, "rb").read() == before, True, "modify.lua leaves its input file alone")
    wb = openpyxl.load_workbook(out)
    check(wb["Data"]["C1"].value, 99.5, "changed cell")
    check(wb["Data"]["D1"].value, "text", "neighbour cell")
    check(wb["Data"]["F2"].value, "=A1+B1", "formula kept")
    check(wb["Errors"]["A2"].value, "#DIV/0!", "error cell kept")
    check(wb["Hidden"].sheet_state, "hidden", "hidden sheet kept")


def report_example():
    out = path("report.xlsx")
    korvadel(os.path.join(EXAMPLES, "report.lua"), out)
    wb = openpyxl.load_workbook(out)
    check(wb.sheetnames, ["Summary", "North", "South", "West"], "report sheets")
    check(wb["North"]["B3"].value, 1350.5, "report value")
    check(wb["North"]["B6"].value, "=SUM(B2:B5)", "report formula")
    check(wb["Summary"].row_dimensions[6].hidden, True, "report hidden helper row")
    check(wb["Summary"].column_dimensions["A"].width, 24.0, "report column width")
    check(wb.properties.title, "Sales report", "report title")


os.makedirs(SCRATCH, exist_ok=True)
for step in (written_by_script, read_peer_files, chart_sheet, modify_peer_file, report_example):
    try:
        step()
    except Exception as error:  # a peer that cannot read the file is a failure, not a crash of the test
        failures.append(f"{step.__name__}: {type(error).__name__}: {error}")
for failure in failures:
    print("FAIL:", failure)
print("interop: ok" if not failures else f"interop: {len(failures)} checks failed")
sys.exit(1 if failures else 0)
