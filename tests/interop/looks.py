"""Cell formats and sheet layout between the commands and other programs (part of run.py's suite).

1. The workbooks of the command scripts formats.lua and layout.lua: openpyxl reads every format and
   layout item as set, LibreOffice's CSV shows the formatted texts, LibreOffice keeps the layout when it
   saves the file again.
2. Formats and layouts written by openpyxl, XlsxWriter and LibreOffice read through the commands as
   those programs show them (theme and palette colours as LibreOffice resolves them); after a change of
   one cell the layout is unchanged.
3. A round trip of the XlsxWriter file with one value changed, and with a cell given a look the file
   already has, keeps its styles part byte for byte; a file without a styles part gets one when a cell
   is formatted.
"""
import csv
import datetime
import os
import re
import shutil
import zipfile

import openpyxl
import xlsxwriter
from openpyxl.styles import Alignment, Border, Font, PatternFill, Side


class Looks:
    def __init__(self, folder, check, korvadel, office):
        """folder: scratch; check(actual, expected, what); korvadel(script, *args, chunk=None) -> stdout;
        office(filter, outdir, *files) converts with LibreOffice."""
        self.folder, self.check, self.korvadel, self.office = folder, check, korvadel, office
        os.makedirs(folder, exist_ok=True)

    def path(self, name):
        return os.path.join(self.folder, name)

    def resave(self, source, name):
        """LibreOffice opens source and saves it as xlsx again; the path of its file."""
        self.office("xlsx", self.path("office-" + name), source)
        return os.path.join(self.path("office-" + name), os.path.basename(source))

    def run(self):
        self.formats_written()
        self.formats_of_peers()
        self.theme_colours()
        self.round_trip()
        self.without_styles()
        self.layout_written()
        self.layout_of_peers()

    # ---- formats

    def formats_written(self):
        check = self.check
        self.korvadel("../scripts/commands/formats.lua", self.folder)
        out = self.path("formatted.xlsx")
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
        self.office("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false", self.folder, out)
        with open(self.path("formatted.csv"), encoding="utf-8", newline="") as f:
            rows = list(csv.reader(f))
        # Row 3 is left out: the office program counts days without 1900-02-29 and shows serial 60 as 02-28.
        check(rows[1], ["2026-12-07", "$1,234.50", "12.5%", "red italic", "08:15"], "office shows row 2")
        check((rows[3][0], rows[4][0]), ("2026-12-07 18:30:15", "29-Feb-24"), "office shows dates as formatted")

    # What the commands read from B2 (and A2, a date) of a peer's file, one line each.
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

    def formats_of_peers(self):
        made = self.path("openpyxl.xlsx")
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
        self.written = self.path("xlsxwriter.xlsx")
        book = xlsxwriter.Workbook(self.written)
        sheet = book.add_worksheet()
        sheet.write_datetime("A2", datetime.datetime(2026, 12, 7), book.add_format({"num_format": "yyyy-mm-dd"}))
        sheet.write_number("B2", 12.5, book.add_format({
            "font_name": "Arial", "font_size": 14, "bold": True, "italic": True, "font_color": "#FF0000",
            "pattern": 1, "bg_color": "#00FF00", "top": 5, "top_color": "#0000FF", "align": "right",
            "valign": "top", "text_wrap": True, "indent": 2, "rotation": 30, "num_format": '"$"#,##0.00'}))
        sheet.write_string("C2", "plain")
        sheet.write_string("D2", "bold", book.add_format({"bold": True}))
        book.close()
        # The office program writes the currency format in its own words.
        office_expected = self.EXPECTED[:3] + ['\\$#,##0.00|0'] + self.EXPECTED[4:]
        for name, file, expected in (("openpyxl", made, self.EXPECTED), ("XlsxWriter", self.written, self.EXPECTED),
                                     ("LibreOffice", self.resave(made, "formats"), office_expected)):
            self.check(self.korvadel("-", file, chunk=self.READ_BACK).splitlines(), expected, f"formats written by {name}")

    def theme_colours(self):
        """Colours in the forms spreadsheet applications write (theme colours with tints, the palette) read
        through the commands as LibreOffice shows them (its copy of the file has them as red-green-blue)."""
        from openpyxl.styles.colors import Color
        made = self.path("theme.xlsx")
        wb = openpyxl.Workbook()
        ws = wb.active
        for ref, font, fill, top in (("B2", Color(theme=4, tint=0.3999755851924192), Color(theme=0, tint=-0.15),
                                      Color(indexed=10)),
                                     ("C2", Color(theme=1), Color(theme=9, tint=-0.499984740745262), Color(indexed=18))):
            ws[ref] = ref
            ws[ref].font, ws[ref].fill = Font(color=font), PatternFill("solid", fgColor=fill)
            ws[ref].border = Border(top=Side(style="thin", color=top))
        wb.save(made)
        chunk = ("local id = xlsx.Open(nil, arg[1])\nfor _, ref in ipairs({'B2', 'C2'}) do\n"
                 "  local _, _, _, font = xlsx.GetCellFont(id, ref)\n  local _, top = xlsx.GetCellBorder(id, ref, XLSX_SIDE_TOP)\n"
                 "  print(string.format('%06X %06X %06X', font, xlsx.GetCellFill(id, ref), top))\nend\n")
        ours = self.korvadel("-", made, chunk=chunk).split()
        office = openpyxl.load_workbook(self.resave(made, "theme")).active
        shown = [c.rgb[2:] for ref in ("B2", "C2")
                 for c in (office[ref].font.color, office[ref].fill.fgColor, office[ref].border.top.color)]
        self.check(ours, shown, "theme and palette colours as LibreOffice shows them")

    def round_trip(self):
        def styles_of(file):
            with zipfile.ZipFile(file) as z:
                return z.read("xl/styles.xml")
        copy = self.path("round_trip.xlsx")
        for what, change in (("a value", 'xlsx.SetCellValue(id, "C2", 99)'),
                             ("a look the file has", 'xlsx.SetCellFont(id, "C2", "", XLSX_KEEP, XLSX_FONT_BOLD, XLSX_KEEP)')):
            shutil.copy(self.written, copy)
            self.korvadel("-", copy, chunk=f"local id = xlsx.Open(nil, arg[1])\n{change}\nxlsx.Save(id)\nxlsx.Close(id)\n")
            self.check(styles_of(copy) == styles_of(self.written), True, f"styles part kept byte for byte after {what}")
            self.check(openpyxl.load_workbook(copy).active["C2"].value, 99 if what == "a value" else "plain", what)
        self.check(openpyxl.load_workbook(copy).active["C2"].font.b, True, "the look the file has was given")

    def without_styles(self):
        plain, bare = self.path("plain.xlsx"), self.path("bare.xlsx")
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
        self.korvadel("-", bare, chunk='local id = xlsx.Open(nil, arg[1])\nxlsx.SetCellDate(id, "E5", "2026-12-07")\n'
                                       'xlsx.SetCellFont(id, "E5", "", XLSX_KEEP, XLSX_FONT_BOLD, XLSX_KEEP)\n'
                                       'xlsx.Save(id)\nxlsx.Close(id)\n')
        cell = openpyxl.load_workbook(bare).active["E5"]
        self.check((cell.value, cell.is_date, cell.font.b), (datetime.datetime(2026, 12, 7), True, True),
                   "styles part added")

    # ---- layout

    @staticmethod
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

    @staticmethod
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

    def layout_written(self):
        check = self.check
        self.korvadel("../scripts/commands/layout.lua", self.folder)
        out = self.path("layout.xlsx")
        sheets = self.layout(out)
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
        check(office_view(self.layout(self.resave(out, "layout"))), office_view(sheets), "layout LibreOffice saved")

    def layout_of_peers(self):
        made = self.path("by-openpyxl.xlsx")
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
        wb.create_sheet("Other")["D4"].hyperlink = openpyxl.worksheet.hyperlink.Hyperlink(ref="D4", location="Sheet!A1")
        wb.save(made)
        written = self.path("by-xlsxwriter.xlsx")
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
        for source in (made, written, self.resave(made, "peer-layout")):
            before, name = self.layout(source), os.path.basename(source)
            out = source.replace(".xlsx", "-changed.xlsx")
            self.check(self.korvadel("read_layout.lua", source, out).splitlines(), self.layout_lines(before), f"{name} read")
            self.check(self.layout(out), before, f"{name}: layout after a change of one cell")
            self.check(openpyxl.load_workbook(out).worksheets[0]["A1"].value, "changed", f"{name}: the change")
