-- Run with korvadel --charset ISO-8859-1 after charset_read_utf8.lua: a text the system character set
-- cannot hold is handed over unconverted (its UTF-8 bytes) rather than lost.
local t = dofile((arg[0]:match("^(.*)/") or ".") .. "/support.lua")
if not t.in_chain("charset_read_latin1") then return end

local id = xlsx.Open(nil, t.path("charset.xlsx"))
t.eq(xlsx.GetCellValue(id, 1, 1), "caf\233", "convertible text")
t.eq(xlsx.GetCellValue(id, 1, 2), "\226\130\172 and \228\184\173", "text that ISO-8859-1 cannot hold")
xlsx.Close(id)
print("charset_read_latin1: ok")
