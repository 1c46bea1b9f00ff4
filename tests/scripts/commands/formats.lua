-- The formatting commands through the host: each command once, what the keep and none values and a
-- position handle do, the order of checks and the refusals. Writes formatted.xlsx into the scratch folder
-- (arg[1]), whose formats the interoperability suite checks with other programs.
local check = require "check"
local id = check.new_document("formatted.xlsx")
local same = check.same
-- Row 1: a bold, centred, wrapped header with a fill and a rule below, set through range texts.
for x, text in ipairs({ "Date", "Amount", "Share", "Note", "Time" }) do xlsx.SetCellValue(id, x, 1, text) end
xlsx.SetCellFont(id, "A1:E1", "", XLSX_KEEP, XLSX_FONT_BOLD, XLSX_KEEP)
xlsx.SetCellFill(id, "A1:E1", 0xDDEBF7)
xlsx.SetCellBorder(id, "A1:E1", XLSX_SIDE_BOTTOM, XLSX_BORDER_MEDIUM, 0x1F4E78)
xlsx.SetCellAlignment(id, "A1:E1", XLSX_ALIGN_CENTER, XLSX_VALIGN_CENTER, 1, XLSX_KEEP, XLSX_KEEP)
same("header border", { XLSX_BORDER_MEDIUM, 0x1F4E78 }, xlsx.GetCellBorder(id, 2, 1, XLSX_SIDE_BOTTOM))
same("no top border", { XLSX_BORDER_NONE, XLSX_COLOR_NONE }, xlsx.GetCellBorder(id, 2, 1, XLSX_SIDE_TOP))
-- Dates: the 1900 system with its day 60; a cell's own date format stays.
for _, d in ipairs({{"A2", "2026-12-07"}, {"A3", "1900-02-29"}, {"A4", "2026-12-07 18:30:15"}, {"E2", "08:15"}}) do
  xlsx.SetCellDate(id, d[1], d[2])
end
same("date", { 46363, 1 }, xlsx.GetCellValue(id, "A2"))
same("day 60", { "1900-02-29" }, xlsx.GetCellDate(id, "A3"))
same("date and time", { "2026-12-07 18:30:15" }, xlsx.GetCellDate(id, "A4"))
xlsx.SetCellNumberFormat(id, "A5", "d-mmm-yy")
xlsx.SetCellDate(id, "A5", "2024-02-29")
same("is date", { 1, 0 }, xlsx.IsCellDate(id, "A5"), xlsx.IsCellDate(id, "B1"))
same("a text is no date", { nil, n = 1 }, xlsx.GetCellDate(id, "B1"))
-- Numbers: currency, a percentage, a built-in format by its number's text.
for _, v in ipairs({{"B2", 1234.5}, {"B3", -42}, {"C2", 0.125}}) do xlsx.SetCellValue(id, v[1], v[2]) end
xlsx.SetCellNumberFormat(id, "B2:B3", '"$"#,##0.00')
xlsx.SetCellNumberFormat(id, "C2", "0.0%")
xlsx.SetCellNumberFormat(id, "C3", "#,##0.00")
same("built-in", { "#,##0.00", "General" }, xlsx.GetCellNumberFormat(id, "C3"), xlsx.GetCellNumberFormat(id, "C9"))
-- Fonts and what a setter keeps; a banded row; a copied format; a position handle.
xlsx.SetCellValue(id, "D2", "red italic")
xlsx.SetCellFont(id, "D2", "Arial", 14, XLSX_FONT_ITALIC + XLSX_FONT_UNDERLINE, 0xC00000)
xlsx.SetCellFont(id, "D2", "", XLSX_KEEP, XLSX_FONT_ITALIC + XLSX_FONT_STRIKE, XLSX_KEEP)
same("font kept", { "Arial", 14, XLSX_FONT_ITALIC + XLSX_FONT_STRIKE, 0xC00000 }, xlsx.GetCellFont(id, "D2"))
xlsx.SetCellFill(id, "A3:E3", 0xF2F2F2)
same("fill keeps the format", { 0xF2F2F2, '"$"#,##0.00' }, xlsx.GetCellFill(id, "B3"),
     xlsx.GetCellNumberFormat(id, "B3"))
xlsx.SetCellBorder(id, "D4", XLSX_SIDE_ALL, XLSX_BORDER_THIN, XLSX_COLOR_NONE)
xlsx.SetCellBorder(id, "D4", XLSX_SIDE_LEFT, XLSX_BORDER_NONE, XLSX_KEEP)
same("left removed", { XLSX_BORDER_NONE, XLSX_COLOR_NONE }, xlsx.GetCellBorder(id, "D4", XLSX_SIDE_LEFT))
same("right kept", { XLSX_BORDER_THIN, XLSX_COLOR_NONE }, xlsx.GetCellBorder(id, "D4", XLSX_SIDE_RIGHT))
xlsx.SetCellValue(id, "D5", "turned")
xlsx.SetCellAlignment(id, "D5", XLSX_ALIGN_RIGHT, XLSX_VALIGN_TOP, 0, 2, -45)
xlsx.SetCellFill(id, "D5", XLSX_COLOR_NONE)
same("no fill", { XLSX_COLOR_NONE }, xlsx.GetCellFill(id, "D5"))
same("alignment turned down", { XLSX_ALIGN_RIGHT, XLSX_VALIGN_TOP, 0, 2, -45 }, xlsx.GetCellAlignment(id, "D5"))
xlsx.CopyCellStyle(id, "D2", "D6:D7")
xlsx.CopyCellStyle(id, 4, 2, 4, 8)
for pos in xlsx.CellRange(id, "E3", "E4") do
  xlsx.SetCellAlignment(id, pos, XLSX_KEEP, XLSX_KEEP, XLSX_KEEP, XLSX_KEEP, XLSX_ROTATION_VERTICAL)
end
same("through a handle", { XLSX_ALIGN_GENERAL, XLSX_VALIGN_BOTTOM, 0, 0, 255 }, xlsx.GetCellAlignment(id, "E4"))
-- Checks in order: document, sheet, value, cell; a refused value or range changes nothing.
check.raises(check.NO_DOCUMENT, xlsx.SetCellFill, 99, "A1", 0, 9)
check.raises(check.SHEET_RANGE, xlsx.SetCellFill, id, "A1", 0x1000000, 9)
check.raises(check.SHEET_RANGE, xlsx.GetCellFont, id, "A1", 9)
local refusals = {
  { "colour", xlsx.SetCellFill, id, "A1", 0x1000000 },
  { "font size", xlsx.SetCellFont, id, "A1", "", 410, XLSX_KEEP, XLSX_KEEP },
  { "font name", xlsx.SetCellFont, id, "A1", string.rep("x", 32), XLSX_KEEP, XLSX_KEEP, XLSX_KEEP },
  { "font style", xlsx.SetCellFont, id, "A1", "", XLSX_KEEP, 16, XLSX_KEEP },
  { "border style", xlsx.SetCellBorder, id, "A1", XLSX_SIDE_TOP, 14, XLSX_KEEP },
  { "border sides", xlsx.SetCellBorder, id, "A1", 0, XLSX_BORDER_THIN, XLSX_KEEP },
  { "border side", xlsx.GetCellBorder, id, "A1", XLSX_SIDE_ALL },
  { "rotation", xlsx.SetCellAlignment, id, "A1", XLSX_KEEP, XLSX_KEEP, XLSX_KEEP, XLSX_KEEP, 91 },
  { "indent", xlsx.SetCellAlignment, id, "A1", XLSX_KEEP, XLSX_KEEP, XLSX_KEEP, 251, XLSX_KEEP },
  { "number format", xlsx.SetCellNumberFormat, id, "A1", '0.00"' },
  { "date", xlsx.SetCellDate, id, "A1", "2026-02-29" },
}
for _, row in ipairs(refusals) do check.raises("Invalid cell format value: " .. row[1] .. "!", table.unpack(row, 2)) end
check.raises_each(check.CELL_RANGE, xlsx.SetCellFill,
                  { { id, 0, 1, 0 }, { id, "A1:XFD1048576", 0 }, { id, "A1:B0", 0 } })
check.raises(check.CELL_RANGE, xlsx.GetCellFill, id, "A1:B2")
same("header unchanged", { 0xDDEBF7 }, xlsx.GetCellFill(id, "A1"))

xlsx.Save(id)
xlsx.Close(id)
check.done()
