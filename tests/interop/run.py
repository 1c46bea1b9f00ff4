#!/usr/bin/env python3
"""End-to-end interoperability of the plugin, through korvadel.

usage: run.py KORVADEL PLUGIN SCRATCH NODE_DIR

Writing: write_cases.lua uses every command and writes workbooks (some of them edits of other writers'
files), recorded in expect.json; each must be well-formed XML 1.0 in every part and read as written by
openpyxl, LibreOffice (CSV), SheetJS and exceljs (npm, installed into NODE_DIR). Reading: workbooks of
openpyxl, XlsxWriter, exceljs and LibreOffice read cell by cell as openpyxl reads them and keep every entry a
change does not concern byte for byte. Cell formats and sheet layout are checked both ways.
"""
import csv, datetime, filecmp, json, math, os, re, shutil, struct, subprocess, sys, zipfile
from xml.dom import minidom

import openpyxl
import xlsxwriter
from openpyxl.chart import BarChart, Reference
from openpyxl.styles import Alignment, Border, Font, PatternFill, Side
from openpyxl.styles.colors import Color
from openpyxl.workbook.defined_name import DefinedName

HERE = os.path.dirname(os.path.abspath(__file__))
KORVADEL, PLUGIN, SCRATCH, NODE_DIR = (os.path.abspath(p) for p in sys.argv[1:5])
LOOKS, CSVS = os.path.join(SCRATCH, "looks"), os.path.join(SCRATCH, "csv")
failures, checks = [], [0]
fail = failures.append

def check(actual, expected, what):
    checks[0] += 1
    if actual != expected:
        fail(f"{what}: expected {expected!r}, got {actual!r}")

def run(command, **options):
    result = subprocess.run(command, capture_output=True, text=True, **options)
    if result.returncode != 0:
        fail(f"{' '.join(command[:3])} ... failed ({result.returncode}):\n{result.stdout}{result.stderr}")
    return result.stdout

def korvadel(script, *args, chunk=None):
    """Runs a script of this folder (a path relative to it, or "-" for chunk) through korvadel."""
    env = dict(os.environ, LUA_PATH_5_4=f"{HERE}/?.lua;{HERE}/../scripts/lib/?.lua")
    script = script if script == "-" else os.path.join(HERE, script)
    return run([KORVADEL, "--plugin", PLUGIN, "--check-leaks", script, *args], env=env, input=chunk)

def office(convert_to, outdir, *files):
    """LibreOffice converts files (headless, a profile of its own in the scratch folder) into outdir."""
    program = shutil.which("soffice") or shutil.which("libreoffice")
    run([program, f"-env:UserInstallation=file://{SCRATCH}/profile", "--headless", "--convert-to", convert_to,
         "--outdir", outdir, *files], timeout=300)

# ---- what each program shows of a text the plugin stored
def escaped(text):
    """The text as stored: characters XML cannot carry and carriage returns as _xHHHH_, a literal _xHHHH_
    protected by _x005F_."""
    return re.sub(r"[\x00-\x08\x0b-\x1f\ufffe\uffff]|_(?=x[0-9a-fA-F]{4}_)", lambda m: f"_x{ord(m[0]):04X}_", text)

def shown_text(cell, reader):
    """What a reader shows of a text cell: openpyxl does not decode the escapes (but drops the "x005F_"
    of shared strings), exceljs decodes those of shared strings only, LibreOffice and SheetJS all."""
    text, inline = cell["s"], cell.get("inline", False)
    if reader == "openpyxl":
        return escaped(text) if inline else escaped(text).replace("x005F_", "")
    if reader == "exceljs" and inline:
        return escaped(text)
    return text

def normal_lines(text):
    return text.replace("\r\n", "\n").replace("\r", "\n")

def check_number(got, expected, where):
    checks[0] += 1
    try:
        equal = not isinstance(got, bool) and math.isclose(float(got), float(expected), rel_tol=1e-15, abs_tol=0)
    except (TypeError, ValueError):
        equal = False
    if not equal:
        fail(f"{where}: expected {expected!r}, got {got!r}")

# ---- inputs other programs wrote
def new_book(title, *rows):
    """A new openpyxl workbook whose first sheet has that title and holds rows; the book and the sheet."""
    wb = openpyxl.Workbook()
    wb.active.title = title
    for row in rows:
        wb.active.append(row)
    return wb, wb.active

def make_inputs(folder):
    os.makedirs(folder, exist_ok=True)
    wb, data = new_book("Data", [1], [2], [3])
    wb.defined_names.append(DefinedName("Total", attr_text="Data!$A$1:$A$3"))
    wb.defined_names.append(DefinedName("Local", localSheetId=0, attr_text="Data!$A$2"))
    wb.properties.modified = datetime.datetime(2000, 1, 1)
    chart = BarChart()
    chart.add_data(Reference(data, min_col=1, min_row=1, max_row=3))
    wb.create_chartsheet("Chart").add_chart(chart)
    wb.save(os.path.join(folder, "names.xlsx"))
    run(["node", os.path.join(HERE, "node", "write.js"), os.path.join(NODE_DIR, "node_modules"),
         os.path.join(folder, "shared.xlsx")])
    # A package without document properties; one whose workbook is book/main.xml with relative targets from
    # there, without shared strings or styles (the plugin adds them beside it).
    source = os.path.join(folder, "props-source.xlsx")
    new_book("Sheet", ["no properties"])[0].save(source)
    without_parts(source, os.path.join(folder, "noprops.xlsx"), "docProps")
    new_book("Data", [1.5, 2])[0].save(source)
    without_parts(source, os.path.join(folder, "moved.xlsx"), "sharedStrings|styles", zipfile.ZIP_STORED,
                  lambda text: text.replace("_rels/workbook.xml", "_rels/main.xml")
                  .replace("xl/workbook.xml", "book/main.xml").replace("xl/", "book/"))

def without_parts(source, target, parts, method=zipfile.ZIP_DEFLATED, rename=lambda text: text):
    """Copies the package without the parts whose names match the pattern parts and without the elements
    naming them (overrides, relationships); every name and text passes through rename."""
    with zipfile.ZipFile(source) as z, zipfile.ZipFile(target, "w", method) as out:
        for name in (n for n in z.namelist() if not re.search(parts, n)):
            out.writestr(rename(name), rename(re.sub(rf"<[^<>]*({parts})[^<>]*/>", "", z.read(name).decode())))

def make_peer_files(folder):
    """Workbooks of other writers for the reading checks; returns their paths."""
    wb, ws = new_book("Data", [1, -2, 3.5, "text", True, False],
                      ["Grüße", " spaced ", 1e-9, 123456789012345, None, "=A1+B1"])
    ws["A4"], ws["B4"] = "after a gap", "#N/A"
    ws["B4"].data_type = "e"
    hidden = wb.create_sheet("Hidden")
    hidden["B2"] = "hidden text"
    hidden.sheet_state = "hidden"
    paths = [os.path.join(folder, "openpyxl.xlsx")]
    wb.save(paths[0])
    paths.append(os.path.join(folder, "xlsxwriter.xlsx"))
    book = xlsxwriter.Workbook(paths[-1])
    bold = book.add_format({"bold": True})
    sheet = book.add_worksheet("Numbers")
    for r in range(6):
        sheet.write_number(r, 0, r * 1.5)
        sheet.write_string(r, 1, f"text {r % 3}")
        sheet.write_formula(r, 2, f"=A{r + 1}*2", None, r * 3)
    sheet.write_rich_string(7, 0, "plain ", bold, "bold", " end")
    sheet.write_boolean(7, 1, True)
    sheet.write_array_formula(8, 0, 8, 0, "{=SUM(A1:A6)}", None, 22.5)
    book.add_worksheet("Second").write(0, 0, "x")
    book.close()
    source = os.path.join(folder, "office-source.xlsx")
    shutil.copy(paths[1], source)
    office("xlsx", os.path.join(folder, "office"), source)
    return paths + [os.path.join(folder, "shared.xlsx"), os.path.join(folder, "office", "office-source.xlsx")]

# ---- checks of a written workbook
def check_xml(path, book):
    with zipfile.ZipFile(path) as z:
        for name in (n for n in z.namelist() if n.endswith((".xml", ".rels"))):
            try:
                minidom.parseString(z.read(name))
            except Exception as error:  # expat names the line and column
                fail(f"{path}: {name} is not well-formed XML 1.0: {error}")

def check_cell(got, cell, reader, where):
    """A cell as reader shows it: the number (openpyxl keeps integers and floats apart), the text as
    shown_text says, the formula (openpyxl with "=", LibreOffice's CSV the result when the record gives
    one), the boolean (TRUE or FALSE in a CSV) or the error text."""
    office = reader == "office"
    if "n" in cell:
        check_number(got, cell["n"], where)
        if reader == "openpyxl":
            check(type(got).__name__, type(cell["n"]).__name__, f"{where}: integer or float")
    elif "s" in cell:
        shown = shown_text(cell, reader)
        check(normal_lines(got) if office else got, normal_lines(shown) if office else shown, where)
    elif "f" in cell:
        if not office or cell.get("csv") is not None:
            check(got, cell["csv"] if office else "=" + cell["f"] if reader == "openpyxl" else cell["f"], where)
    elif "b" in cell:
        check(got, ("TRUE" if cell["b"] else "FALSE") if office else cell["b"], where)
    else:
        check(got, cell["e"], where)

def check_openpyxl(path, book):
    wb = openpyxl.load_workbook(path)
    check(wb.sheetnames, [s["name"] for s in book["sheets"]], f"{path}: sheets")
    check_cells(path, book, "openpyxl", lambda sheet, ref, cell: wb[sheet][ref].value)
    if book.get("active"):
        check(wb.active.title, book["active"], f"{path}: active sheet")
    for sheet in book["sheets"]:
        ws = wb[sheet["name"]]
        check(ws.sheet_state, sheet["state"], f"{path}: state of {sheet['name']}")
        for axis, at, attribute, value in sheet["dimensions"]:
            dimensions = ws.column_dimensions if axis == "column" else ws.row_dimensions
            check(getattr(dimensions[at], attribute), value, f"{path}: {attribute} of {axis} {at}")
    if book.get("dated_by_save"):
        age = datetime.datetime.utcnow() - wb.properties.modified
        check(abs(age.total_seconds()) < 3600, True, f"{path}: modification date {wb.properties.modified} of the save")
    for name, value in book["props"].items():
        got = getattr(wb.properties, name)
        if name == "lastPrinted":
            got = got.strftime("%Y-%m-%dT%H:%M:%SZ")
        check(got, escaped(value), f"{path}: property {name}")
    names = {d.name: [d.localSheetId, d.attr_text] for d in wb.defined_names.definedName}
    for ws in wb.worksheets:  # openpyxl keeps sheet-local names with their sheets
        local = getattr(ws, "defined_names", {})
        names.update({n: [wb.sheetnames.index(ws.title), d.attr_text] for n, d in local.items()})
    for name, scoped in book.get("defined_names", {}).items():
        check(names.get(name), [scoped.get("sheet"), scoped["text"]], f"{path}: defined name {name} (sheet, text)")

def check_package(path, book):
    """What openpyxl does not show: the folders of the parts and the shared strings."""
    with zipfile.ZipFile(path) as z:
        names = z.namelist()
        strings = z.read("xl/sharedStrings.xml") if "xl/sharedStrings.xml" in names else b"<sst/>"
    if book.get("folders"):
        check(sorted({n.split("/")[0] for n in names if "/" in n}), book["folders"], f"{path}: folders of the parts")
    if book.get("shared_counts"):
        items = minidom.parseString(strings).getElementsByTagName("si")
        texts = ["".join(t.firstChild.data for t in si.getElementsByTagName("t") if t.firstChild) for si in items]
        for text, count in book["shared_counts"].items():
            check(texts.count(text), count, f"{path}: shared strings holding {text!r}")

def check_cells(path, book, reader, shown):
    """Every cell of the record as shown(sheet, ref, cell) gives what reader shows of it."""
    for sheet in book["sheets"]:
        for ref, cell in sheet["cells"].items():
            check_cell(shown(sheet["name"], ref, cell), cell, reader, f"{path}: {sheet['name']}!{ref} in {reader}")

def check_office(path, book):
    """The cells in LibreOffice's CSV of each sheet."""
    def shown(sheet, ref, cell):
        with open(os.path.join(CSVS, f"{os.path.splitext(os.path.basename(path))[0]}-{sheet}.csv"),
                  newline="", encoding="utf-8") as f:
            rows = list(csv.reader(f))
        r, c = (n - 1 for n in openpyxl.utils.cell.coordinate_to_tuple(ref))
        return rows[r][c] if r < len(rows) and c < len(rows[r]) else ""
    if not book["options"].get("no_office"):
        check_cells(path, book, "office", shown)

def check_node(path, book, shown):
    for reader in (r for r in ("sheetjs", "exceljs") if r not in book["options"].get("unread_by", [])):
        sheets = shown.get(reader, {})
        if "error" in sheets:
            fail(f"{path}: {reader} refuses the file: {sheets['error']}")
            continue
        check(list(sheets), [s["name"] for s in book["sheets"]], f"{path}: sheets in {reader}")
        check_cells(path, book, reader, lambda sheet, ref, cell: sheets.get(sheet, {}).get(ref, {"v": None, "f": None})
                    ["f" if "f" in cell else "v"])

# ---- reading files other programs wrote
def openpyxl_view(value):
    """An openpyxl value as the plugin's (type code, text): 1 integer, 3 text, 12 float, 13 boolean,
    14 error."""
    if isinstance(value, bool):
        return (13, "1" if value else "0")
    errors = ("#N/A", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#NULL!")
    code = 1 if isinstance(value, int) else 12 if isinstance(value, float) else 14 if value in errors else 3
    return None if value is None else (code, repr(value) if code == 12 else str(value))

def check_reading(paths, dump):
    ours = {(path, sheet, ref): (code, str(value), formula)
            for path, sheet, ref, code, value, formula in json.loads(dump)}
    for path in paths:
        values, formulas = openpyxl.load_workbook(path, data_only=True), openpyxl.load_workbook(path)
        for ws, cell in ((ws, cell) for ws in values.worksheets for row in ws.iter_rows() for cell in row):
            where = f"{os.path.basename(path)}: {ws.title}!{cell.coordinate}"
            code, value, formula = ours.get((path, ws.title, cell.coordinate), (0, "", ""))
            expected, got = openpyxl_view(cell.value), (code, value) if code != 0 else None
            if expected and got and expected[0] == 12 and got[0] in (1, 12):
                check_number(got[1], expected[1], f"{where}: value")
            else:
                check(got, expected, f"{where}: value as openpyxl reads it")
            shown = formulas[ws.title][cell.coordinate].value
            if isinstance(shown, str) and shown.startswith("="):
                check("=" + formula, shown, f"{where}: formula")
            elif not isinstance(shown, str) or not shown.startswith("{"):
                check(formula, "", f"{where}: formula")

def raw_records(path):
    """name -> (method, CRC, compressed bytes) of every entry."""
    records = {}
    with open(path, "rb") as f:
        data = f.read()
    with zipfile.ZipFile(path) as z:
        for info in z.infolist():
            name_len, extra_len = struct.unpack("<HH", data[info.header_offset + 26:info.header_offset + 30])
            start = info.header_offset + 30 + name_len + extra_len
            records[info.filename] = (info.compress_type, info.CRC, data[start:start + info.compress_size])
    return records

def check_kept_entries(path, out):
    before = raw_records(path)
    # A file without shared strings gets the default part, with its override and relationship.
    added = set() if "xl/sharedStrings.xml" in before else {"[Content_Types].xml", "xl/_rels/workbook.xml.rels"}
    concerned = {"docProps/core.xml", "xl/sharedStrings.xml", "xl/workbook.xml", "[Content_Types].xml",
                 "xl/_rels/workbook.xml.rels", "xl/calcChain.xml",
                 sorted(n for n in before if n.startswith("xl/worksheets/sheet"))[0]}
    for what, suffix, changed in (("saved unchanged", ".keep.xlsx", added), ("changed", ".changed.xlsx", concerned)):
        after = raw_records(out + suffix)
        for name, record in before.items():
            if name not in changed and not name.endswith("/"):  # directory records hold nothing and are not kept
                check(after.get(name) == record, True, f"{os.path.basename(path)} {what}: entry {name} kept")

def check_examples(folder, peer):
    """The example scripts of examples/ run and do what they say."""
    report = os.path.join(folder, "report.xlsx")
    korvadel("../../examples/report.lua", report)
    wb = openpyxl.load_workbook(report)
    check(wb.sheetnames, ["Summary", "North", "South", "West"], "report.lua: sheets")
    check((wb["North"]["B3"].value, wb["North"]["B6"].value), (1350.5, "=SUM(B2:B5)"), "report.lua: cells")
    check((wb["Summary"].freeze_panes, wb["North"]["B2"].number_format), ("A3", '"$"#,##0.00'), "report.lua: looks")
    modified = os.path.join(folder, "modified.xlsx")
    korvadel("../../examples/modify.lua", peer, modified, "C1", "99.5", "Data")
    wb = openpyxl.load_workbook(modified)
    check((wb["Data"]["C1"].value, wb["Data"]["D1"].value), (99.5, "text"), "modify.lua: changed and kept cells")
    dump = korvadel("../../examples/dump.lua", peer, "--types")
    check(dump.splitlines()[:2], ["# Data", "1:1\t-2:1\t3.5:12\ttext:3\t1:13\t0:13"], "dump.lua: first row")
    shown = korvadel("../../examples/table_roundtrip.lua", os.path.join(folder, "table.xlsx")).splitlines()
    check(shown[2:], ['row 2: "Äpfel", 120, 0.35', 'row 3: "Birnen", 80, 0.5', 'row 4: "Kiwis"', "B2 = 120 (type 1)",
                      "C2 = 0.35 (type 12)"], "table_roundtrip.lua: the rows read back and two cells")

# ---- cell formats and sheet layout: the workbooks of formats.lua and layout.lua read by openpyxl and
# LibreOffice; formats and layouts of openpyxl, XlsxWriter and LibreOffice read through the commands
def looks_path(name):
    return os.path.join(LOOKS, name)

def resave(source, name):
    """LibreOffice opens source and saves it as xlsx again; the path of its file."""
    office("xlsx", looks_path("office-" + name), source)
    return os.path.join(looks_path("office-" + name), os.path.basename(source))

def formats_written():
    korvadel("../scripts/commands/formats.lua", LOOKS)
    out = looks_path("formatted.xlsx")
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
    check((ws["C2"].number_format, ws["C3"].number_format), ("0.0%", "#,##0.00"), "percentage, built-in format")
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
    office("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false", LOOKS, out)
    with open(looks_path("formatted.csv"), encoding="utf-8", newline="") as f:
        rows = list(csv.reader(f))
    # Row 3 is left out: the office program counts days without 1900-02-29 and shows serial 60 as 02-28.
    check(rows[1], ["2026-12-07", "$1,234.50", "12.5%", "red italic", "08:15"], "office shows row 2")
    check((rows[3][0], rows[4][0]), ("2026-12-07 18:30:15", "29-Feb-24"), "office shows dates as formatted")

# What the commands read from B2 (and A2, a date) of a peer's file, one line each (results apart by tabs).
READ_BACK = """
local id = xlsx.Open(nil, arg[1])
print(xlsx.GetCellFont(id, "B2"))
print(xlsx.GetCellFill(id, "B2"), xlsx.GetCellBorder(id, "B2", XLSX_SIDE_TOP))
print(xlsx.GetCellAlignment(id, "B2"))
print(xlsx.GetCellNumberFormat(id, "B2"), xlsx.IsCellDate(id, "B2"))
print(xlsx.GetCellDate(id, "A2"), xlsx.IsCellDate(id, "A2"))
xlsx.Close(id)
"""
EXPECTED = ["Arial\t14\t3\t16711680", "65280\t5\t255", "3\t0\t1\t2\t30", '"$"#,##0.00\t0', "2026-12-07\t1"]

def peer_looks():
    """Formats and layouts written by openpyxl, XlsxWriter and LibreOffice (its copy of the openpyxl file)
    read through the commands as those programs show them; a change of one cell keeps the layout."""
    made = looks_path("openpyxl.xlsx")
    wb, ws = new_book("Sheet")
    ws["A2"], ws["A2"].number_format = datetime.date(2026, 12, 7), "yyyy-mm-dd"
    b2 = ws["B2"]
    b2.value, b2.font = 12.5, Font(name="Arial", size=14, bold=True, italic=True, color="FFFF0000")
    b2.fill, b2.border = PatternFill("solid", fgColor="FF00FF00"), Border(top=Side(style="thick", color="FF0000FF"))
    b2.alignment = Alignment(horizontal="right", vertical="top", wrap_text=True, indent=2, text_rotation=30)
    b2.number_format = '"$"#,##0.00'
    ws["A1"], ws["A3"], ws["B3"] = "Title", "link", "mail"
    ws.merge_cells("A1:C1")
    ws.merge_cells("B5:C7")
    ws.freeze_panes = "B3"
    ws.auto_filter.ref = "A2:C9"
    ws.sheet_properties.tabColor = "FF336699"
    ws["A3"].hyperlink = "https://example.org/x"
    ws["A3"].hyperlink.tooltip = "tip"
    ws["B3"].hyperlink = "mailto:a@example.org"
    wb.create_sheet("Other")["D4"].hyperlink = openpyxl.worksheet.hyperlink.Hyperlink(ref="D4", location="Sheet!A1")
    wb.save(made)
    written = looks_path("xlsxwriter.xlsx")
    book = xlsxwriter.Workbook(written)
    sheet = book.add_worksheet("Main")
    sheet.write_datetime("A2", datetime.datetime(2026, 12, 7), book.add_format({"num_format": "yyyy-mm-dd"}))
    sheet.write_number("B2", 12.5, book.add_format({
        "font_name": "Arial", "font_size": 14, "bold": True, "italic": True, "font_color": "#FF0000",
        "pattern": 1, "bg_color": "#00FF00", "top": 5, "top_color": "#0000FF", "align": "right",
        "valign": "top", "text_wrap": True, "indent": 2, "rotation": 30, "num_format": '"$"#,##0.00'}))
    sheet.write_string("C2", "plain")
    sheet.write_string("D2", "bold", book.add_format({"bold": True}))
    sheet.merge_range("A1:D1", "Title")
    sheet.freeze_panes(1, 2)
    sheet.autofilter("A2:D10")
    sheet.set_tab_color("#00AA55")
    sheet.write_url("A3", "https://example.org/page", string="page", tip="Page tip")
    sheet.write_url("B4", "internal:Second!B2", string="inside")
    book.add_worksheet("Second")
    book.close()
    # The office program writes the currency format in its own words.
    office_expected = EXPECTED[:3] + ['\\$#,##0.00\t0'] + EXPECTED[4:]
    for name, file, expected in (("openpyxl", made, EXPECTED), ("XlsxWriter", written, EXPECTED),
                                 ("LibreOffice", resave(made, "peers"), office_expected)):
        check(korvadel("-", file, chunk=READ_BACK).splitlines(), expected, f"formats written by {name}")
        before, out = layout(file), file.replace(".xlsx", "-changed.xlsx")
        check(korvadel("read_layout.lua", file, out).splitlines(), layout_lines(before), f"layout by {name} read")
        check(layout(out), before, f"layout by {name} after a change of one cell")
        check(openpyxl.load_workbook(out).worksheets[0]["A1"].value, "changed", f"{name}: the change")

def theme_colours():
    """Colours in the forms spreadsheet applications write (theme colours with tints, the palette), of cells
    and of sheet tabs, read through the commands as LibreOffice shows them (its copy of the file has them
    as red-green-blue)."""
    made = looks_path("theme.xlsx")
    wb, ws = new_book("Sheet")
    for ref, font, fill, top in (("B2", Color(theme=4, tint=0.3999755851924192), Color(theme=0, tint=-0.15),
                                  Color(indexed=10)),
                                 ("C2", Color(theme=1), Color(theme=9, tint=-0.499984740745262), Color(indexed=18))):
        ws[ref] = ref
        ws[ref].font, ws[ref].fill = Font(color=font), PatternFill("solid", fgColor=fill)
        ws[ref].border = Border(top=Side(style="thin", color=top))
    ws.sheet_properties.tabColor = Color(theme=5, tint=0.5999938962981048)
    wb.create_sheet("Palette").sheet_properties.tabColor = Color(indexed=12)
    wb.save(made)
    chunk = ("local id = xlsx.Open(nil, arg[1])\nfor _, ref in ipairs({'B2', 'C2'}) do\n"
             "  local _, _, _, font = xlsx.GetCellFont(id, ref)\n"
             "  local _, top = xlsx.GetCellBorder(id, ref, XLSX_SIDE_TOP)\n"
             "  print(string.format('%06X %06X %06X', font, xlsx.GetCellFill(id, ref), top))\nend\n"
             "print(string.format('%06X %06X', xlsx.GetSheetTabColor(id, 1), xlsx.GetSheetTabColor(id, 2)))\n")
    ours = korvadel("-", made, chunk=chunk).split()
    book = openpyxl.load_workbook(resave(made, "theme"))
    shown = [c.rgb[2:] for cell in (book.active["B2"], book.active["C2"])
             for c in (cell.font.color, cell.fill.fgColor, cell.border.top.color)]
    shown += [sheet.sheet_properties.tabColor.rgb[2:] for sheet in book.worksheets]
    check(ours, shown, "theme and palette colours as LibreOffice shows them")

def round_trip():
    written = looks_path("xlsxwriter.xlsx")
    def styles_of(file):
        return zipfile.ZipFile(file).read("xl/styles.xml")
    copy = looks_path("round_trip.xlsx")
    for what, change in (("a value", 'xlsx.SetCellValue(id, "C2", 99)'),
                         ("a look the file has",
                          'xlsx.SetCellFont(id, "C2", "", XLSX_KEEP, XLSX_FONT_BOLD, XLSX_KEEP)')):
        shutil.copy(written, copy)
        korvadel("-", copy, chunk=f"local id = xlsx.Open(nil, arg[1])\n{change}\nxlsx.Save(id)\nxlsx.Close(id)\n")
        check(styles_of(copy) == styles_of(written), True, f"styles part kept byte for byte after {what}")
        check(openpyxl.load_workbook(copy).active["C2"].value, 99 if what == "a value" else "plain", what)
    check(openpyxl.load_workbook(copy).active["C2"].font.b, True, "the look the file has was given")

def without_styles():
    plain, bare = looks_path("plain.xlsx"), looks_path("bare.xlsx")
    book = xlsxwriter.Workbook(plain)
    book.add_worksheet().write_string("A1", "plain")
    book.close()
    without_parts(plain, bare, "styles")
    korvadel("-", bare, chunk='local id = xlsx.Open(nil, arg[1]) xlsx.SetCellDate(id, "E5", "2026-12-07") '
             'xlsx.SetCellFont(id, "E5", "", XLSX_KEEP, XLSX_FONT_BOLD, XLSX_KEEP) xlsx.Save(id) xlsx.Close(id)')
    cell = openpyxl.load_workbook(bare).active["E5"]
    check((cell.value, cell.is_date, cell.font.b), (datetime.datetime(2026, 12, 7), True, True), "styles part added")

# ---- layout
def layout(book_path):
    """Every sheet's layout as openpyxl reads it."""
    sheets = []
    for ws in openpyxl.load_workbook(book_path).worksheets:
        tab = ws.sheet_properties.tabColor
        links = [(c.coordinate, c.hyperlink.target or "", c.hyperlink.location or "", c.hyperlink.tooltip or "")
                 for row in ws.iter_rows() for c in row if c.hyperlink]
        sheets.append((ws.title, sorted(str(r) for r in ws.merged_cells.ranges), ws.freeze_panes,
                       ws.auto_filter.ref, tab.rgb.upper()[-6:] if tab is not None and tab.type == "rgb" else None,
                       sorted(links)))
    return sheets

def layout_lines(sheets):
    """What read_layout.lua prints for the layout openpyxl read."""
    lines = []
    for number, (_, merged, frozen, filter_ref, tab, links) in enumerate(sheets, 1):
        lines += [f"{number}\tmerged\t{r}" for r in merged]
        x, y = 0, 0
        if frozen:
            col, row = re.match(r"([A-Z]+)(\d+)", frozen).groups()
            x, y = openpyxl.utils.column_index_from_string(col), int(row)
        lines += [f"{number}\tfrozen\t{x}\t{y}", f"{number}\tfilter\t{filter_ref or ''}",
                  f"{number}\ttab\t{tab or 'none'}"]
        for ref, target, location, tooltip in links:
            shown = f"{target}#{location}" if target and location else target or location
            lines.append(f"{number}\tlink\t{ref}\t{shown}\t{tooltip}")
    return lines

def layout_written():
    korvadel("../scripts/commands/layout.lua", LOOKS)
    out = looks_path("layout.xlsx")
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
    check(office_view(layout(resave(out, "layout"))), office_view(sheets), "layout LibreOffice saved")

# ---- the run
def main():
    if not (shutil.which("soffice") or shutil.which("libreoffice")):
        return fail("LibreOffice (soffice) is not installed (Debian: libreoffice-calc)")
    shutil.rmtree(SCRATCH, ignore_errors=True)
    written, inputs, peers = (os.path.join(SCRATCH, d) for d in ("written", "inputs", "peers"))
    for folder in (written, peers, CSVS):
        os.makedirs(folder)
    lock = os.path.join(NODE_DIR, "package-lock.json")
    if not (os.path.exists(lock) and filecmp.cmp(lock, os.path.join(HERE, "node", "package-lock.json"), shallow=False)):
        return fail(f"scripts/setup.sh has not installed the packages of node/package-lock.json into {NODE_DIR}")
    make_inputs(inputs)
    korvadel("write_cases.lua", written, inputs)
    with open(os.path.join(written, "expect.json"), encoding="utf-8") as f:
        books = json.load(f)
    paths = {book["file"]: os.path.join(written, book["file"]) for book in books}
    office_paths = [paths[b["file"]] for b in books if not b.get("options").get("no_office")]
    office("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1", CSVS, *office_paths)
    # openpyxl takes styles from xl/styles.xml only: the format of a workbook stored elsewhere is read in
    # LibreOffice's copy.
    office("xlsx", CSVS, os.path.join(written, "moved-bold.xlsx"))
    cell = openpyxl.load_workbook(os.path.join(CSVS, "moved-bold.xlsx"))["Added"]["B2"]
    check((cell.value, cell.font.b), ("new text", True), "moved-bold.xlsx: a format read by LibreOffice")
    shown = json.loads(run(["node", os.path.join(HERE, "node", "read.js"), os.path.join(NODE_DIR, "node_modules"),
                            *paths.values()]) or "{}")
    for book in books:
        path = paths[book["file"]]
        for step in (check_xml, check_openpyxl, check_package, check_office):
            try:
                step(path, book)
            except Exception as error:  # a reader that refuses a file
                fail(f"{path}: {step.__name__}: {type(error).__name__}: {error}")
        check_node(path, book, shown.get(path, {}))
    peer_files = make_peer_files(inputs)
    args = [p for path in peer_files for p in (path, os.path.join(peers, os.path.basename(path)))]
    check_reading(peer_files, korvadel("read_cells.lua", *args))
    for path in peer_files:
        check_kept_entries(path, os.path.join(peers, os.path.basename(path)))
    check_examples(peers, peer_files[0])
    os.makedirs(LOOKS)
    for step in (formats_written, peer_looks, theme_colours, round_trip, without_styles, layout_written):
        step()

if __name__ == "__main__":
    try:
        main()
    except Exception as error:
        fail(f"{type(error).__name__}: {error}")
    for failure in failures:
        print("FAIL:", failure)
    print(f"interop: {checks[0]} checks, {len(failures)} failures")
    sys.exit(1 if failures else 0)
