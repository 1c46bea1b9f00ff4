// Script errors are raised only before a serializer is started or after it has been freed, so that no
// serializer state or stream buffer is left behind by a raised error.
#include "host/serializer_bridge.h"

#include <lauxlib.h>
#include <lua.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/runtime.h"

namespace {

constexpr lua_Integer kMaxRows = 1048576;
constexpr lua_Integer kMaxColumns = 16384;

struct Sink {
  char* data;
  size_t size;
  size_t capacity;
};

struct Source {
  const char* data;
  size_t size;
  size_t position;
};

int32_t WriteToSink(const void* buffer, uint32_t size, void* user) {
  auto* sink = static_cast<Sink*>(user);
  if (sink->size + size > sink->capacity) {
    size_t capacity = (sink->capacity ? sink->capacity * 2 : 65536);
    while (capacity < sink->size + size) capacity *= 2;
    char* grown = static_cast<char*>(realloc(sink->data, capacity));
    if (!grown) return 0;
    sink->data = grown;
    sink->capacity = capacity;
  }
  memcpy(sink->data + sink->size, buffer, size);
  sink->size += size;
  return static_cast<int32_t>(size);
}

int32_t ReadFromSource(void* buffer, uint32_t size, void* user) {
  auto* source = static_cast<Source*>(user);
  size_t left = source->size - source->position;
  size_t count = left < size ? left : size;
  memcpy(buffer, source->data + source->position, count);
  source->position += count;
  return static_cast<int32_t>(count);
}

Plugin* Adapter(lua_State* L, int index) {
  const char* name = luaL_optstring(L, index, "xlsx");
  auto* runtime = static_cast<Runtime*>(lua_touserdata(L, lua_upvalueindex(1)));
  Plugin* plugin = runtime->FindPlugin(name);
  if (!plugin) luaL_error(L, "no plugin with the base name \"%s\" is loaded", name);
  return plugin;
}

// The key of the pair on top as a script index in 1..limit, or 0 when it is anything else.
lua_Integer IndexKey(lua_State* L, lua_Integer limit) {
  if (!lua_isinteger(L, -2)) return 0;
  lua_Integer key = lua_tointeger(L, -2);
  return (key >= 1 && key <= limit) ? key : 0;
}

// Raises an error unless the row at the top is a table of numbers and texts under indexes; gives the
// highest index.
lua_Integer CheckRow(lua_State* L, lua_Integer row) {
  if (!lua_istable(L, -1)) luaL_error(L, "SerializeTable: row %d is a %s, not a table", (int)row, luaL_typename(L, -1));
  lua_Integer last = 0;
  for (lua_pushnil(L); lua_next(L, -2); lua_pop(L, 1)) {
    lua_Integer column = IndexKey(L, kMaxColumns);
    if (!column) luaL_error(L, "SerializeTable: row %d has a key that is not a column index 1..16384", (int)row);
    int type = lua_type(L, -1);
    if (type != LUA_TNUMBER && type != LUA_TSTRING) {
      luaL_error(L, "SerializeTable: cell [%d][%d] is a %s (only numbers and texts)", (int)row, (int)column,
                 luaL_typename(L, -1));
    }
    if (column > last) last = column;
  }
  return last;
}

lua_Integer CheckTable(lua_State* L) {
  lua_Integer last = 0;
  for (lua_pushnil(L); lua_next(L, 1); lua_pop(L, 1)) {
    lua_Integer row = IndexKey(L, kMaxRows);
    if (!row) luaL_error(L, "SerializeTable: the table has a key that is not a row index 1..1048576");
    CheckRow(L, row);
    if (row > last) last = row;
  }
  return last;
}

// The integer keys of the table on top (already checked), in ascending order: a table is sent in time
// that follows the entries it holds, not the highest index (one cell at row 1048576, column 16384 is
// one item, not a rectangle). Nothing here raises a script error.
std::vector<lua_Integer> SortedKeys(lua_State* L) {
  std::vector<lua_Integer> keys;
  for (lua_pushnil(L); lua_next(L, -2); lua_pop(L, 1)) keys.push_back(lua_tointeger(L, -2));
  std::sort(keys.begin(), keys.end());
  return keys;
}

bool SendMarker(Plugin* plugin, void* state, double key, uint32_t begins) {
  SerialItem k{SERIAL_NUMBER, &key, sizeof key, 0};
  SerialItem v{SERIAL_TABLE, nullptr, begins, 0};
  return plugin->serializeItem(state, &k, &v) != 0;
}

// Sends the cell on top of the stack.
bool SendCell(Plugin* plugin, void* state, double key, lua_State* L) {
  SerialItem k{SERIAL_NUMBER, &key, sizeof key, 0};
  double number = 0;
  SerialItem v{};
  if (lua_type(L, -1) == LUA_TNUMBER) {
    number = lua_tonumber(L, -1);
    v = SerialItem{SERIAL_NUMBER, &number, sizeof number, 0};
  } else {
    size_t length = 0;
    const char* text = lua_tolstring(L, -1, &length);
    v = SerialItem{SERIAL_TEXT, text, static_cast<uint32_t>(length), 0};
  }
  return plugin->serializeItem(state, &k, &v) != 0;
}

bool SendRow(Plugin* plugin, void* state, lua_Integer row, const std::vector<lua_Integer>& columns, lua_State* L) {
  if (!SendMarker(plugin, state, static_cast<double>(row - 1), 1)) return false;
  for (lua_Integer c : columns) {
    lua_rawgeti(L, -1, c);
    bool ok = SendCell(plugin, state, static_cast<double>(c - 1), L);
    lua_pop(L, 1);
    if (!ok) return false;
  }
  return SendMarker(plugin, state, static_cast<double>(row - 1), 0);
}

// Sends the rows in ascending order, each with its cells in ascending order.
bool SendTable(Plugin* plugin, void* state, const std::vector<lua_Integer>& rows, lua_State* L) {
  for (lua_Integer r : rows) {
    lua_rawgeti(L, 1, r);
    std::vector<lua_Integer> columns = SortedKeys(L);
    bool ok = SendRow(plugin, state, r, columns, L);
    lua_pop(L, 1);
    if (!ok) return false;
  }
  return true;
}

// The script index (key + 1) of a key the serializer handed out; 0 when the key is not a whole number in
// 0..limit - 1, so that no double outside the integer range is ever converted.
lua_Integer IndexOfKey(const SerialItem& key, lua_Integer limit) {
  if (key.kind != SERIAL_NUMBER || !key.data || key.size != sizeof(double)) return 0;
  double k = 0;
  memcpy(&k, key.data, sizeof k);
  if (!(k >= 0.0) || k >= static_cast<double>(limit) || k != static_cast<double>(static_cast<lua_Integer>(k))) return 0;
  return static_cast<lua_Integer>(k) + 1;
}

// Pushes a number item: whole numbers within +-2^53 as script integers (an integer cell reads back as an
// integer), everything else as a float.
void PushNumberItem(lua_State* L, const SerialItem& value) {
  double number = 0;
  if (value.data && value.size == sizeof number) memcpy(&number, value.data, sizeof number);
  constexpr double kExact = 9007199254740992.0;  // 2^53
  if (number >= -kExact && number <= kExact && number == static_cast<double>(static_cast<lua_Integer>(number))) {
    lua_pushinteger(L, static_cast<lua_Integer>(number));
  } else {
    lua_pushnumber(L, number);
  }
}

// Stores the value item into the row table on top, under script index column.
void StoreValue(lua_State* L, lua_Integer column, const SerialItem& value) {
  if (value.kind == SERIAL_NUMBER) {
    PushNumberItem(L, value);
  } else {
    lua_pushlstring(L, value.data ? static_cast<const char*>(value.data) : "", value.data ? value.size : 0);
  }
  lua_rawseti(L, -2, column);
}

// Reads items into the table at the top until done; false when the serializer fails or breaks the order
// (an item outside a row, a row inside a row, a key that is no row or column index).
bool ReceiveTable(Plugin* plugin, void* state, lua_State* L) {
  int table = lua_gettop(L);
  for (;;) {
    SerialItem key{}, value{};
    uint32_t done = 0;
    if (!plugin->deserializeItem(state, &key, &value, &done)) return false;
    if (done) return lua_gettop(L) == table;
    bool marker = value.kind == SERIAL_TABLE;
    lua_Integer index = IndexOfKey(key, marker ? kMaxRows : kMaxColumns);
    if (!index) return false;
    if (marker && value.size == 1) {
      if (lua_gettop(L) != table) return false;
      lua_newtable(L);
    } else if (marker) {
      if (lua_gettop(L) != table + 1) return false;
      lua_rawseti(L, table, index);
    } else if (value.kind == SERIAL_NUMBER || value.kind == SERIAL_TEXT) {
      if (lua_gettop(L) != table + 1) return false;
      StoreValue(L, index, value);
    } else {
      return false;
    }
  }
}

// Pushes the bytes of the Sink given as light userdata; run under protection, so that the sink is freed
// even when the interpreter runs out of memory.
int PushSink(lua_State* L) {
  auto* sink = static_cast<Sink*>(lua_touserdata(L, 1));
  lua_pushlstring(L, sink->data ? sink->data : "", sink->size);
  return 1;
}

// Runs ReceiveTable under protection (arguments: plugin, state as light userdata), so that a memory error
// of the interpreter cannot skip FreeSerializer. Returns the new table and whether it is complete.
int ProtectedReceive(lua_State* L) {
  auto* plugin = static_cast<Plugin*>(lua_touserdata(L, 1));
  void* state = lua_touserdata(L, 2);
  lua_settop(L, 2);
  lua_newtable(L);
  bool ok = ReceiveTable(plugin, state, L);
  lua_settop(L, 3);
  lua_pushboolean(L, ok);
  return 2;
}

// Serializes the checked table at the top into sink; false when the plugin fails. The keys live only in
// here, so that no script error raised later skips their release.
bool WriteTable(Plugin* plugin, Sink* sink, lua_State* L) {
  std::vector<lua_Integer> rows = SortedKeys(L);
  HostTag options[] = {{1, HOST_ENCODING_SYSTEM}, {HOST_TAG_END, 0}};
  void* state = plugin->initSerializer(nullptr, WriteToSink, sink, options);
  bool ok = state && SendTable(plugin, state, rows, L);
  if (state && !plugin->freeSerializer(state)) ok = false;
  return ok;
}

}  // namespace

int HostLuaSerializeTable(lua_State* L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  Plugin* plugin = Adapter(L, 2);
  lua_settop(L, 1);
  CheckTable(L);
  Sink sink{nullptr, 0, 0};
  bool ok = WriteTable(plugin, &sink, L);
  int status = LUA_OK;
  if (ok) {
    lua_pushcfunction(L, PushSink);
    lua_pushlightuserdata(L, &sink);
    status = lua_pcall(L, 1, 1, 0);
  }
  free(sink.data);
  if (status != LUA_OK) return lua_error(L);  // the interpreter's own error, after the bytes are freed
  if (!ok) return luaL_error(L, "SerializeTable: the %s serializer failed", PluginBaseName(*plugin));
  return 1;
}

int HostLuaDeserializeTable(lua_State* L) {
  size_t size = 0;
  const char* bytes = luaL_checklstring(L, 1, &size);
  Plugin* plugin = Adapter(L, 2);
  lua_settop(L, 1);
  HostTag options[] = {{2, HOST_ENCODING_SYSTEM}, {HOST_TAG_END, 0}};
  Source source{bytes, size, 0};
  void* state = plugin->initSerializer(ReadFromSource, nullptr, &source, options);
  if (!state)
    return luaL_error(L, "DeserializeTable: the %s serializer cannot read these bytes", PluginBaseName(*plugin));
  // Pushing a C function and light userdata allocates nothing, so no error can come before the call.
  lua_pushcfunction(L, ProtectedReceive);
  lua_pushlightuserdata(L, plugin);
  lua_pushlightuserdata(L, state);
  int status = lua_pcall(L, 2, 2, 0);
  bool ok = status == LUA_OK && lua_toboolean(L, -1);
  if (!plugin->freeSerializer(state)) ok = false;
  if (status != LUA_OK) return lua_error(L);  // the interpreter's own error, after the state is freed
  if (!ok) return luaL_error(L, "DeserializeTable: the %s serializer failed", PluginBaseName(*plugin));
  lua_pop(L, 1);
  return 1;
}
