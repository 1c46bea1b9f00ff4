#include "host/objects.h"

#include <lauxlib.h>
#include <lua.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/errors.h"
#include "host/stack.h"

namespace {

struct ObjectType {
  std::string name;
  HostObjectHeader** listHead;
  HostAttributeFn attribute;
};

struct Notification {
  uint32_t kind;
  HostNotifyFn handler;
};

std::vector<ObjectType> types;
std::vector<Notification> notifications;
uint32_t released = 0;

const ObjectType* FindType(uint32_t type) {
  if (type == 0 || type > types.size()) return nullptr;
  return &types[type - 1];
}

}  // namespace

uint32_t HostRegisterObjectType(HostState*, const char* name, HostObjectHeader** listHead, HostAttributeFn attribute) {
  types.push_back(ObjectType{name ? name : "", listHead, attribute});
  return static_cast<uint32_t>(types.size());
}

void HostReleaseObject(HostState*, void* record) {
  auto* header = static_cast<HostObjectHeader*>(record);
  if (header && !FindType(header->type)) {
    fprintf(stderr, "korvadel: ReleaseObject of a record of unknown type %u\n", header->type);
  }
  ++released;
}

int32_t HostRegisterNotification(uint32_t kind, HostNotifyFn handler, uint32_t) {
  if (!handler) return 0;
  notifications.push_back(Notification{kind, handler});
  return 1;
}

void HostNotify(uint32_t kind, uint32_t value) {
  for (const Notification& n : notifications) {
    if (n.kind == kind) n.handler(value);
  }
}

const char* HostObjectTypeName(uint32_t type) {
  const ObjectType* found = FindType(type);
  return found ? found->name.c_str() : nullptr;
}

uint32_t HostObjectCount(uint32_t type) {
  const ObjectType* found = FindType(type);
  if (!found || !found->listHead) return 0;
  uint32_t count = 0;
  for (HostObjectHeader* record = *found->listHead; record; record = record->next) ++count;
  return count;
}

uint32_t HostReleasedObjects() {
  return released;
}

int HostLuaGetAttribute(lua_State* L) {
  lua_Integer type = luaL_checkinteger(L, 1);
  ObjectId id;
  HostCheckObjectId(reinterpret_cast<HostState*>(L), 2, &id);
  lua_Integer attribute = luaL_checkinteger(L, 3);
  const ObjectType* found =
      (type > 0 && type <= static_cast<lua_Integer>(types.size())) ? FindType(static_cast<uint32_t>(type)) : nullptr;
  if (!found || !found->attribute) return luaL_argerror(L, 1, "unknown object type");
  if (attribute < 0 || attribute > static_cast<lua_Integer>(UINT32_MAX)) HostRaiseError(L, HOST_ERR_UNKNOWN_ATTRIBUTE);
  int top = lua_gettop(L);
  int32_t result = found->attribute(reinterpret_cast<HostState*>(L), static_cast<uint32_t>(attribute), &id);
  if (result >= HOST_FIRST_ERROR) HostRaiseError(L, result);
  if (result < 0 || lua_gettop(L) < top + result) return luaL_error(L, "attribute callback returned %d", result);
  return result;
}

void HostResetObjects() {
  types.clear();
  notifications.clear();
  released = 0;
}
