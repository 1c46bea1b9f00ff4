-- korvadel-options: --charset ISO-8859-1
-- Second of a chain: workbooks written under UTF-8 (charset_write_utf8.lua) read under ISO-8859-1. Texts
-- come back converted; a text ISO-8859-1 cannot hold fails the read with a script error.
package.path = arg[0]:match("^(.*/)") .. "?.lua;" .. package.path
local check = require "check"
local support = require "serializer_support"
local scratch, temp = arg[1], arg[2]

local back = DeserializeTable(support.read(scratch .. "/western.xlsx"))
check.eq(back[1][1], "Gr\xF6\xDFe")
check.eq(back[1][2], 7)
check.eq(back[2][1], "\xC4pfel")
check.eq(back[2][2], nil)

check.fails("DeserializeTable: the xlsx serializer failed", DeserializeTable, support.read(scratch .. "/cjk.xlsx"))
support.no_temp_files(temp)
check.done()
