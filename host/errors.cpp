#include "host/errors.h"

#include <lauxlib.h>
#include <lua.h>

#include <string>
#include <vector>

#include "plugin/host_api.h"

namespace {

std::vector<std::string> registered;
std::string argument;

// The message with its first %s replaced by the argument; other bytes are kept as they are.
void PushFilled(lua_State* L, const char* message) {
  luaL_Buffer buffer;
  luaL_buffinit(L, &buffer);
  bool filled = false;
  for (const char* p = message; *p; ++p) {
    if (!filled && p[0] == '%' && p[1] == 's') {
      luaL_addlstring(&buffer, argument.data(), argument.size());
      filled = true;
      ++p;
    } else {
      luaL_addchar(&buffer, *p);
    }
  }
  luaL_pushresult(&buffer);
}

}  // namespace

uint32_t HostRegisterErrorMessage(const char* text) {
  registered.emplace_back(text ? text : "");
  return static_cast<uint32_t>(HOST_FIRST_REGISTERED + registered.size() - 1);
}

void HostSetErrorArgument(const char* text) {
  argument = text ? text : "";
}

const char* HostErrorMessage(int32_t code) {
  if (code == HOST_ERR_NO_MEMORY) return "out of memory";
  if (code == HOST_ERR_UNKNOWN_ATTRIBUTE) return "unknown attribute";
  int64_t index = static_cast<int64_t>(code) - HOST_FIRST_REGISTERED;
  if (index < 0 || index >= static_cast<int64_t>(registered.size())) return nullptr;
  return registered[static_cast<size_t>(index)].c_str();
}

void HostPushError(lua_State* L, int32_t code) {
  luaL_where(L, 1);
  const char* message = HostErrorMessage(code);
  if (message)
    PushFilled(L, message);
  else
    lua_pushfstring(L, "unknown error code %d", static_cast<int>(code));
  lua_concat(L, 2);
  argument.clear();
}

void HostRaiseError(lua_State* L, int32_t code) {
  HostPushError(L, code);
  lua_error(L);
  __builtin_unreachable();
}

void HostResetErrors() {
  registered.clear();
  argument.clear();
}
