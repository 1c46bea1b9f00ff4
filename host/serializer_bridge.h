// Script functions that drive a plugin's table serializer: SerializeTable(t [, adapter]) gives the bytes
// of a workbook holding the table, DeserializeTable(s [, adapter]) reads such bytes back into a new table.
// Script index i of a row or cell is serializer key i - 1; rows are tables of numbers and texts. Read
// back, whole numbers within +-2^53 are script integers, other numbers floats, and texts are texts
// (empty cells ""). The full mapping is in docs/serializer.md.
#pragma once

struct lua_State;

// Upvalue 1: the Runtime (light userdata). Raises a script error for a table that is not rows of numbers
// and texts, an unknown adapter, or a serializer failure.
int HostLuaSerializeTable(lua_State* L);
int HostLuaDeserializeTable(lua_State* L);
