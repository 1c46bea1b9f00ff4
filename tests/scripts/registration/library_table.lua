-- The xlsx table, GetObjectType, UseSharedStrings and the object type's attributes as scripts see them.
local check = require "check"

check.eq(type(xlsx), "table", "global xlsx")
check.eq(package.loaded.xlsx, xlsx, "xlsx is a loaded library")
for name, fn in pairs(xlsx) do check.eq(type(fn), "function", name) end

local objectType = xlsx.GetObjectType()
check.eq(math.type(objectType), "integer", "object type")
check.is_true(objectType >= 1, "object type assigned")
check.eq(select("#", xlsx.GetObjectType()), 1, "one result")

check.eq(select("#", xlsx.UseSharedStrings(0)), 0, "UseSharedStrings returns nothing")
xlsx.UseSharedStrings(1)
check.fails("bad argument #1 to 'xlsx.UseSharedStrings' (number expected, got no value)", xlsx.UseSharedStrings)
check.fails("bad argument #1 to 'xlsx.UseSharedStrings' (number expected, got string)",
            xlsx.UseSharedStrings, "on")

-- An id that names no document, explicit or automatic.
check.fails("Cannot find specified XLSX document!", GetAttribute, objectType, 1, XLSXATTRSHEETS)
check.fails("Cannot find specified XLSX document!", function() return GetAttribute(objectType, 0, 32768) end)
check.fails("bad argument #1 to 'GetAttribute' (unknown object type)", GetAttribute, objectType + 100, 1, 32768)
check.fails("bad argument #2 to 'GetAttribute' (id expected, got nil)", GetAttribute, objectType, nil, 32768)
check.done()
