"""Workbooks written by XlsxWriter and openpyxl read with the right values through our library."""
import os
import re
import sys
import zipfile

import openpyxl
import xlsxwriter

from common import Checker, dump, temp_dir


def write_xlsxwriter(path, constant_memory):
    wb = xlsxwriter.Workbook(path, {"constant_memory": constant_memory})
    data = wb.add_worksheet("Data")
    hidden = wb.add_worksheet("Hidden")
    third = wb.add_worksheet("Third")
    hidden.hide()
    data.write_number(0, 0, 42)
    data.write_number(0, 1, 2.5)
    data.write_string(0, 2, "text")
    data.write_boolean(0, 3, True)
    data.write_number(1, 0, 1e20)
    data.write_string(1, 1, " padded ")
    data.write_formula(2, 0, "=A1*2", None, 84)
    data.write_array_formula(3, 0, 3, 0, "{=SUM(A1:B1)}", None, 44.5)
    data.set_row(5, 30)
    data.write_number(5, 0, -7)
    data.set_column(2, 4, 18)
    hidden.write_string(0, 0, "secret")
    third.write_number(9, 9, 99)
    wb.define_name("Total", "=Data!$A$1")
    wb.define_name("Third!Local", "=Third!$J$10")
    wb.close()


def write_openpyxl(path):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "First"
    ws["A1"] = 1
    ws["B1"] = 0.125
    ws["C1"] = "openpyxl text"
    ws["D1"] = False
    ws["A2"] = "=SUM(A1:B1)"
    ws["B2"] = "=A1"
    ws["C2"] = "=A1"
    ws.row_dimensions[3].height = 40
    ws.row_dimensions[4].hidden = True
    ws["A3"] = 3
    ws["A4"] = 4
    ws.column_dimensions.group("B", "D", hidden=True)
    second = wb.create_sheet("Second")
    second.sheet_state = "veryHidden"
    second["B3"] = "x"
    wb.create_sheet("Last")["A1"] = 10
    wb.save(path)
    # A shared formula (B2 master, C2 dependent) and an inline string, as other writers produce them.
    with zipfile.ZipFile(path) as z:
        entries = {n: z.read(n) for n in z.namelist()}
    sheet = entries["xl/worksheets/sheet1.xml"].decode()
    sheet = re.sub(r'<c r="B2"><f>A1</f><v></v></c>', '<c r="B2"><f t="shared" ref="B2:C2" si="0">A1</f><v>1</v></c>', sheet)
    sheet = re.sub(r'<c r="C2"><f>A1</f><v></v></c>', '<c r="C2"><f t="shared" si="0"/><v>1</v></c>', sheet)
    sheet = sheet.replace("</row></sheetData>", '<c r="E4" t="inlineStr"><is><t>inline here</t></is></c></row></sheetData>', 1)
    entries["xl/worksheets/sheet1.xml"] = sheet.encode()
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in entries.items():
            z.writestr(name, data)


def main(tool):
    check = Checker()
    with temp_dir() as tmp:
        for constant_memory in (False, True):
            path = os.path.join(tmp, f"xw{int(constant_memory)}.xlsx")
            write_xlsxwriter(path, constant_memory)
            sheets, cells, formulas, rows = dump(tool, path)
            mode = f"XlsxWriter constant_memory={constant_memory}"
            check.equal(mode + " sheets", sheets, [("Data", "", True), ("Hidden", "hidden", False), ("Third", "", False)])
            check.equal(mode + " A1", cells.get(("Data", "A1")), ("integer", "42"))
            check.equal(mode + " B1", cells.get(("Data", "B1")), ("float", "2.5"))
            check.equal(mode + " C1", cells.get(("Data", "C1")), ("string", "text"))
            check.equal(mode + " D1", cells.get(("Data", "D1")), ("boolean", "1"))
            check.equal(mode + " A2 1e20", cells.get(("Data", "A2")), ("float", "1e+20"))
            check.equal(mode + " B2 spaces", cells.get(("Data", "B2")), ("string", " padded "))
            check.equal(mode + " A3 formula", formulas.get(("Data", "A3")), "A1*2")
            check.equal(mode + " A3 cached", cells.get(("Data", "A3")), ("integer", "84"))
            check.equal(mode + " A4 array", formulas.get(("Data", "A4")), "SUM(A1:B1)")
            check.equal(mode + " A6", cells.get(("Data", "A6")), ("integer", "-7"))
            check.equal(mode + " row 6 height", rows.get(("Data", 6)), (30.0, False))
            check.equal(mode + " hidden sheet", cells.get(("Hidden", "A1")), ("string", "secret"))
            check.equal(mode + " J10", cells.get(("Third", "J10")), ("integer", "99"))
        path = os.path.join(tmp, "op.xlsx")
        write_openpyxl(path)
        sheets, cells, formulas, rows = dump(tool, path)
        check.equal("openpyxl sheets", sheets, [("First", "visible", True), ("Second", "veryHidden", False), ("Last", "visible", False)])
        check.equal("openpyxl A1", cells.get(("First", "A1")), ("integer", "1"))
        check.equal("openpyxl B1", cells.get(("First", "B1")), ("float", "0.125"))
        check.equal("openpyxl C1", cells.get(("First", "C1")), ("string", "openpyxl text"))
        check.equal("openpyxl D1", cells.get(("First", "D1")), ("boolean", "0"))
        check.equal("openpyxl A2 formula", formulas.get(("First", "A2")), "SUM(A1:B1)")
        check.equal("openpyxl A2 no cached value", cells.get(("First", "A2")), None)
        check.equal("openpyxl shared master", formulas.get(("First", "B2")), "A1")
        check.equal("openpyxl shared cached", cells.get(("First", "C2")), ("integer", "1"))
        check.equal("openpyxl inline string", cells.get(("First", "E4")), ("string", "inline here"))
        check.equal("openpyxl row 3 height", rows.get(("First", 3)), (40.0, False))
        check.equal("openpyxl row 4 hidden", rows.get(("First", 4)), (15.0, True))
        check.equal("openpyxl very hidden cell", cells.get(("Second", "B3")), ("string", "x"))
        check.equal("openpyxl last", cells.get(("Last", "A1")), ("integer", "10"))
    check.finish()


if __name__ == "__main__":
    main(sys.argv[1])
