-- Writes the workbooks that every other program must read as written (run.py checks them), using every
-- command of the xlsx library, and checks what the plugin itself reads back and refuses.
--   korvadel write_cases.lua OUT_DIR IN_DIR
-- IN_DIR holds files of other writers: names.xlsx (defined names, a chart sheet), shared.xlsx (shared
-- formulas), noprops.xlsx (no document properties). OUT_DIR receives the workbooks and expect.json.
local check = require "check"
local expect = require "expect"
local out, input = arg[1], arg[2]
-- ---- cases.xlsx: values, texts, formulas, layout, sheets and properties of a new workbook
local id = xlsx.Create(nil, out .. "/cases.xlsx")
local book = expect.book("cases.xlsx")
-- Sheet names a spreadsheet application refuses are refused; names beyond ASCII are kept.
xlsx.SetSheetName(id, 1, "Values")
check.eq(xlsx.AddSheet(id, "Größe €"), 2, "a name beyond ASCII")
check.eq(xlsx.AddSheet(id, "Layout", 2), 2, "AddSheet at a position")
check.eq(xlsx.AddSheet(id, "ä"), 4, "a one-letter name")
for _, bad in ipairs({"values", "Ä", "", string.rep("x", 32), "a:b", "a[b]", "'quoted'", "tab\tname", "\27"}) do
  check.raises(check.OPERATION, xlsx.AddSheet, id, bad)
end
check.eq(xlsx.AddSheet(id, string.rep("€", 31)), 5, "31 characters")
xlsx.SetSheetName(id, 4, "VALUES")  -- refused without an error, as other refused names
check.eq(xlsx.GetSheetName(id, 4), "ä", "a rename onto another name (case ignored) is refused")
xlsx.SetSheetName(id, 4, "Ä")
check.eq(xlsx.GetSheetName(id, 4), "Ä", "a sheet may change the case of its own name")
xlsx.DeleteSheet(id, 5)
-- The active sheet moved away and back, then another made active; a selection; a very hidden sheet.
xlsx.MoveSheet(id, 1, 3)
xlsx.MoveSheet(id, 3, 1)
xlsx.SetSheetActive(id, 2)
xlsx.SetSheetSelected(id, 0, 1)
xlsx.SetSheetSelected(id, 1, 2)
book:sheets_from(id)
xlsx.SetSheetVisibility(id, XLSX_VISIBILITY_VERYHIDDEN, xlsx.GetSheetIndex(id, "Ä"))
book:sheet("Ä").state = "veryHidden"
book:set("active", "Layout")
-- Values of every kind, in the shared strings table and in the cells.
xlsx.SetDefaultSheet(id, xlsx.GetSheetIndex(id, "Values"))
local values = {{"A1", 42}, {"B1", -7}, {"C1", 9007199254740992}, {"D1", 2.5}, {"E1", 0.1}, {"F1", -1.25e-7},
  {"G1", 1e20}, {"A2", "plain"}, {"B2", " leading and trailing "}, {"C2", "Grüße, 中文, €"},
  {"D2", "<tag> & \"quotes\" 'x'"}, {"E2", "12"}, {"F2", "line\nbreak\ttab"}, {"G2", "escape \27 and \1 and \31"},
  {"H2", "carriage\rreturn\r\n"}, {"I2", "literal _x0041_ and _x005F_ and _xD83D_"}, {"J2", "plain"}}
for _, v in ipairs(values) do book:value(id, "Values", v[1], v[2]) end
for _, v in ipairs({{"A3", 1, 13}, {"B3", 0, 13}, {"C3", math.huge, 12}, {"D3", "inline", nil, true},
                   {"E3", " inline spaced ", nil, true}, {"F3", "inline \27 escape", nil, true}}) do
  xlsx.UseSharedStrings(v[4] and 0 or 1)
  book:value(id, "Values", table.unpack(v, 1, 4))
end
xlsx.UseSharedStrings(1)
for _, v in ipairs(values) do check.eq(xlsx.GetCellValue(id, v[1]), v[2], "read back " .. v[1]) end
-- Formulas, with and without a leading "=", and the values LibreOffice's CSV shows for them; control
-- characters are refused.
for _, f in ipairs({{"A4", "=A1*2", "84"}, {"B4", "SUM(A1:B1)", "35"}, {"C4", "IF(A3,\"yes\",\"no\")", "yes"},
                   {"D4", "'Größe €'!A1&\"!\"", "big!"}, {"E4", "LEN(A2)", "5"}}) do
  xlsx.SetCellFormula(id, f[1], f[2])
  book:cells("Values", {[f[1]] = {f = f[2]:gsub("^=", ""), csv = f[3]}})
end
check.raises(check.OPERATION, xlsx.SetCellFormula, id, "F4", "A1\27")
book:value(id, "Größe €", "A1", "big")
-- Layout inside the extent.
book:value(id, "Layout", "E6", 1)
for _, d in ipairs({{"SetColumnWidth", 1, 25}, {"SetColumnWidth", 3, 8.5}, {"SetRowHeight", 2, 30},
                    {"SetRowHeight", 3, 7.25}, {"HideColumn", 4}, {"HideRow", 5}}) do
  book:dimension(id, "Layout", table.unpack(d))
end
-- Properties: texts with characters XML cannot carry.
for _, p in ipairs({{XLSX_PROPERTY_TITLE, "title", "Interop \1 title"}, {XLSX_PROPERTY_SUBJECT, "subject", "Subject"},
                   {XLSX_PROPERTY_CREATOR, "creator", "Creator"}, {XLSX_PROPERTY_KEYWORDS, "keywords", "a, b"},
                   {XLSX_PROPERTY_DESCRIPTION, "description", "<&>"}, {XLSX_PROPERTY_CATEGORY, "category", "Category"},
                   {XLSX_PROPERTY_LASTPRINTED, "lastPrinted", "2024-02-29T12:30:00Z"}}) do
  book:property(id, table.unpack(p))
end
book:set("shared_counts", {plain = 1, inline = 0})  -- a text is stored once; inline texts stay out
xlsx.Save(id)
xlsx.SaveAs(id, out .. "/cases-copy.xlsx")
xlsx.Close(id)
xlsx.Open(7, out .. "/cases.xlsx")
check.eq(xlsx.GetCellValue(7, "H2", 1), "carriage\rreturn\r\n", "a carriage return survives a save")
check.eq(xlsx.GetCellValue(7, "F3", 1), "inline \27 escape", "an inline escape survives a save")
xlsx.Close(7)
-- ---- names.xlsx edited: defined names follow a rename to a reference-like name; chart sheets take no sizes
local names = expect.book("names.xlsx", {unread_by = {"exceljs"}})  -- exceljs reads no chart sheets
id = xlsx.Open(nil, input .. "/names.xlsx")
local chart = xlsx.GetSheetIndex(id, "Chart")
check.eq(xlsx.GetSheetType(id, chart), XLSX_SHEETTYPE_CHARTSHEET, "a chart sheet")
check.raises(check.COLUMN_RANGE, xlsx.SetColumnWidth, id, 1, 20, chart)
check.raises(check.ROW_RANGE, xlsx.HideRow, id, 1, 1, chart)
xlsx.SetSheetName(id, xlsx.GetSheetIndex(id, "Data"), "R1C1")
xlsx.AddSheet(id, "A1")
xlsx.MoveSheet(id, xlsx.GetSheetIndex(id, "A1"), 1)
names:sheets_from(id)
names:set("defined_names", {Total = {text = "'R1C1'!$A$1:$A$3"}, Local = {sheet = 1, text = "'R1C1'!$A$2"}})
names:cells("R1C1", {A1 = {n = 1}})
names:set("dated_by_save", true)  -- the file said 2000-01-01
xlsx.SaveAs(id, out .. "/names.xlsx")
xlsx.Close(id)
-- ---- shared.xlsx edited: the first cell of a shared formula changes, the others keep their formulas
local shared = expect.book("shared.xlsx")
id = xlsx.Open(nil, input .. "/shared.xlsx")
xlsx.SetCellFormula(id, "B1", "A1*3")
xlsx.ClearCellFormula(id, "B4")
xlsx.SetCellValue(id, "A5", 50)
shared:sheets_from(id)
for row, value in ipairs({1, 2, 3, 4, 50}) do shared:cells("Fill", {["A" .. row] = {n = value}}) end
-- B5's stored result is the one of A5 = 5.
shared:cells("Fill", {B1 = {f = "A1*3", csv = "3"}, B2 = {f = "A2*2+$A$1", csv = "5"},
                      B3 = {f = "A3*2+$A$1", csv = "7"}, B4 = {n = 9}, B5 = {f = "A5*2+$A$1"}})
xlsx.SaveAs(id, out .. "/shared.xlsx")
xlsx.Close(id)
-- ---- noprops.xlsx edited: a property of a package without property parts is kept
local noprops = expect.book("noprops.xlsx")
id = xlsx.Open(nil, input .. "/noprops.xlsx")
noprops:property(id, XLSX_PROPERTY_TITLE, "title", "Added title")
noprops:sheets_from(id)
xlsx.SaveAs(id, out .. "/noprops.xlsx")
xlsx.Close(id)
-- ---- moved.xlsx edited: a workbook stored as book/main.xml reads, and what is added goes beside it
local moved = expect.book("moved.xlsx", {unread_by = {"sheetjs", "exceljs"}})  -- neither reads the input either
id = xlsx.Open(nil, input .. "/moved.xlsx")
xlsx.AddSheet(id, "Added")
moved:value(id, "Added", "B2", "new text")
moved:value(id, "Data", "A2", "beside")
moved:cells("Data", {A1 = {n = 1.5}})
moved:sheets_from(id)
moved:set("folders", {"_rels", "book", "docProps"})
xlsx.SaveAs(id, out .. "/moved.xlsx")
xlsx.SetCellFont(id, "B2", "", XLSX_KEEP, XLSX_FONT_BOLD, XLSX_KEEP, 2)
xlsx.SaveAs(id, out .. "/moved-bold.xlsx")  -- read by run.py in LibreOffice's copy
xlsx.Close(id)
-- ---- tables: the serializer on a sparse table, in time that follows its cells, and on a small one
local far = {[1] = {"first"}, [1048576] = {[16384] = 7}}
check.write(out .. "/far.xlsx", SerializeTable(far))
local far_book = expect.book("far.xlsx", {no_office = true})
far_book.order = {"Sheet1"}
far_book:cells("Sheet1", {A1 = {s = "first"}, XFD1048576 = {n = 7}})
local back = DeserializeTable(SerializeTable(far))
check.eq(back[1][1] .. back[1048576][16384], "first7", "a sparse table comes back")
check.write(out .. "/table.xlsx", SerializeTable({{"name", 1.5}, [3] = {[2] = -4}}))
local tables = expect.book("table.xlsx")
tables.order = {"Sheet1"}
tables:cells("Sheet1", {A1 = {s = "name"}, B1 = {n = 1.5}, B3 = {n = -4}})

expect.write(out .. "/expect.json")
check.done()
