// Plugin functions run behind one trampoline: the closure's first interpreter upvalue holds the plugin
// function, the plugin's own upvalues follow it.
#include "host/stack.h"

#include <lauxlib.h>
#include <lua.h>

#include <cmath>
#include <cstring>

#include "host/errors.h"

namespace {

constexpr int kNoUpvalue = lua_upvalueindex(256);  // reads as "none" in every C closure

int Trampoline(lua_State* L) {
  HostCFunction function;
  memcpy(&function, lua_touserdata(L, lua_upvalueindex(1)), sizeof function);
  int32_t result = function(HostOf(L));
  if (result >= HOST_FIRST_ERROR) HostRaiseError(L, result);
  if (result < 0 || lua_gettop(L) < result) return luaL_error(L, "plugin function returned %d", result);
  return result;
}

bool IsIdNumber(double value) {
  return value >= 0 && value < 4294967296.0;
}

}  // namespace

int HostMapIndex(int32_t index) {
  if (index == HOST_REGISTRYINDEX) return LUA_REGISTRYINDEX;
  if (index > HOST_REGISTRYINDEX) return index;
  int32_t upvalue = -10001 - index;  // 1 for -10002
  if (upvalue < 1 || upvalue > 254) return kNoUpvalue;
  return lua_upvalueindex(upvalue + 1);
}

void HostPushClosure(HostState* hs, HostCFunction function, int32_t upvalues) {
  lua_State* L = LuaOf(hs);
  void* holder = lua_newuserdatauv(L, sizeof function, 0);
  memcpy(holder, &function, sizeof function);
  lua_rotate(L, -(upvalues + 1), 1);
  lua_pushcclosure(L, Trampoline, upvalues + 1);
}

// Argument checks name the argument by its position from the bottom, also when given a negative index.
int ArgumentIndex(HostState* L, int32_t index) {
  return lua_absindex(LuaOf(L), HostMapIndex(index));
}

double HostCheckNumber(HostState* L, int32_t index) {
  return luaL_checknumber(LuaOf(L), ArgumentIndex(L, index));
}

double HostOptNumber(HostState* L, int32_t index, double fallback) {
  return luaL_optnumber(LuaOf(L), ArgumentIndex(L, index), fallback);
}

const char* HostCheckString(HostState* L, int32_t index) {
  return luaL_checkstring(LuaOf(L), ArgumentIndex(L, index));
}

const char* HostCheckText(HostState* L, int32_t index) {
  lua_State* lua = LuaOf(L);
  int at = ArgumentIndex(L, index);
  size_t length = 0;
  const char* text = luaL_checklstring(lua, at, &length);
  luaL_argcheck(lua, std::strlen(text) == length, at, "text holds a NUL byte");
  return text;
}

int32_t HostValueType(HostState* L, int32_t index) {
  return lua_type(LuaOf(L), HostMapIndex(index));
}

void* HostToUserdata(HostState* L, int32_t index) {
  return lua_touserdata(LuaOf(L), HostMapIndex(index));
}

void HostCheckObjectId(HostState* hs, int32_t index, ObjectId* id) {
  lua_State* L = LuaOf(hs);
  int at = ArgumentIndex(hs, index);
  if (lua_type(L, at) == LUA_TLIGHTUSERDATA) {
    id->number = 0;
    id->handle = reinterpret_cast<uintptr_t>(lua_touserdata(L, at));
    return;
  }
  if (lua_type(L, at) != LUA_TNUMBER) luaL_typeerror(L, at, "id");
  double value = std::trunc(lua_tonumber(L, at));
  if (!IsIdNumber(value)) luaL_argerror(L, at, "id out of range");
  id->number = static_cast<uint32_t>(value);
  id->handle = 0;
}

void HostOptObjectId(HostState* hs, int32_t index, ObjectId* id) {
  if (lua_isnoneornil(LuaOf(hs), HostMapIndex(index))) {
    id->number = 0;
    id->handle = HOST_AUTOMATIC_ID;
    return;
  }
  HostCheckObjectId(hs, index, id);
}

int32_t HostGetTop(HostState* L) {
  return lua_gettop(LuaOf(L));
}
void HostPushNil(HostState* L) {
  lua_pushnil(LuaOf(L));
}
void HostPushNumber(HostState* L, double value) {
  // Whole numbers reach scripts as integers, so that they print as 3 rather than 3.0.
  if (std::trunc(value) == value && std::fabs(value) < 9007199254740992.0 && !(value == 0 && std::signbit(value))) {
    lua_pushinteger(LuaOf(L), static_cast<lua_Integer>(value));
  } else {
    lua_pushnumber(LuaOf(L), value);
  }
}
void HostPushString(HostState* L, const char* text) {
  lua_pushstring(LuaOf(L), text);
}
void HostPushLString(HostState* L, const char* text, uint32_t length) {
  lua_pushlstring(LuaOf(L), text, length);
}
void HostPushLightUserdata(HostState* L, void* pointer) {
  lua_pushlightuserdata(LuaOf(L), pointer);
}
void* HostNewUserdata(HostState* L, uint32_t size) {
  void* block = lua_newuserdatauv(LuaOf(L), size, 0);
  memset(block, 0, size);
  return block;
}
int32_t HostNewMetatable(HostState* L, const char* name) {
  return luaL_newmetatable(LuaOf(L), name);
}
int32_t HostGetMetatable(HostState* L, const char* name) {
  return luaL_getmetatable(LuaOf(L), name);
}
void HostSetMetatable(HostState* L, int32_t index) {
  lua_setmetatable(LuaOf(L), HostMapIndex(index));
}

void* HostCheckUserdata(HostState* L, int32_t index, const char* metatable) {
  return luaL_checkudata(LuaOf(L), ArgumentIndex(L, index), metatable);
}

void HostPushValue(HostState* L, int32_t index) {
  lua_pushvalue(LuaOf(L), HostMapIndex(index));
}
void HostSetTop(HostState* L, int32_t index) {
  lua_settop(LuaOf(L), index);
}
void HostSetTable(HostState* L, int32_t index) {
  lua_settable(LuaOf(L), HostMapIndex(index));
}
void HostRawSetTable(HostState* L, int32_t index) {
  lua_rawset(LuaOf(L), HostMapIndex(index));
}
