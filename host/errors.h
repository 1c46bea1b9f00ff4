// Error messages registered by plugins, the argument that fills their %s, and raising them as script
// errors that carry the script's file and line.
#pragma once

#include <cstdint>

struct lua_State;

// Registers a message (copied) and gives its code; codes count up from HOST_FIRST_REGISTERED.
uint32_t HostRegisterErrorMessage(const char* text);
// Keeps a copy of text for the %s of the next raised error; null clears it.
void HostSetErrorArgument(const char* text);
// The registered or host-own message of code, unformatted; null for an unknown code.
const char* HostErrorMessage(int32_t code);
// Pushes "file:line: " (when the caller is a script function) and the message of code with its %s filled,
// then forgets the argument.
void HostPushError(lua_State* L, int32_t code);
// HostPushError, then raises the script error; does not return.
[[noreturn]] void HostRaiseError(lua_State* L, int32_t code);
// Forgets every registered message (between independent runs in tests).
void HostResetErrors();

constexpr int32_t HOST_FIRST_REGISTERED = 2000;
