-- Texts a workbook cannot hold, through korvadel: a text with a NUL byte is refused as an argument, a
-- text that is not UTF-8 with the command's registered message; neither changes the document, which
-- saves and reopens with its old values. Arguments: OUTDIR.
local outdir = assert(arg[1], "usage: script_texts.lua OUTDIR")
local path = outdir .. "/texts.xlsx"
local doc = xlsx.Create(nil, path)
xlsx.SetCellValue(doc, "A1", "kept", 3)
local cases = {
  { "a\0b", "text holds a NUL byte" },
  { "caf\xE9", "Specified cell is out of range!" },
  { "\xC0\xAF", "Specified cell is out of range!" },
  { "\xED\xA0\x80", "Specified cell is out of range!" },
}
local failures = 0
for _, case in ipairs(cases) do
  for _, call in ipairs({ { xlsx.SetCellValue, 3 }, { xlsx.SetCellFormula } }) do
    local ok, message = pcall(call[1], doc, "A1", case[1], call[2])
    if ok or not tostring(message):find(case[2], 1, true) then
      failures = failures + 1
      print(string.format("%q: %s", case[1], tostring(message)))
    end
  end
end
for _, call in ipairs({ { xlsx.AddSheet, doc, "\xFF" }, { xlsx.SetProperty, doc, XLSX_PROPERTY_TITLE, "\xFF" } }) do
  local ok, message = pcall(table.unpack(call))
  if ok or not tostring(message):find("XSLX operation has failed!", 1, true) then
    failures = failures + 1
    print("not refused: " .. tostring(message))
  end
end
local ok, message = pcall(xlsx.SetSheetName, doc, 1, "\xFF")
if xlsx.GetSheetName(doc, 1) ~= "Sheet1" then failures = failures + 1; print("sheet renamed: " .. tostring(message)) end
xlsx.Save(doc)
xlsx.Close(doc)
doc = xlsx.Open(nil, path)
if xlsx.GetCellValue(doc, "A1") ~= "kept" then failures = failures + 1; print("A1 changed") end
xlsx.Close(doc)
if failures > 0 then error(failures .. " texts were not refused") end
print("every text refused")
