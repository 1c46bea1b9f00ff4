// A running korvadel interpreter with the host's operation table but no plugin module: tests define
// plugin-style functions through the table (Define) and run script chunks. Suites that need the plugin
// derive from it and initialise the plugin in their SetUp.
#pragma once

#include <lauxlib.h>
#include <lua.h>

#include <string>

#include "host/errors.h"
#include "host/host_table.h"
#include "host/objects.h"
#include "host/runtime.h"
#include "host/stack.h"
#include "host/text.h"
#include "tests/support/live_allocations.h"

class HostTest : public xlsx_test::CountedTest {
 public:
  // Runs chunk; "" on success, else the error message.
  std::string Run(const std::string& chunk) {
    std::string error;
    return runtime_.RunString(chunk.c_str(), &error) ? "" : error;
  }

 protected:
  // The system character set selected before the interpreter starts; "" keeps UTF-8.
  virtual const char* Charset() const { return ""; }

  void SetUp() override {
    CountedTest::SetUp();
    HostResetErrors();
    HostResetObjects();
    if (*Charset()) {
      ASSERT_TRUE(HostSetCharset(Charset()));
    }
    std::string error;
    ASSERT_TRUE(runtime_.Start(RuntimeOptions{}, &error)) << error;
    L = runtime_.state();
    hs = HostOf(L);
  }

  void TearDown() override {
    runtime_.Shutdown();
    HostResetErrors();
    HostResetObjects();
    HostSetCharset("UTF-8");
    CountedTest::TearDown();
  }

  // Makes function a global closure over the `upvalues` values on top of the stack.
  void Define(const char* name, HostCFunction function, int upvalues = 0) {
    api->PushClosure(hs, function, upvalues);
    lua_setglobal(L, name);
  }

  // Runs chunk and gives its first result as a number / a text ("<nil>" for nil or no result).
  double Number(const std::string& chunk) {
    double value = 0;
    if (luaL_dostring(L, chunk.c_str()) != LUA_OK)
      ADD_FAILURE() << lua_tostring(L, -1);
    else
      value = lua_tonumber(L, 1);
    lua_settop(L, 0);
    return value;
  }
  std::string Text(const std::string& chunk) {
    std::string value;
    if (luaL_dostring(L, chunk.c_str()) != LUA_OK)
      ADD_FAILURE() << lua_tostring(L, -1);
    else
      value = lua_isnoneornil(L, 1) ? "<nil>" : lua_tostring(L, 1);
    lua_settop(L, 0);
    return value;
  }

  Runtime runtime_;
  lua_State* L = nullptr;
  HostState* hs = nullptr;
  const HostApi* api = HostApiTable();
};
