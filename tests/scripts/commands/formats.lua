-- The formatting commands through the host: each command once with what it reads back, the keep and
-- none values, range texts, position handles, the order of checks and the refusals. Writes formatted.xlsx
-- into the scratch folder (arg[1]), which the interoperability suite reads with other programs.
local check = require "check"
local id = check.new_document("formatted.xlsx")
local function same(what, fn, expected)
  local got = table.pack(fn())
  check.eq(got.n, #expected, what .. ": result count")
  for i = 1, #expected do check.eq(got[i], expected[i], what .. ": result " .. i) end
end

-- Row 1: a bold, centred, wrapped header with a fill and a rule below, set through range texts.
for x, text in ipairs({ "Date", "Amount", "Share", "Note", "Time" }) do xlsx.SetCellValue(id, x, 1, text) end
xlsx.SetCellFont(id, "A1:E1", "", XLSX_KEEP, XLSX_FONT_BOLD, XLSX_KEEP)
xlsx.SetCellFill(id, "A1:E1", 0xDDEBF7)
xlsx.SetCellBorder(id, "A1:E1", XLSX_SIDE_BOTTOM, XLSX_BORDER_MEDIUM, 0x1F4E78)
xlsx.SetCellAlignment(id, "A1:E1", XLSX_ALIGN_CENTER, XLSX_VALIGN_CENTER, 1, XLSX_KEEP, XLSX_KEEP)
same("header font", function() return xlsx.GetCellFont(id, "C1") end, { "Calibri", 12, XLSX_FONT_BOLD, XLSX_COLOR_NONE })
same("header border", function() return xlsx.GetCellBorder(id, 2, 1, XLSX_SIDE_BOTTOM) end, { XLSX_BORDER_MEDIUM, 0x1F4E78 })
same("no top border", function() return xlsx.GetCellBorder(id, 2, 1, XLSX_SIDE_TOP) end, { XLSX_BORDER_NONE, XLSX_COLOR_NONE })
same("header alignment", function() return xlsx.GetCellAlignment(id, "E1") end, { XLSX_ALIGN_CENTER, XLSX_VALIGN_CENTER, 1, 0, 0 })

-- Dates: the 1900 system with its day 60; a cell's own date format stays.
xlsx.SetCellDate(id, "A2", "2026-12-07")
xlsx.SetCellDate(id, "A3", "1900-02-29")
xlsx.SetCellDate(id, "A4", "2026-12-07 18:30:15")
xlsx.SetCellDate(id, "E2", "08:15")
same("date", function() return xlsx.GetCellValue(id, "A2") end, { 46363, 1 })
same("day 60", function() return xlsx.GetCellDate(id, "A3") end, { "1900-02-29" })
same("date and time", function() return xlsx.GetCellDate(id, "A4") end, { "2026-12-07 18:30:15" })
same("time", function() return xlsx.GetCellDate(id, "E2") end, { "08:15:00" })
same("date format", function() return xlsx.GetCellNumberFormat(id, "A4") end, { "yyyy-mm-dd hh:mm:ss" })
xlsx.SetCellNumberFormat(id, "A5", "d-mmm-yy")
xlsx.SetCellDate(id, "A5", "2024-02-29")
same("own date format kept", function() return xlsx.GetCellNumberFormat(id, "A5") end, { "d-mmm-yy" })
same("is date", function() return xlsx.IsCellDate(id, "A5"), xlsx.IsCellDate(id, "B1") end, { 1, 0 })
check.eq(select("#", xlsx.GetCellDate(id, "B1")), 1, "a text is no date: one result")
check.eq(xlsx.GetCellDate(id, "B1"), nil, "a text is no date")

-- Numbers: currency, a percentage, a built-in format by its number's text.
xlsx.SetCellValue(id, "B2", 1234.5)
xlsx.SetCellValue(id, "B3", -42)
xlsx.SetCellNumberFormat(id, "B2:B3", '"$"#,##0.00')
xlsx.SetCellValue(id, "C2", 0.125)
xlsx.SetCellNumberFormat(id, "C2", "0.0%")
xlsx.SetCellNumberFormat(id, "C3", "#,##0.00")
same("currency", function() return xlsx.GetCellNumberFormat(id, "B3") end, { '"$"#,##0.00' })
same("built-in", function() return xlsx.GetCellNumberFormat(id, "C3"), xlsx.GetCellNumberFormat(id, "C9") end,
     { "#,##0.00", "General" })

-- Fonts and what a setter keeps; a banded row; a copied format; a position handle.
xlsx.SetCellValue(id, "D2", "red italic")
xlsx.SetCellFont(id, "D2", "Arial", 14, XLSX_FONT_ITALIC + XLSX_FONT_UNDERLINE, 0xC00000)
xlsx.SetCellFont(id, "D2", "", XLSX_KEEP, XLSX_FONT_ITALIC + XLSX_FONT_STRIKE, XLSX_KEEP)
same("font kept", function() return xlsx.GetCellFont(id, "D2") end, { "Arial", 14, XLSX_FONT_ITALIC + XLSX_FONT_STRIKE, 0xC00000 })
xlsx.SetCellFill(id, "A3:E3", 0xF2F2F2)
same("fill keeps the format", function() return xlsx.GetCellFill(id, "B3"), xlsx.GetCellNumberFormat(id, "B3") end,
     { 0xF2F2F2, '"$"#,##0.00' })
xlsx.SetCellBorder(id, "D4", XLSX_SIDE_ALL, XLSX_BORDER_THIN, XLSX_COLOR_NONE)
xlsx.SetCellBorder(id, "D4", XLSX_SIDE_LEFT, XLSX_BORDER_NONE, XLSX_KEEP)
same("left removed", function() return xlsx.GetCellBorder(id, "D4", XLSX_SIDE_LEFT) end, { XLSX_BORDER_NONE, XLSX_COLOR_NONE })
same("right kept", function() return xlsx.GetCellBorder(id, "D4", XLSX_SIDE_RIGHT) end, { XLSX_BORDER_THIN, XLSX_COLOR_NONE })
xlsx.SetCellValue(id, "D5", "turned")
xlsx.SetCellAlignment(id, "D5", XLSX_ALIGN_RIGHT, XLSX_VALIGN_TOP, 0, 2, -45)
same("alignment", function() return xlsx.GetCellAlignment(id, "D5") end, { XLSX_ALIGN_RIGHT, XLSX_VALIGN_TOP, 0, 2, -45 })
xlsx.SetCellFill(id, "D5", XLSX_COLOR_NONE)
same("no fill", function() return xlsx.GetCellFill(id, "D5") end, { XLSX_COLOR_NONE })
xlsx.CopyCellStyle(id, "D2", "D6:D7")
xlsx.CopyCellStyle(id, 4, 2, 4, 8)
same("copied", function() return xlsx.GetCellFont(id, 4, 7) end, { "Arial", 14, XLSX_FONT_ITALIC + XLSX_FONT_STRIKE, 0xC00000 })
for pos in xlsx.CellRange(id, "E3", "E4") do xlsx.SetCellAlignment(id, pos, XLSX_KEEP, XLSX_KEEP, XLSX_KEEP, XLSX_KEEP, XLSX_ROTATION_VERTICAL) end
same("through a handle", function() return xlsx.GetCellAlignment(id, "E4") end, { XLSX_ALIGN_GENERAL, XLSX_VALIGN_BOTTOM, 0, 0, 255 })

-- Checks in order: document, sheet, value, cell; a refused value or range changes nothing.
check.raises("Cannot find specified XLSX document!", xlsx.SetCellFill, 99, "A1", 0, 9)
check.raises("Specified sheet is out of range!", xlsx.SetCellFill, id, "A1", 0x1000000, 9)
check.raises("Specified sheet is out of range!", xlsx.GetCellFont, id, "A1", 9)
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
for _, row in ipairs(refusals) do
  check.raises("Invalid cell format value: " .. row[1] .. "!", table.unpack(row, 2))
end
check.raises("Specified cell is out of range!", xlsx.SetCellFill, id, 0, 1, 0)
check.raises("Specified cell is out of range!", xlsx.SetCellFill, id, "A1:XFD1048576", 0)
check.raises("Specified cell is out of range!", xlsx.GetCellFill, id, "A1:B2")
check.raises("Specified cell is out of range!", xlsx.SetCellFill, id, "A1:B0", 0)
same("header unchanged", function() return xlsx.GetCellFill(id, "A1") end, { 0xDDEBF7 })

xlsx.Save(id)
xlsx.Close(id)
check.done()
