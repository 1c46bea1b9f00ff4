-- First of a chain (charset_read_latin1.lua reads what this writes under ISO-8859-1): workbooks written
-- under UTF-8, one with texts that ISO-8859-1 can hold and one with a text it cannot.
package.path = arg[0]:match("^(.*/)") .. "?.lua;" .. package.path
local check = require "check"
local support = require "serializer_support"
local scratch, temp = arg[1], arg[2]

support.write(scratch .. "/western.xlsx", SerializeTable({{"Größe", 7}, {"Äpfel"}}))
support.write(scratch .. "/cjk.xlsx", SerializeTable({{"ok", "日本"}}))
check.eq(DeserializeTable(support.read(scratch .. "/cjk.xlsx"))[1][2], "日本", "readable under UTF-8")
support.no_temp_files(temp)
check.done()
