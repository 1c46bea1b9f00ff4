-- Writes every kind of value, formula and layout attribute into arg[1] (default interop_written.xlsx);
-- the interoperability test reads the file back with openpyxl and compares each item exactly.
local path = arg[1] or "interop_written.xlsx"
local id = xlsx.Create(nil, path)
xlsx.SetSheetName(id, 1, "Values")

-- Row 1: numbers, row 2: texts, row 3: booleans and an emptied cell.
xlsx.SetCellValue(id, "A1", 42)
xlsx.SetCellValue(id, "B1", -7)
xlsx.SetCellValue(id, "C1", 9007199254740993, 1)   -- beyond 2^53: stored as the nearest double's integer
xlsx.SetCellValue(id, "D1", 2.5)
xlsx.SetCellValue(id, "E1", 0.1)
xlsx.SetCellValue(id, "F1", -1.25e-7)
xlsx.SetCellValue(id, "G1", 1e20)
xlsx.SetCellValue(id, "H1", 3.9, 1)
xlsx.SetCellValue(id, "A2", "plain")
xlsx.SetCellValue(id, "B2", " leading and trailing ")
xlsx.SetCellValue(id, "C2", "Grüße, 中文, €")
xlsx.SetCellValue(id, "D2", "<tag> & \"quotes\"")
xlsx.SetCellValue(id, "E2", 12, 3)
xlsx.SetCellValue(id, "F2", "line\nbreak")
xlsx.UseSharedStrings(0)
xlsx.SetCellValue(id, "G2", "inline")
xlsx.SetCellValue(id, "H2", " inline spaced ")
xlsx.UseSharedStrings(1)
xlsx.SetCellValue(id, "I2", "plain")                 -- shared again, same entry as A2
xlsx.SetCellValue(id, "A3", 1, 13)
xlsx.SetCellValue(id, "B3", 0, 13)
xlsx.SetCellValue(id, "C3", "gone")
xlsx.ClearCellValue(id, "C3")
xlsx.SetCellValue(id, "D3", 5, 0)

-- Row 4: formulas.
xlsx.SetCellFormula(id, "A4", "A1*2")
xlsx.SetCellFormula(id, "B4", "SUM(A1:H1)")
xlsx.SetCellFormula(id, "C4", "IF(A3,\"yes\",\"no\")")
xlsx.SetCellFormula(id, "D4", "Layout!A1&\"!\"")

-- Layout on a second sheet.
xlsx.AddSheet(id, "Layout")
xlsx.SetCellValue(id, "A1", "layout", 3, 2)
xlsx.SetCellValue(id, "E6", 1, 14, 2)
xlsx.SetColumnWidth(id, 1, 25, 2)
xlsx.SetColumnWidth(id, 3, 8.5, 2)
xlsx.HideColumn(id, 4, 1, 2)
xlsx.SetRowHeight(id, 2, 30, 2)
xlsx.SetRowHeight(id, 3, 7.25, 2)
xlsx.HideRow(id, 5, 1, 2)

-- Sheets: order, a hidden one, a very hidden one, the active one.
xlsx.AddSheet(id, "First", 1)
xlsx.AddSheet(id, "Hidden")
xlsx.AddSheet(id, "Very hidden")
xlsx.SetSheetVisibility(id, XLSX_VISIBILITY_HIDDEN, 4)
xlsx.SetSheetVisibility(id, XLSX_VISIBILITY_VERYHIDDEN, 5)
xlsx.SetSheetActive(id, 3)

-- Properties.
xlsx.SetProperty(id, XLSX_PROPERTY_TITLE, "Interop title")
xlsx.SetProperty(id, XLSX_PROPERTY_SUBJECT, "Interop subject")
xlsx.SetProperty(id, XLSX_PROPERTY_CREATOR, "Interop creator")
xlsx.SetProperty(id, XLSX_PROPERTY_KEYWORDS, "a, b")
xlsx.SetProperty(id, XLSX_PROPERTY_DESCRIPTION, "Interop description")
xlsx.SetProperty(id, XLSX_PROPERTY_CATEGORY, "Interop category")
xlsx.SetProperty(id, XLSX_PROPERTY_LASTMODIFIEDBY, "Interop editor")
xlsx.Save(id)
xlsx.Close(id)
print("interop_write: ok")
