-- Texts a workbook cannot hold, through korvadel: a text with a NUL byte is refused as an argument, a
-- text that is not UTF-8 with the command's registered message; neither changes the document, which
-- saves and reopens with its old values. Arguments: OUTDIR.
local t = require "check"
local path = t.path("texts.xlsx")
local doc = xlsx.Create(nil, path)
xlsx.SetCellValue(doc, "A1", "kept", 3)
for _, text in ipairs({"a\0b", "caf\xE9", "\xC0\xAF", "\xED\xA0\x80"}) do
  local message = text == "a\0b" and "bad argument #3 to 'xlsx.%s' (text holds a NUL byte)" or t.CELL_RANGE
  t.raises(message:format("SetCellValue"), xlsx.SetCellValue, doc, "A1", text, 3)
  t.raises(message:format("SetCellFormula"), xlsx.SetCellFormula, doc, "A1", text)
end
t.raises(t.OPERATION, xlsx.AddSheet, doc, "\xFF")
t.raises(t.OPERATION, xlsx.SetProperty, doc, XLSX_PROPERTY_TITLE, "\xFF")
pcall(xlsx.SetSheetName, doc, 1, "\xFF")
t.eq(xlsx.GetSheetName(doc, 1), "Sheet1", "a name that is not UTF-8 renames nothing")
xlsx.Save(doc)
xlsx.Close(doc)
doc = xlsx.Open(nil, path)
t.eq(xlsx.GetCellValue(doc, "A1"), "kept", "A1 after the refused texts")
xlsx.Close(doc)
t.done()
