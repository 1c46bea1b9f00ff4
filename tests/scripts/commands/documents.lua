-- Open, Create, Close, Save, SaveAs, GetObjectType: explicit and automatic ids, replacing a document by
-- reopening its id, failures, and the document object type's attribute.
local t = dofile((arg[0]:match("^(.*)/") or ".") .. "/support.lua")

-- Create with an explicit id returns nothing and writes the template at once.
local a = t.path("doc_a.xlsx")
os.remove(a)
t.eq(select("#", xlsx.Create(1, a)), 0, "results of Create with an explicit id")
t.is_true(t.read_file(a), "template written by Create")
t.eq(xlsx.GetSheetCount(1), 1, "sheets of a new document")
t.eq(xlsx.GetSheetName(1, 1), "Sheet1", "first sheet of the template")
xlsx.SetCellValue(1, 1, 1, "first")
xlsx.Save(1)

-- Create with nil gives a light-userdata id that finds the document.
local auto = xlsx.Create(nil, t.path("doc_auto.xlsx"))
t.eq(type(auto), "userdata", "automatic id")
t.eq(xlsx.GetSheetCount(auto), 1, "document found by its automatic id")
local auto2 = xlsx.Open(nil, a)
t.is_true(auto2 ~= auto, "each automatic id is its own")
t.eq(xlsx.GetCellValue(auto2, 1, 1), "first", "Open reads what Save wrote")

-- SaveAs writes a new file; the document belongs to it afterwards.
local b = t.path("doc_b.xlsx")
os.remove(b)
xlsx.SetCellValue(auto2, 1, 1, "second")
xlsx.SaveAs(auto2, b)
t.is_true(t.read_file(b), "file written by SaveAs")
xlsx.SetCellValue(auto2, 2, 1, 2)
xlsx.Save(auto2)
xlsx.Close(auto2)
local check = xlsx.Open(nil, b)
t.eq(xlsx.GetCellValue(check, 2, 1), 2, "Save after SaveAs writes to the new file")
xlsx.Close(check)
check = xlsx.Open(nil, a)
t.eq(xlsx.GetCellValue(check, 1, 1), "first", "the old file is untouched by SaveAs")
t.eq(xlsx.GetCellValue(check, 2, 1), nil, "the old file is untouched by Save after SaveAs")
xlsx.Close(check)

-- Reopening an explicit id replaces the document, without saving it.
xlsx.SetCellValue(1, 3, 1, "unsaved")
xlsx.Open(1, b)
t.eq(xlsx.GetCellValue(1, 1, 1), "second", "id 1 names the document opened last")
check = xlsx.Open(nil, a)
t.eq(xlsx.GetCellValue(check, 3, 1), nil, "a replaced document is not saved")
xlsx.Close(check)

-- A failed Open still releases the document the id named.
local missing = t.path("does_not_exist.xlsx")
t.raises(t.OPEN(missing), xlsx.Open, 1, missing)
t.raises(t.NO_DOCUMENT, xlsx.GetSheetCount, 1)
t.raises(t.OPEN(missing), xlsx.Open, nil, missing)

-- A file that is not a workbook package.
local junk = t.path("junk.xlsx")
local f = io.open(junk, "wb") f:write("this is no zip archive") f:close()
t.raises(t.OPEN(junk), xlsx.Open, 7, junk)

-- Create into a folder that does not exist.
local nowhere = t.path("no/such/folder/new.xlsx")
t.raises(t.CREATE(nowhere), xlsx.Create, 2, nowhere)
t.raises(t.NO_DOCUMENT, xlsx.GetSheetCount, 2)

-- A failed save reports and keeps the document open.
t.raises(t.SAVE, xlsx.SaveAs, auto, t.path("no/such/folder/out.xlsx"))
t.eq(xlsx.GetSheetCount(auto), 1, "document still open after a failed save")

-- Close of an id that names no document, twice-closing, and commands on a closed id.
t.raises(t.NO_DOCUMENT, xlsx.Close, 42)
xlsx.Close(auto)
for _, call in ipairs({ { xlsx.Close, auto }, { xlsx.Save, auto }, { xlsx.SaveAs, 42, b } }) do
  t.raises(t.NO_DOCUMENT, table.unpack(call))
end

-- Wrong argument types are refused by the host before anything happens.
for _, call in ipairs({ { xlsx.Open, 1 }, { xlsx.Open, {}, a }, { xlsx.Close } }) do t.rejects(table.unpack(call)) end

-- GetObjectType and the document attribute XLSXATTRSHEETS.
local objtype = xlsx.GetObjectType()
local three = xlsx.Create(nil, t.path("three.xlsx"))
xlsx.AddSheet(three, "Two")
xlsx.AddSheet(three, "Three")
t.eq(GetAttribute(objtype, three, XLSXATTRSHEETS), 3, "XLSXATTRSHEETS")
xlsx.Open(5, a)
t.eq(GetAttribute(objtype, 5, XLSXATTRSHEETS), 1, "XLSXATTRSHEETS of an explicit id")
t.raises(t.NO_DOCUMENT, GetAttribute, objtype, 6, XLSXATTRSHEETS)
t.raises("unknown attribute", GetAttribute, objtype, three, XLSXATTRSHEETS + 1)

-- Documents still open here (5 with an unsaved change, three) are released by FreeLibrary; korvadel
-- --check-leaks checks it.
xlsx.SetCellValue(5, 1, 1, "unsaved")
print("documents: ok")
