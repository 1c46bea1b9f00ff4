-- Open, Create, Close, Save, SaveAs, GetObjectType, UseSharedStrings: explicit and automatic ids,
-- replacing a document by reopening its id, failures, the object type's attribute, and the library table
-- and constants as scripts see them.
local t = require "check"

t.eq(type(xlsx), "table", "global xlsx")
t.eq(package.loaded.xlsx, xlsx, "xlsx is a loaded library")
for name, fn in pairs(xlsx) do t.eq(type(fn), "function", name) end
-- The 67 constants: XLSXATTRSHEETS is 32768, each XLSX_ group numbers its members from 0, the formatting
-- constants have the values listed; no other.
local expected = {XLSXATTRSHEETS = 32768, XLSX_KEEP = -1, XLSX_COLOR_NONE = -2, XLSX_FONT_BOLD = 1,
                  XLSX_FONT_ITALIC = 2, XLSX_FONT_UNDERLINE = 4, XLSX_FONT_STRIKE = 8, XLSX_SIDE_LEFT = 1,
                  XLSX_SIDE_RIGHT = 2, XLSX_SIDE_TOP = 4, XLSX_SIDE_BOTTOM = 8, XLSX_SIDE_ALL = 15,
                  XLSX_ROTATION_VERTICAL = 255}
for prefix, names in pairs({
  XLSX_VISIBILITY_ = {"VISIBLE", "HIDDEN", "VERYHIDDEN"},
  XLSX_SHEETTYPE_ = {"WORKSHEET", "CHARTSHEET", "DIALOGSHEET", "MACROSHEET"},
  XLSX_PROPERTY_ = {"TITLE", "SUBJECT", "CREATOR", "KEYWORDS", "DESCRIPTION", "LASTMODIFIEDBY", "LASTPRINTED",
                    "CREATIONDATE", "MODIFICATIONDATE", "CATEGORY", "APPLICATION", "DOCSECURITY", "SCALECROP",
                    "MANAGER", "COMPANY", "LINKSUPTODATE", "SHAREDDOC", "HYPERLINKBASE", "HYPERLINKSCHANGED",
                    "APPVERSION"},
  XLSX_BORDER_ = {"NONE", "THIN", "MEDIUM", "DASHED", "DOTTED", "THICK", "DOUBLE", "HAIR", "MEDIUMDASHED", "DASHDOT",
                  "MEDIUMDASHDOT", "DASHDOTDOT", "MEDIUMDASHDOTDOT", "SLANTDASHDOT"},
  XLSX_ALIGN_ = {"GENERAL", "LEFT", "CENTER", "RIGHT", "FILL", "JUSTIFY", "CENTERCONTINUOUS", "DISTRIBUTED"},
  XLSX_VALIGN_ = {"TOP", "CENTER", "BOTTOM", "JUSTIFY", "DISTRIBUTED"},
}) do
  for i, name in ipairs(names) do expected[prefix .. name] = i - 1 end
end
for name in pairs(_G) do
  if name:find("^XLSX") then
    t.eq(_G[name], expected[name], name)
    t.eq(math.type(_G[name]), "integer", name)
    expected[name] = nil
  end
end
t.eq(next(expected), nil, "every constant is there")

-- Create with an explicit id returns nothing and writes the template at once.
local a, b = t.path("doc_a.xlsx"), t.path("doc_b.xlsx")
os.remove(a)
t.eq(select("#", xlsx.Create(1, a)), 0, "results of Create with an explicit id")
t.is_true(t.read(a), "template written by Create")
t.eq(xlsx.GetSheetName(1, 1), "Sheet1", "first sheet of the template")
xlsx.SetCellValue(1, 1, 1, "first")
xlsx.Save(1)

-- Create and Open with nil give light-userdata ids, each its own.
local auto = xlsx.Create(nil, t.path("doc_auto.xlsx"))
t.eq(type(auto), "userdata", "automatic id")
local auto2 = xlsx.Open(nil, a)
t.is_true(auto2 ~= auto, "each automatic id is its own")
t.eq(xlsx.GetCellValue(auto2, 1, 1), "first", "Open reads what Save wrote")

-- SaveAs writes a new file; the document belongs to it afterwards.
xlsx.SetCellValue(auto2, 1, 1, "second")
xlsx.SaveAs(auto2, b)
xlsx.SetCellValue(auto2, 2, 1, 2)
xlsx.Save(auto2)
xlsx.Close(auto2)
local check = xlsx.Open(nil, b)
t.eq(xlsx.GetCellValue(check, 2, 1), 2, "Save after SaveAs writes to the new file")
xlsx.Close(check)
check = xlsx.Open(nil, a)
t.eq(xlsx.GetCellValue(check, 1, 1), "first", "the old file is untouched by SaveAs")
xlsx.Close(check)

-- Reopening an explicit id replaces the document without saving it; a failed Open still releases it.
xlsx.SetCellValue(1, 3, 1, "unsaved")
xlsx.Open(1, b)
t.eq(xlsx.GetCellValue(1, 1, 1), "second", "id 1 names the document opened last")
check = xlsx.Open(nil, a)
t.eq(xlsx.GetCellValue(check, 3, 1), nil, "a replaced document is not saved")
xlsx.Close(check)
local missing, junk, nowhere = t.path("does_not_exist.xlsx"), t.path("junk.xlsx"), t.path("no/such/folder/new.xlsx")
t.raises(t.OPEN(missing), xlsx.Open, 1, missing)
t.raises(t.NO_DOCUMENT, xlsx.GetSheetCount, 1)
t.raises(t.OPEN(missing), xlsx.Open, nil, missing)
t.write(junk, "this is no zip archive")
t.raises(t.OPEN(junk), xlsx.Open, 7, junk)
t.raises(t.CREATE(nowhere), xlsx.Create, 2, nowhere)
t.raises(t.NO_DOCUMENT, xlsx.GetSheetCount, 2)

-- A failed save reports and keeps the document open; a closed id names no document.
t.raises(t.SAVE, xlsx.SaveAs, auto, t.path("no/such/folder/out.xlsx"))
t.eq(xlsx.GetSheetCount(auto), 1, "document still open after a failed save")
t.raises(t.NO_DOCUMENT, xlsx.Close, 42)
xlsx.Close(auto)
for _, call in ipairs({{xlsx.Close, auto}, {xlsx.Save, auto}, {xlsx.SaveAs, 42, b}}) do
  t.raises(t.NO_DOCUMENT, table.unpack(call))
end
for _, call in ipairs({{xlsx.Open, 1}, {xlsx.Open, {}, a}, {xlsx.Close}, {xlsx.UseSharedStrings}}) do
  t.rejects(table.unpack(call))
end
t.raises("bad argument #1 to 'xlsx.UseSharedStrings' (number expected, got string)", xlsx.UseSharedStrings, "on")
t.eq(select("#", xlsx.UseSharedStrings(1)), 0, "UseSharedStrings returns nothing")

-- GetObjectType and the document attribute XLSXATTRSHEETS.
local objtype = xlsx.GetObjectType()
t.eq(math.type(objtype), "integer", "object type")
local three = xlsx.Create(nil, t.path("three.xlsx"))
xlsx.AddSheet(three, "Two")
xlsx.AddSheet(three, "Three")
t.eq(GetAttribute(objtype, three, XLSXATTRSHEETS), 3, "XLSXATTRSHEETS")
xlsx.Open(5, a)
t.eq(GetAttribute(objtype, 5, XLSXATTRSHEETS), 1, "XLSXATTRSHEETS of an explicit id")
t.raises(t.NO_DOCUMENT, GetAttribute, objtype, 6, XLSXATTRSHEETS)
t.raises("unknown attribute", GetAttribute, objtype, three, XLSXATTRSHEETS + 1)
t.raises("bad argument #1 to 'GetAttribute' (unknown object type)", GetAttribute, objtype + 100, 1, 32768)
t.raises("bad argument #2 to 'GetAttribute' (id expected, got nil)", GetAttribute, objtype, nil, 32768)

-- Documents still open here (5 with an unsaved change, three) are released by FreeLibrary; korvadel
-- --check-leaks checks it.
xlsx.SetCellValue(5, 1, 1, "unsaved")
t.done()
