-- UseSharedStrings: texts go to the shared strings table (1, the default) or into the cells (0), for
-- every open document, read back the same way either way. The interoperability test looks at the XML.
local t = dofile((arg[0]:match("^(.*)/") or ".") .. "/support.lua")

local a = t.new_document("shared_a.xlsx")
local b = t.new_document("shared_b.xlsx")
xlsx.SetCellValue(a, 1, 1, "shared text")
xlsx.UseSharedStrings(0)
xlsx.SetCellValue(a, 1, 2, "inline text")
xlsx.SetCellValue(b, 1, 1, " inline with spaces ")
xlsx.UseSharedStrings(0.5)  -- truncated to 0: still inline
xlsx.SetCellValue(b, 1, 2, "also inline")
xlsx.UseSharedStrings(1)
xlsx.SetCellValue(a, 1, 3, "shared text")
xlsx.UseSharedStrings(-3)
xlsx.SetCellValue(b, 1, 3, "shared again")

local function check(id, y, text, what)
  local v, code = xlsx.GetCellValue(id, 1, y)
  t.eq(v, text, what)
  t.eq(code, 3, what .. " type")
end
for pass = 1, 2 do
  check(a, 1, "shared text", "shared cell")
  check(a, 2, "inline text", "inline cell")
  check(a, 3, "shared text", "second use of a shared text")
  check(b, 1, " inline with spaces ", "inline cell with spaces")
  check(b, 2, "also inline", "inline after 0.5")
  check(b, 3, "shared again", "shared after a nonzero value")
  if pass == 1 then
    xlsx.Save(a)
    xlsx.Save(b)
    xlsx.Close(a)
    xlsx.Close(b)
    a = xlsx.Open(nil, t.path("shared_a.xlsx"))
    b = xlsx.Open(nil, t.path("shared_b.xlsx"))
  end
end
xlsx.Close(a)
xlsx.Close(b)
print("shared_strings: ok")
