-- Open, Create, Close, Save, SaveAs, GetObjectType, UseSharedStrings: explicit and automatic ids,
-- replacing a document by reopening its id, failures, and the object type's attribute.
local t = require "check"
-- Create with an explicit id returns nothing and writes the template at once.
local a, b = t.path("doc_a.xlsx"), t.path("doc_b.xlsx")
os.remove(a)
t.eq(select("#", xlsx.Create(1, a)), 0, "results of Create with an explicit id")
t.is_true(t.read(a), "template written by Create")
t.eq(xlsx.GetSheetName(1, 1), "Sheet1", "first sheet of the template")
xlsx.SetCellValue(1, 1, 1, "first")
xlsx.Save(1)
-- Automatic ids (nil) are light userdata, each its own; SaveAs moves the document to the new file, keeps the old.
local auto = xlsx.Create(nil, t.path("doc_auto.xlsx"))
local auto2 = xlsx.Open(nil, a)
t.is_true(type(auto) == "userdata" and auto2 ~= auto, "each automatic id is its own")
t.eq(xlsx.GetCellValue(auto2, 1, 1), "first", "Open reads what Save wrote")
xlsx.SetCellValue(auto2, 1, 1, "second")
xlsx.SaveAs(auto2, b)
xlsx.SetCellValue(auto2, 2, 1, 2)
xlsx.Save(auto2)
xlsx.Close(auto2)
local function value_in(path, x)
  local doc = xlsx.Open(nil, path)
  return xlsx.GetCellValue(doc, x, 1), xlsx.Close(doc)
end
t.eq(value_in(b, 2) .. value_in(a, 1), "2first", "Save after SaveAs writes the new file only")
-- Reopening an explicit id replaces the document without saving it; a failed Open still releases it.
xlsx.SetCellValue(1, 3, 1, "unsaved")
xlsx.Open(1, b)
t.eq(xlsx.GetCellValue(1, 1, 1), "second", "id 1 names the document opened last")
t.eq(value_in(a, 3), nil, "a replaced document is not saved")
local missing, junk, nowhere = t.path("does_not_exist.xlsx"), t.path("junk.xlsx"), t.path("no/such/folder/new.xlsx")
t.raises(t.OPEN(missing), xlsx.Open, 1, missing)
t.raises(t.NO_DOCUMENT, xlsx.GetSheetCount, 1)
t.write(junk, "this is no zip archive")
t.raises(t.OPEN(junk), xlsx.Open, nil, junk)
t.raises(t.CREATE(nowhere), xlsx.Create, 2, nowhere)
t.raises(t.NO_DOCUMENT, xlsx.GetSheetCount, 2)
-- A failed save reports and keeps the document open; a closed id names no document.
t.raises(t.SAVE, xlsx.SaveAs, auto, t.path("no/such/folder/out.xlsx"))
t.eq(xlsx.GetSheetCount(auto), 1, "document still open after a failed save")
xlsx.Close(auto)
t.raises(t.NO_DOCUMENT, xlsx.Close, auto)
t.raises("bad argument #1 to 'xlsx.UseSharedStrings' (number expected, got string)", xlsx.UseSharedStrings, "on")
t.eq(select("#", xlsx.UseSharedStrings(1)), 0, "UseSharedStrings returns nothing")
-- GetObjectType and the document attribute XLSXATTRSHEETS.
local objtype, three = xlsx.GetObjectType(), xlsx.Create(nil, t.path("three.xlsx"))
t.eq(math.type(objtype), "integer", "object type")
for _, name in ipairs({"Two", "Three"}) do xlsx.AddSheet(three, name) end
xlsx.Open(5, a)
t.same("XLSXATTRSHEETS", {3, 1}, GetAttribute(objtype, three, XLSXATTRSHEETS), GetAttribute(objtype, 5, XLSXATTRSHEETS))
t.raises(t.NO_DOCUMENT, GetAttribute, objtype, 6, XLSXATTRSHEETS)
t.raises("unknown attribute", GetAttribute, objtype, three, XLSXATTRSHEETS + 1)
t.raises("bad argument #1 to 'GetAttribute' (unknown object type)", GetAttribute, objtype + 100, 1, 32768)
t.raises("bad argument #2 to 'GetAttribute' (id expected, got nil)", GetAttribute, objtype, nil, 32768)
-- Documents still open here (5 with an unsaved change, three) are released by FreeLibrary (--check-leaks).
xlsx.SetCellValue(5, 1, 1, "unsaved")
t.done()
