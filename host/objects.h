// Object types registered by plugins (their record lists and attribute callbacks), the script-level
// GetAttribute, and notifications.
#pragma once

#include <cstdint>

#include "plugin/host_api.h"

struct lua_State;

// Registers an object type; gives its number (from 1 up).
uint32_t HostRegisterObjectType(HostState* L, const char* name, HostObjectHeader** listHead, HostAttributeFn attribute);
// Called by a plugin before it frees a record of one of its object lists.
void HostReleaseObject(HostState* L, void* record);
// Keeps handler for notifications of kind; nonzero on success, 0 for a null handler.
int32_t HostRegisterNotification(uint32_t kind, HostNotifyFn handler, uint32_t reserved);
// Calls every handler registered for kind with value.
void HostNotify(uint32_t kind, uint32_t value);
// Name of a registered type; null for an unknown number.
const char* HostObjectTypeName(uint32_t type);
// Number of records in the type's list; 0 for an unknown number.
uint32_t HostObjectCount(uint32_t type);
// Number of ReleaseObject calls so far.
uint32_t HostReleasedObjects();
// Script function GetAttribute(type, id, attribute): the type's attribute callback's results; an error
// code from the callback becomes a script error.
int HostLuaGetAttribute(lua_State* L);
// Forgets every type and notification.
void HostResetObjects();
