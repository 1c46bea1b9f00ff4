// The interpreter's value stack as plugins see it: argument checks, pushes, closures whose first
// plugin upvalue is reached through the pseudo-index -10002, userdata and metatables.
#pragma once

#include <cstdint>

#include "plugin/host_api.h"

struct lua_State;

inline lua_State* LuaOf(HostState* L) {
  return reinterpret_cast<lua_State*>(L);
}
inline HostState* HostOf(lua_State* L) {
  return reinterpret_cast<HostState*>(L);
}

// The interpreter's index for a plugin index: the registry pseudo-index, upvalue pseudo-indexes (shifted
// past the slot that holds the plugin function), or a plain stack index.
int HostMapIndex(int32_t index);
// Pushes a closure that calls function with the upvalues taken from the top of the stack; a result of
// HOST_FIRST_ERROR or more becomes a script error with that code's message.
void HostPushClosure(HostState* L, HostCFunction function, int32_t upvalues);

double HostCheckNumber(HostState* L, int32_t index);
double HostOptNumber(HostState* L, int32_t index, double fallback);
const char* HostCheckString(HostState* L, int32_t index);
// HostCheckString that also raises an argument error for a string holding a NUL byte.
const char* HostCheckText(HostState* L, int32_t index);
int32_t HostValueType(HostState* L, int32_t index);
void* HostToUserdata(HostState* L, int32_t index);
// An explicit id (a number from 0 to 4294967295, truncated) gives (n, 0), a light userdata (0, handle);
// anything else raises a script error.
void HostCheckObjectId(HostState* L, int32_t index, ObjectId* id);
// As HostCheckObjectId, but nil or a missing argument gives (0, HOST_AUTOMATIC_ID).
void HostOptObjectId(HostState* L, int32_t index, ObjectId* id);
int32_t HostGetTop(HostState* L);
void HostPushNil(HostState* L);
// Pushes value; a whole number within +-2^53 is pushed as an interpreter integer (-0 stays a float).
void HostPushNumber(HostState* L, double value);
void HostPushString(HostState* L, const char* text);
void HostPushLString(HostState* L, const char* text, uint32_t length);
void HostPushLightUserdata(HostState* L, void* pointer);
// New full userdata of size bytes, zero-filled, pushed on the stack.
void* HostNewUserdata(HostState* L, uint32_t size);
int32_t HostNewMetatable(HostState* L, const char* name);
int32_t HostGetMetatable(HostState* L, const char* name);
void HostSetMetatable(HostState* L, int32_t index);
void* HostCheckUserdata(HostState* L, int32_t index, const char* metatable);
void HostPushValue(HostState* L, int32_t index);
void HostSetTop(HostState* L, int32_t index);
void HostSetTable(HostState* L, int32_t index);
void HostRawSetTable(HostState* L, int32_t index);
