-- Ends with documents open (explicit and automatic ids, one with a loop still running and one whose
-- loop was left early): FreeLibrary releases them all. Run with korvadel --check-leaks, which fails on
-- any plugin memory, converted text or file left behind.
local t = dofile((arg[0]:match("^(.*)/") or ".") .. "/support.lua")

xlsx.Create(1, t.path("free_1.xlsx"))
xlsx.SetCellValue(1, 1, 1, "unsaved")
local auto = xlsx.Create(nil, t.path("free_2.xlsx"))
xlsx.AddSheet(auto, "More")
local step = xlsx.CellRange(auto, 1, 1, 10, 10, 2)
step()
step()
for pos in xlsx.CellRange(1, "A1", "Z99") do
  xlsx.SetCellValue(1, pos, 1)
  break
end
t.eq(GetAttribute(xlsx.GetObjectType(), auto, XLSXATTRSHEETS), 2, "documents open at the end")
-- Nothing is saved implicitly.
os.remove(t.path("free_1.xlsx"))
print("free_library: ok")
