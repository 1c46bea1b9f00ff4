-- Builds a small sales report workbook: a data sheet per region, a summary sheet with formulas, column
-- widths, row heights, a hidden helper row, a merged title, frozen headings, a filter, links to the region
-- sheets, a coloured tab, the document properties, and the formatting a reader expects: bold shaded
-- headers with a rule below, dates shown as dates, amounts as currency, banded rows.
--   korvadel examples/report.lua [OUTPUT.xlsx]        (default: report.xlsx)
local output = arg[1] or "report.xlsx"

local doc = xlsx.Create(nil, output)

local regions = {
  { name = "North", sales = { 1200, 1350.5, 980, 1610 } },
  { name = "South", sales = { 870, 910, 1005.25, 1120 } },
  { name = "West", sales = { 1500, 1420, 1390, 1710.75 } },
}
local quarters = { "Q1", "Q2", "Q3", "Q4" }
local quarter_ends = { "2026-03-31", "2026-06-30", "2026-09-30", "2026-12-31" }
local currency = '"$"#,##0.00'
local header_fill, band_fill = 0xDDEBF7, 0xF2F2F2

-- A header row: bold on a light fill, centred, with a rule below.
local function format_header(range, sheet)
  xlsx.SetCellFont(doc, range, "", XLSX_KEEP, XLSX_FONT_BOLD, XLSX_KEEP, sheet)
  xlsx.SetCellFill(doc, range, header_fill, sheet)
  xlsx.SetCellBorder(doc, range, XLSX_SIDE_BOTTOM, XLSX_BORDER_MEDIUM, 0x1F4E78, sheet)
  xlsx.SetCellAlignment(doc, range, XLSX_ALIGN_CENTER, XLSX_VALIGN_CENTER, XLSX_KEEP, XLSX_KEEP, XLSX_KEEP, sheet)
end

-- A total row: bold with a thin rule above.
local function format_total(range, sheet)
  xlsx.SetCellFont(doc, range, "", XLSX_KEEP, XLSX_FONT_BOLD, XLSX_KEEP, sheet)
  xlsx.SetCellBorder(doc, range, XLSX_SIDE_TOP, XLSX_BORDER_THIN, 0x000000, sheet)
end

xlsx.SetSheetName(doc, 1, "Summary")

-- One sheet per region: a header row, one row per quarter, a total with a formula.
for _, region in ipairs(regions) do
  local sheet = xlsx.AddSheet(doc, region.name)
  xlsx.SetCellValue(doc, "A1", "Quarter", 3, sheet)
  xlsx.SetCellValue(doc, "B1", "Sales", 3, sheet)
  xlsx.SetCellValue(doc, "C1", "Target met", 3, sheet)
  xlsx.SetCellValue(doc, "D1", "Closed on", 3, sheet)
  for q, amount in ipairs(region.sales) do
    xlsx.SetCellValue(doc, 1, q + 1, quarters[q], 3, sheet)
    xlsx.SetCellValue(doc, 2, q + 1, amount, 14, sheet)            -- integer or float, as the number is
    xlsx.SetCellValue(doc, 3, q + 1, amount >= 1000 and 1 or 0, 13, sheet)  -- a boolean
    xlsx.SetCellDate(doc, 4, q + 1, quarter_ends[q], sheet)        -- shown as a date
    if q % 2 == 0 then xlsx.SetCellFill(doc, string.format("A%d:D%d", q + 1, q + 1), band_fill, sheet) end
  end
  xlsx.SetCellValue(doc, "A6", "Total", 3, sheet)
  xlsx.SetCellFormula(doc, "B6", "SUM(B2:B5)", sheet)
  xlsx.SetCellNumberFormat(doc, "B2:B6", currency, sheet)
  format_header("A1:D1", sheet)
  format_total("A6:D6", sheet)
  xlsx.SetColumnWidth(doc, 1, 14, sheet)
  xlsx.SetColumnWidth(doc, 2, 12.5, sheet)
  xlsx.SetColumnWidth(doc, 4, 12, sheet)
  xlsx.SetRowHeight(doc, 1, 22, sheet)
end

-- The summary: a title over the table, then one row per region, referring to (and linking to) the
-- region sheets.
xlsx.SetCellValue(doc, "A1", "Sales by region")
xlsx.MergeCells(doc, "A1:C1")
xlsx.SetCellValue(doc, "A2", "Region")
xlsx.SetCellValue(doc, "B2", "Total")
xlsx.SetCellValue(doc, "C2", "Share")
for i, region in ipairs(regions) do
  local row = i + 2
  xlsx.SetCellValue(doc, 1, row, region.name)
  xlsx.SetCellHyperlink(doc, 1, row, region.name .. "!A1", "Open the " .. region.name .. " sheet")
  xlsx.SetCellFormula(doc, 2, row, region.name .. "!B6")
  xlsx.SetCellFormula(doc, 3, row, string.format("B%d/B%d", row, #regions + 3))
end
local total_row = #regions + 3
-- A helper row the reader does not need to see: the grand total the shares divide by.
xlsx.SetCellValue(doc, 1, total_row, "Grand total (helper)")
xlsx.SetCellFormula(doc, 2, total_row, string.format("SUM(B3:B%d)", #regions + 2))
xlsx.HideRow(doc, total_row, 1)
xlsx.SetCellValue(doc, 1, total_row + 1, "Made by examples/report.lua")
xlsx.SetColumnWidth(doc, 1, 24)
xlsx.SetColumnWidth(doc, 2, 12)
xlsx.SetRowHeight(doc, 1, 24)
xlsx.SetCellFont(doc, "A1", "", 14, XLSX_FONT_BOLD, 0x1F4E78)
xlsx.SetCellAlignment(doc, "A1", XLSX_ALIGN_CENTER, XLSX_KEEP, XLSX_KEEP, XLSX_KEEP, XLSX_KEEP)
format_header("A2:C2")
xlsx.SetCellNumberFormat(doc, string.format("B3:B%d", total_row), currency)
xlsx.SetCellNumberFormat(doc, string.format("C3:C%d", #regions + 2), "0.0%")
xlsx.SetCellFont(doc, 1, total_row + 1, "", XLSX_KEEP, XLSX_FONT_ITALIC, 0x808080)
-- The title and the headings stay in view, the table gets a filter, the tab a colour.
xlsx.FreezePanes(doc, 0, 3)
xlsx.SetAutoFilter(doc, string.format("A2:C%d", #regions + 2))
xlsx.SetSheetTabColor(doc, 0x1F6FB2)

-- Properties of the document.
xlsx.SetProperty(doc, XLSX_PROPERTY_TITLE, "Sales report")
xlsx.SetProperty(doc, XLSX_PROPERTY_SUBJECT, "Quarterly sales by region")
xlsx.SetProperty(doc, XLSX_PROPERTY_CREATOR, "examples/report.lua")
xlsx.SetProperty(doc, XLSX_PROPERTY_KEYWORDS, "sales, regions, quarters")
xlsx.SetProperty(doc, XLSX_PROPERTY_COMPANY, "Example Company")

xlsx.SetSheetActive(doc, 1)
xlsx.Save(doc)
print(string.format("wrote %s: %d sheets (%s)", output, xlsx.GetSheetCount(doc),
                    table.concat({ xlsx.GetSheetName(doc, 1), xlsx.GetSheetName(doc, 2),
                                   xlsx.GetSheetName(doc, 3), xlsx.GetSheetName(doc, 4) }, ", ")))
xlsx.Close(doc)
