#!/usr/bin/env python3
"""Interoperability of the package layer with real third-party writers and readers.

usage: interop_test.py XLSX_EDIT WORK_DIR

Workbooks are written by openpyxl and XlsxWriter (shared strings, inline strings, rich text, several
sheets, formulas, an image, a chart, a workbook without shared strings). Each is opened by our library
(through the xlsx_edit tool) and saved unchanged and changed (a property set, a shared string appended).
openpyxl then reads every result: every sheet and value and every property must be as expected, and every
entry we did not touch must be byte-identical in the ZIP (its raw compressed record).
Fails when openpyxl or XlsxWriter is missing (scripts/setup.sh installs them).
"""
import os
import struct
import subprocess
import sys
import zipfile
import zlib

try:
    import openpyxl
    import xlsxwriter
except ImportError as missing:
    print(f"FAIL: {missing.name} is not installed (Debian: python3-openpyxl, python3-xlsxwriter)")
    sys.exit(1)

FAILURES = []


def check(condition, message):
    if not condition:
        FAILURES.append(message)
        print("FAIL:", message)


def tiny_png():
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", 4, 4, 8, 2, 0, 0, 0)
    rows = b"".join(b"\x00" + bytes([200, 30, 30]) * 4 for _ in range(4))
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")


def write_openpyxl(path):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Data"
    ws.append(["name", "count", "price", "ok"])
    for i in range(1, 51):
        ws.append([f"item-{i % 7}", i, i * 1.25, i % 2 == 0])
    ws["F1"] = "=SUM(B2:B51)"
    second = wb.create_sheet("Second sheet")
    second["A1"] = "  leading and trailing  "
    second["B2"] = 42
    wb.create_sheet("Empty")
    wb.properties.title = "Original title"
    wb.properties.creator = "interop"
    wb.properties.keywords = "alpha beta"
    wb.save(path)


def write_xlsxwriter(path, constant_memory=False):
    wb = xlsxwriter.Workbook(path, {"constant_memory": constant_memory})
    wb.set_properties({"title": "Writer title", "author": "interop", "company": "Example"})
    bold = wb.add_format({"bold": True})
    ws = wb.add_worksheet("Numbers")
    for r in range(30):
        ws.write_number(r, 0, r)
        ws.write_string(r, 1, f"text {r % 5}")
        ws.write_formula(r, 2, f"=A{r + 1}*2", None, r * 2)
    ws.write_rich_string(31, 0, "plain ", bold, "bold", " end")
    ws.write_boolean(32, 0, True)
    images = wb.add_worksheet("Pictures")
    png = os.path.join(os.path.dirname(path), "dot.png")
    with open(png, "wb") as f:
        f.write(tiny_png())
    images.insert_image("B2", png)
    chart = wb.add_chart({"type": "column"})
    chart.add_series({"values": "=Numbers!$A$1:$A$10"})
    images.insert_chart("D2", chart)
    wb.define_name("Doubled", "=Numbers!$C$1:$C$30")
    wb.close()


def write_xlsxwriter_numbers_only(path):
    wb = xlsxwriter.Workbook(path)
    ws = wb.add_worksheet()
    for r in range(10):
        ws.write_number(r, 0, r * 3.5)
    wb.close()


def sheet_values(path):
    wb = openpyxl.load_workbook(path)
    out = {ws.title: [[c.value for c in row] for row in ws.iter_rows()] for ws in wb.worksheets}
    props = wb.properties
    return out, {"title": props.title, "creator": props.creator, "keywords": props.keywords}


def raw_records(path):
    """name -> (compress_type, CRC, raw compressed bytes) for every entry, and the entry order."""
    records = {}
    with open(path, "rb") as f:
        data = f.read()
    with zipfile.ZipFile(path) as z:
        order = [i.filename for i in z.infolist()]
        for info in z.infolist():
            offset = info.header_offset
            name_len, extra_len = struct.unpack("<HH", data[offset + 26:offset + 30])
            start = offset + 30 + name_len + extra_len
            records[info.filename] = (info.compress_type, info.CRC, data[start:start + info.compress_size])
    return records, order


def shared_strings(path):
    with zipfile.ZipFile(path) as z:
        if "xl/sharedStrings.xml" not in z.namelist():
            return None
        return z.read("xl/sharedStrings.xml").decode("utf-8")


def run(tool, *args):
    result = subprocess.run([tool, *args], capture_output=True, text=True)
    check(result.returncode == 0, f"xlsx_edit {' '.join(args)} failed: {result.stderr.strip()}")
    return result


def check_unchanged(tool, source, work, had_shared_strings):
    """Saved unchanged: every entry keeps its raw record. A workbook without shared strings gets the
    default part at open (its override and relationship too), written as the last entry."""
    target = os.path.join(work, os.path.basename(source).replace(".xlsx", "-same.xlsx"))
    run(tool, "edit", source, target)
    before, order_before = raw_records(source)
    after, order_after = raw_records(target)
    expected_order = order_before + ([] if had_shared_strings else ["xl/sharedStrings.xml"])
    check(order_after == expected_order, f"{target}: entry order {order_after} != {expected_order}")
    touched = set() if had_shared_strings else {"[Content_Types].xml", "xl/_rels/workbook.xml.rels"}
    for name, record in before.items():
        if name not in touched:
            check(after.get(name) == record, f"{target}: entry {name} was not copied byte for byte")
    check(sheet_values(target) == sheet_values(source), f"{target}: sheets or properties differ")
    again = os.path.join(work, os.path.basename(source).replace(".xlsx", "-same-again.xlsx"))
    run(tool, "edit", target, again)
    check(raw_records(again)[0] == after, f"{again}: a second unchanged save changed records")


def check_changed(tool, source, work, had_shared_strings):
    target = os.path.join(work, os.path.basename(source).replace(".xlsx", "-changed.xlsx"))
    run(tool, "edit", source, target, "--property", "0", "Changed by interop", "--string", "appended text")
    sheets_before, props_before = sheet_values(source)
    sheets_after, props_after = sheet_values(target)
    check(sheets_after == sheets_before, f"{target}: sheet values differ")
    check(props_after["title"] == "Changed by interop", f"{target}: title is {props_after['title']!r}")
    check(props_after["creator"] == props_before["creator"], f"{target}: creator changed")
    check(props_after["keywords"] == props_before["keywords"], f"{target}: keywords changed")
    touched = {"docProps/core.xml", "xl/sharedStrings.xml"}
    if not had_shared_strings:  # the library adds the part with its override and relationship
        touched |= {"[Content_Types].xml", "xl/_rels/workbook.xml.rels"}
    before, _ = raw_records(source)
    after, _ = raw_records(target)
    for name, record in before.items():
        if name not in touched:
            check(after.get(name) == record, f"{target}: untouched entry {name} differs")
    sst = shared_strings(target)
    check(sst is not None and "<t>appended text</t></si></sst>" in sst, f"{target}: appended string missing")
    shown = run(tool, "show", target).stdout
    check("string" in shown and "=appended text" in shown, f"{target}: our reader does not find the string")


def check_template(tool, work):
    created = os.path.join(work, "template.xlsx")
    run(tool, "create", created)
    saved = os.path.join(work, "template-changed.xlsx")
    run(tool, "edit", created, saved, "--property", "0", "From the template", "--string", "x")
    for path in (created, saved):
        wb = openpyxl.load_workbook(path)
        check(wb.sheetnames == ["Sheet1"], f"{path}: sheets {wb.sheetnames}")
        check(wb["Sheet1"]["A1"].value is None, f"{path}: A1 not empty")
    check(openpyxl.load_workbook(saved).properties.title == "From the template", "template title not saved")
    with zipfile.ZipFile(saved) as z:
        check(z.testzip() is None, "template-changed.xlsx has a bad CRC")
        check(len(z.namelist()) == 10, f"template-changed.xlsx has {len(z.namelist())} entries")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    tool, work = sys.argv[1], sys.argv[2]
    os.makedirs(work, exist_ok=True)
    books = [
        (os.path.join(work, "openpyxl.xlsx"), write_openpyxl),  # inline strings
        (os.path.join(work, "xlsxwriter.xlsx"), write_xlsxwriter),  # shared strings, rich text
        (os.path.join(work, "xlsxwriter-inline.xlsx"), lambda p: write_xlsxwriter(p, constant_memory=True)),
        (os.path.join(work, "numbers-only.xlsx"), write_xlsxwriter_numbers_only),
    ]
    sst_seen = False
    for path, writer in books:
        writer(path)
        has_sst = shared_strings(path) is not None
        sst_seen = sst_seen or has_sst
        print(f"{os.path.basename(path)}: shared strings part {'present' if has_sst else 'absent'}")
        check_unchanged(tool, path, work, has_sst)
        check_changed(tool, path, work, has_sst)
    check(sst_seen, "no writer produced a shared strings part")
    shown = run(tool, "show", os.path.join(work, "xlsxwriter.xlsx")).stdout.splitlines()
    for text in ("text 0", "text 4", "plain bold end"):  # plain items and a rich-text item as one text
        check(any(line.endswith("=" + text) and line.startswith("string ") for line in shown),
              f"our shared strings lack {text!r}")
    check_template(tool, work)
    if FAILURES:
        print(f"interop: {len(FAILURES)} failed checks")
        sys.exit(1)
    print("interop: all checks passed")


if __name__ == "__main__":
    main()
