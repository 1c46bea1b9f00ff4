// A fixture with a running interpreter and the host's operation table but no plugin module: tests define
// plugin-style functions through the table and call them from script chunks.
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
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    HostResetErrors();
    HostResetObjects();
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

  // Runs chunk; "" on success, else the error message.
  std::string Run(const char* chunk) {
    std::string error;
    return runtime_.RunString(chunk, &error) ? "" : error;
  }

  // Runs chunk, which must return one number.
  double Number(const char* chunk) {
    EXPECT_EQ(luaL_dostring(L, chunk), LUA_OK) << lua_tostring(L, -1);
    double value = lua_tonumber(L, -1);
    lua_settop(L, 0);
    return value;
  }

  Runtime runtime_;
  lua_State* L = nullptr;
  HostState* hs = nullptr;
  const HostApi* api = HostApiTable();
};
