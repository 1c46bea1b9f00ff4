#!/usr/bin/env python3
"""End-to-end interoperability of the plugin, through korvadel.

usage: run.py KORVADEL PLUGIN SCRATCH NODE_DIR

Writing: write_cases.lua uses every command of the xlsx library and writes workbooks (some of them
edits of files other programs wrote); expect.json records what it wrote. Every workbook must be
well-formed XML 1.0 in every part and read as written by openpyxl, by LibreOffice (every sheet converted
to CSV in one headless call) and by SheetJS and exceljs (npm, installed into NODE_DIR by `npm ci`).
Cell formats and sheet layout both ways: looks.py.
Reading: workbooks written by openpyxl, XlsxWriter, exceljs (shared formulas) and LibreOffice read cell
by cell as openpyxl reads them; saved unchanged they keep every entry byte for byte, saved with one cell
changed they keep every entry the change does not concern.
"""
import csv
import datetime
import json
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import zipfile
from xml.dom import minidom

import openpyxl
import xlsxwriter
from openpyxl.chart import BarChart, Reference
from openpyxl.workbook.defined_name import DefinedName

from looks import Looks

HERE = os.path.dirname(os.path.abspath(__file__))
KORVADEL, PLUGIN, SCRATCH, NODE_DIR = (os.path.abspath(p) for p in sys.argv[1:5])
failures = []
checks = [0]


def fail(message):
    failures.append(message)


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
    out, i = [], 0
    while i < len(text):
        c = text[i]
        literal = c == "_" and len(text) > i + 6 and text[i + 1] == "x" and text[i + 6] == "_" and \
            all(h in "0123456789abcdefABCDEF" for h in text[i + 2:i + 6])
        if (ord(c) < 32 and c not in "\t\n") or c in "\ufffe\uffff" or literal:
            out.append(f"_x{ord(c):04X}_")
        else:
            out.append(c)
        i += 1
    return "".join(out)


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

def make_inputs(folder):
    os.makedirs(folder, exist_ok=True)
    wb = openpyxl.Workbook()
    data = wb.active
    data.title = "Data"
    for row in range(1, 4):
        data.cell(row=row, column=1, value=row)
    wb.defined_names.append(DefinedName("Total", attr_text="Data!$A$1:$A$3"))
    wb.defined_names.append(DefinedName("Local", localSheetId=0, attr_text="Data!$A$2"))
    wb.properties.modified = datetime.datetime(2000, 1, 1)
    chart = BarChart()
    chart.add_data(Reference(data, min_col=1, min_row=1, max_row=3))
    wb.create_chartsheet("Chart").add_chart(chart)
    wb.save(os.path.join(folder, "names.xlsx"))
    run(["node", os.path.join(HERE, "node", "write.js"), os.path.join(NODE_DIR, "node_modules"),
         os.path.join(folder, "shared.xlsx")])
    # A package without document properties: their parts, overrides and relationships taken out.
    wb = openpyxl.Workbook()
    wb.active["A1"] = "no properties"
    source = os.path.join(folder, "props-source.xlsx")
    wb.save(source)
    with zipfile.ZipFile(source) as z, zipfile.ZipFile(os.path.join(folder, "noprops.xlsx"), "w",
                                                       zipfile.ZIP_DEFLATED) as out:
        for name in z.namelist():
            data = z.read(name)
            if name.startswith("docProps/"):
                continue
            if name in ("[Content_Types].xml", "_rels/.rels"):
                dom = minidom.parseString(data)
                for node in list(dom.documentElement.childNodes):
                    if "docProps" in (node.getAttribute("PartName") + node.getAttribute("Target")):
                        dom.documentElement.removeChild(node)
                data = dom.toxml(encoding="UTF-8")
            out.writestr(name, data)
    # A package whose workbook is book/main.xml with relative targets from there, without shared strings or
    # styles (the plugin adds them beside it).
    wb = openpyxl.Workbook()
    wb.active.title = "Data"
    wb.active.append([1.5, 2])
    wb.save(source)
    def moved(text):
        text = re.sub(r"<[^<>]*(sharedStrings|styles)[^<>]*/>", "", text)
        return text.replace("_rels/workbook.xml", "_rels/main.xml").replace("xl/workbook.xml", "book/main.xml") \
            .replace("xl/", "book/")
    with zipfile.ZipFile(source) as z, zipfile.ZipFile(os.path.join(folder, "moved.xlsx"), "w") as out:
        for name in (n for n in z.namelist() if not re.match("xl/(sharedStrings|styles)", n)):
            out.writestr(moved(name), moved(z.read(name).decode()))


def make_peer_files(folder, has_office):
    """Workbooks of other writers for the reading checks; returns their paths."""
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Data"
    ws.append([1, -2, 3.5, "text", True, False])
    ws.append(["Grüße", " spaced ", 1e-9, 123456789012345, None, "=A1+B1"])
    ws["A4"] = "after a gap"
    ws["B4"] = "#N/A"
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
    paths.append(os.path.join(folder, "shared.xlsx"))
    if has_office:
        source = os.path.join(folder, "office-source.xlsx")
        shutil.copy(paths[1], source)
        office("xlsx", os.path.join(folder, "office"), source)
        paths.append(os.path.join(folder, "office", "office-source.xlsx"))
    return paths


# ---- checks of a written workbook

def check_xml(path):
    with zipfile.ZipFile(path) as z:
        for name in z.namelist():
            if name.endswith((".xml", ".rels")):
                try:
                    minidom.parseString(z.read(name))
                except Exception as error:  # expat names the line and column
                    fail(f"{path}: {name} is not well-formed XML 1.0: {error}")


def as_dict(value):
    return value if isinstance(value, dict) else {}


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
    if book.get("active"):
        check(wb.active.title, book["active"], f"{path}: active sheet")
    for sheet in book["sheets"]:
        ws = wb[sheet["name"]]
        check(ws.sheet_state, sheet["state"], f"{path}: state of {sheet['name']}")
        for ref, cell in as_dict(sheet["cells"]).items():
            check_cell(ws[ref].value, cell, "openpyxl", f"{path}: {sheet['name']}!{ref} in openpyxl")
        for letters, width in as_dict(sheet["widths"]).items():
            check(ws.column_dimensions[letters].width, width, f"{path}: width of {letters}")
        for row, height in as_dict(sheet["heights"]).items():
            check(ws.row_dimensions[int(row)].height, height, f"{path}: height of row {row}")
        for letters in sheet["hidden_columns"]:
            check(ws.column_dimensions[letters].hidden, True, f"{path}: column {letters} hidden")
        for row in sheet["hidden_rows"]:
            check(ws.row_dimensions[row].hidden, True, f"{path}: row {row} hidden")
    if book.get("dated_by_save"):
        age = datetime.datetime.utcnow() - wb.properties.modified
        check(abs(age.total_seconds()) < 3600, True, f"{path}: modification date {wb.properties.modified} is the save's")
    for name, value in as_dict(book.get("props")).items():
        got = getattr(wb.properties, name)
        if name == "lastPrinted":
            got = got.strftime("%Y-%m-%dT%H:%M:%SZ")
        check(got, escaped(value), f"{path}: property {name}")
    names = {d.name: [d.localSheetId, d.attr_text] for d in wb.defined_names.definedName}
    for ws in wb.worksheets:  # openpyxl keeps sheet-local names with their sheets
        names.update({n: [wb.sheetnames.index(ws.title), d.attr_text] for n, d in getattr(ws, "defined_names", {}).items()})
    for name, scoped in as_dict(book.get("defined_names")).items():
        check(names.get(name), [scoped.get("sheet"), scoped["text"]], f"{path}: defined name {name} (sheet, text)")


def check_package(path, book):
    """What openpyxl does not show: the sheet titles of the extended properties, the recalculation
    request, and the dates and application of a workbook we created."""
    with zipfile.ZipFile(path) as z:
        names = z.namelist()
        workbook = z.read("xl/workbook.xml").decode() if "xl/workbook.xml" in names else ""
        app = z.read("docProps/app.xml").decode() if "docProps/app.xml" in names else ""
        strings = z.read("xl/sharedStrings.xml") if "xl/sharedStrings.xml" in names else b"<sst/>"
    if book.get("folders"):
        check(sorted({n.split("/")[0] for n in names if "/" in n}), book["folders"], f"{path}: folders of the parts")
    if book.get("recalc"):
        check('fullCalcOnLoad="1"' in workbook, True, f"{path}: recalculation asked for")
    if book.get("shared_counts"):
        items = minidom.parseString(strings).getElementsByTagName("si")
        texts = ["".join(t.firstChild.data for t in si.getElementsByTagName("t") if t.firstChild) for si in items]
        for text, count in book["shared_counts"].items():
            check(texts.count(text), count, f"{path}: shared strings holding {text!r}")
    if book.get("titles") and "TitlesOfParts" in app:
        dom = minidom.parseString(app)
        titles = [t.firstChild.data for t in dom.getElementsByTagName("TitlesOfParts")[0]
                  .getElementsByTagName("vt:lpstr")]
        check(titles, book["titles"], f"{path}: sheet titles of the extended properties")
        pairs = [p.firstChild.data for p in dom.getElementsByTagName("HeadingPairs")[0].getElementsByTagName("vt:lpstr")]
        counts = [int(c.firstChild.data) for c in dom.getElementsByTagName("HeadingPairs")[0]
                  .getElementsByTagName("vt:i4")]
        check(sum(counts), len(titles), f"{path}: heading counts {dict(zip(pairs, counts))}")


def check_office(path, book, folder):
    stem = os.path.splitext(os.path.basename(path))[0]
    for sheet in book["sheets"]:
        csv_path = os.path.join(folder, f"{stem}-{sheet['name']}.csv")
        if not os.path.exists(csv_path):
            if as_dict(sheet["cells"]):
                fail(f"{path}: LibreOffice wrote no CSV for sheet {sheet['name']}")
            continue
        with open(csv_path, newline="", encoding="utf-8") as f:
            rows = list(csv.reader(f))
        for ref, cell in as_dict(sheet["cells"]).items():
            column, row = openpyxl.utils.cell.coordinate_from_string(ref)
            r, c = row - 1, openpyxl.utils.cell.column_index_from_string(column) - 1
            got = rows[r][c] if r < len(rows) and c < len(rows[r]) else ""
            check_cell(got, cell, "office", f"{path}: {sheet['name']}!{ref} in LibreOffice")


def check_node(path, book, shown):
    for reader in ("sheetjs", "exceljs"):
        if reader in as_dict(book.get("options")).get("unread_by", []):
            continue
        sheets = shown.get(reader, {})
        if "error" in sheets:
            fail(f"{path}: {reader} refuses the file: {sheets['error']}")
            continue
        check(list(sheets), [s["name"] for s in book["sheets"]], f"{path}: sheets in {reader}")
        for sheet in book["sheets"]:
            cells = sheets.get(sheet["name"], {})
            for ref, cell in as_dict(sheet["cells"]).items():
                got = cells.get(ref, {"v": None, "f": None})["f" if "f" in cell else "v"]
                check_cell(got, cell, reader, f"{path}: {sheet['name']}!{ref} in {reader}")


# ---- reading files other programs wrote

def unescape(text):
    return text.replace("\\\\", "\0").replace("\\t", "\t").replace("\\n", "\n").replace("\\r", "\r").replace("\0", "\\")


def openpyxl_view(value):
    """An openpyxl value as the plugin's (type code, text): 1 integer, 3 text, 12 float, 13 boolean,
    14 error."""
    if value is None:
        return None
    if isinstance(value, bool):
        return (13, "1" if value else "0")
    if isinstance(value, int):
        return (1, str(value))
    if isinstance(value, float):
        return (12, repr(value))
    if isinstance(value, str) and value in ("#N/A", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#NULL!"):
        return (14, value)
    return (3, str(value))


def check_reading(paths, dump):
    ours = {}
    for line in dump.splitlines():
        path, sheet, ref, code, value, formula = line.split("\t")
        ours[(path, unescape(sheet), ref)] = (int(code), unescape(value), unescape(formula))
    for path in paths:
        values = openpyxl.load_workbook(path, data_only=True)
        formulas = openpyxl.load_workbook(path)
        for ws in values.worksheets:
            for row in ws.iter_rows():
                for cell in row:
                    where = f"{os.path.basename(path)}: {ws.title}!{cell.coordinate}"
                    code, value, formula = ours.get((path, ws.title, cell.coordinate), (0, "", ""))
                    expected = openpyxl_view(cell.value)
                    got = (code, value) if code != 0 else None
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
    kept = raw_records(out + ".keep.xlsx")
    # A file without shared strings gets the default part, with its override and relationship.
    added = set() if "xl/sharedStrings.xml" in before else {"[Content_Types].xml", "xl/_rels/workbook.xml.rels"}
    for name, record in before.items():
        if name not in added and not name.endswith("/"):  # directory records hold nothing and are not kept
            check(kept.get(name) == record, True, f"{os.path.basename(path)} saved unchanged: entry {name} kept")
    changed = raw_records(out + ".changed.xlsx")
    concerned = {"docProps/core.xml", "xl/sharedStrings.xml", "xl/workbook.xml", "[Content_Types].xml",
                 "xl/_rels/workbook.xml.rels", "xl/calcChain.xml"}
    with zipfile.ZipFile(path) as z:
        first_sheet = sorted(n for n in z.namelist() if n.startswith("xl/worksheets/sheet"))[0]
    for name, record in before.items():
        if name not in concerned and name != first_sheet and not name.endswith("/"):
            check(changed.get(name) == record, True, f"{os.path.basename(path)} changed: entry {name} kept")


def check_examples(folder, peer):
    """The example scripts of examples/ do what they say."""
    examples = os.path.join(HERE, "..", "..", "examples")
    report = os.path.join(folder, "report.xlsx")
    run([KORVADEL, "--plugin", PLUGIN, "--check-leaks", os.path.join(examples, "report.lua"), report])
    wb = openpyxl.load_workbook(report)
    check(wb.sheetnames, ["Summary", "North", "South", "West"], "report.lua: sheets")
    check((wb["North"]["B3"].value, wb["North"]["B6"].value), (1350.5, "=SUM(B2:B5)"), "report.lua: cells")
    check(wb.properties.title, "Sales report", "report.lua: title")
    summary, north = wb["Summary"], wb["North"]
    check((str(summary.merged_cells), summary.freeze_panes, summary.auto_filter.ref,
           summary.sheet_properties.tabColor.rgb.upper(), summary["A3"].hyperlink.location),
          ("A1:C1", "A3", "A2:C5", "FF1F6FB2", "North!A1"), "report.lua: title, panes, filter, tab, link")
    check((north["A1"].font.b, north["A1"].border.bottom.style, north["A3"].fill.fgColor.rgb.upper(),
           north["D2"].is_date, north["B2"].number_format), (True, "medium", "FFF2F2F2", True, '"$"#,##0.00'),
          "report.lua: header, banded row, date and currency formats")
    shown = json.loads(run(["node", os.path.join(HERE, "node", "read.js"), os.path.join(NODE_DIR, "node_modules"),
                            report]) or "{}").get(report, {})
    check({reader: "error" in sheets for reader, sheets in shown.items()}, {"sheetjs": False, "exceljs": False},
          "report.lua: SheetJS and exceljs open it")
    modified = os.path.join(folder, "modified.xlsx")
    run([KORVADEL, "--plugin", PLUGIN, "--check-leaks", os.path.join(examples, "modify.lua"), peer, modified,
         "C1", "99.5", "Data"])
    wb = openpyxl.load_workbook(modified)
    check((wb["Data"]["C1"].value, wb["Data"]["D1"].value), (99.5, "text"), "modify.lua: changed and kept cells")
    dump = run([KORVADEL, "--plugin", PLUGIN, "--check-leaks", os.path.join(examples, "dump.lua"), peer, "--types"])
    check(dump.splitlines()[:2], ["# Data", "1:1\t-2:1\t3.5:12\ttext:3\t1:13\t0:13"], "dump.lua: first row")


# ---- the run

def ensure_node_modules():
    lock = os.path.join(HERE, "node", "package-lock.json")
    installed = os.path.join(NODE_DIR, "package-lock.json")
    if os.path.isdir(os.path.join(NODE_DIR, "node_modules")) and os.path.exists(installed) and \
            open(installed, "rb").read() == open(lock, "rb").read():
        return
    os.makedirs(NODE_DIR, exist_ok=True)
    for name in ("package.json", "package-lock.json", ".npmrc"):
        shutil.copy(os.path.join(HERE, "node", name), NODE_DIR)
    run(["npm", "ci", "--no-audit", "--no-fund"], cwd=NODE_DIR, timeout=600)


def main():
    has_office = shutil.which("soffice") or shutil.which("libreoffice")
    shutil.rmtree(SCRATCH, ignore_errors=True)
    written, inputs, peers, csvs = (os.path.join(SCRATCH, d) for d in ("written", "inputs", "peers", "csv"))
    for folder in (written, peers, csvs):
        os.makedirs(folder)
    ensure_node_modules()
    if failures:
        return
    make_inputs(inputs)
    korvadel("write_cases.lua", written, inputs)
    with open(os.path.join(written, "expect.json"), encoding="utf-8") as f:
        books = json.load(f)
    paths = {book["file"]: os.path.join(written, book["file"]) for book in books}
    office_paths = [paths[b["file"]] for b in books if not as_dict(b.get("options")).get("no_office")]
    if has_office:
        office("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1", csvs, *office_paths)
        # openpyxl takes styles from xl/styles.xml only: the format of a workbook stored elsewhere is read
        # in LibreOffice's copy.
        office("xlsx", csvs, os.path.join(written, "moved-bold.xlsx"))
        cell = openpyxl.load_workbook(os.path.join(csvs, "moved-bold.xlsx"))["Added"]["B2"]
        check((cell.value, cell.font.b), ("new text", True), "moved-bold.xlsx: a format read by LibreOffice")
    else:
        fail("LibreOffice (soffice) is not installed (Debian: libreoffice-calc)")
    shown = json.loads(run(["node", os.path.join(HERE, "node", "read.js"), os.path.join(NODE_DIR, "node_modules"),
                            *paths.values()]) or "{}")
    for book in books:
        path = paths[book["file"]]
        for step in (check_xml, check_openpyxl, check_package):
            try:
                step(path, book) if step is not check_xml else step(path)
            except Exception as error:  # a reader that refuses a file
                fail(f"{path}: {step.__name__}: {type(error).__name__}: {error}")
        if has_office and path in office_paths:
            check_office(path, book, csvs)
        check_node(path, book, shown.get(path, {}))
    peer_files = make_peer_files(inputs, has_office)
    args = []
    for path in peer_files:
        args += [path, "--keep", os.path.join(peers, os.path.basename(path))]
    check_reading(peer_files, korvadel("read_cells.lua", *args))
    for path in peer_files:
        check_kept_entries(path, os.path.join(peers, os.path.basename(path)))
    check_examples(peers, peer_files[0])
    if has_office:
        Looks(os.path.join(SCRATCH, "looks"), check, korvadel, office).run()


if __name__ == "__main__":
    try:
        main()
    except Exception as error:
        fail(f"{type(error).__name__}: {error}")
    for failure in failures:
        print("FAIL:", failure)
    print(f"interop: {checks[0]} checks, {len(failures)} failures")
    sys.exit(1 if failures else 0)
