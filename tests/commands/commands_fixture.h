// A running interpreter with the plugin's entry points called in-process, as korvadel calls them for a
// loaded module: InitPlugin with the host table, the text-encoding notification, InitLibrary, the `xlsx`
// table with every command and the constants as globals. Tests run script chunks and look at the plugin
// and the library directly. TearDown runs FreeLibrary and closes the interpreter, then checks that no
// library block is left.
#pragma once

#include <lauxlib.h>
#include <lua.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "host/errors.h"
#include "host/host_table.h"
#include "host/objects.h"
#include "host/runtime.h"
#include "host/stack.h"
#include "host/text.h"
#include "lib/sheet/worksheet.h"
#include "plugin/entry.h"
#include "plugin/globals.h"
#include "tests/support/live_allocations.h"

class CommandsTest : public xlsx_test::CountedTest {
 public:
  // Runs chunk; "" on success, else the error message.
  std::string RunChunk(const std::string& chunk) {
    std::string error;
    return runtime_.RunString(chunk.c_str(), &error) ? "" : error;
  }

 protected:
  // Selects the system character set before the plugin is told about it; "" keeps UTF-8.
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
    PluginInfo info{};
    ASSERT_EQ(InitPlugin(&info, HostApiTable()), 1u);
    HostNotify(HOST_NOTIFY_TEXT_ENCODING, HostCharsetIsUtf8() ? 1 : 0);
    ASSERT_EQ(InitLibrary(hs), 0);
    InstallCommands();
    scratch_ = std::string(COMMANDS_SCRATCH) + "/" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::error_code ignored;
    std::filesystem::create_directories(scratch_, ignored);
    lua_pushstring(L, scratch_.c_str());
    lua_setglobal(L, "DIR");
  }

  void TearDown() override {
    FreeLibrary(hs);
    runtime_.Shutdown();
    HostResetErrors();
    HostResetObjects();
    HostSetCharset("UTF-8");
    globals.textPassThrough = 1;
    xlsx_set_shared_strings_mode(0);
    CountedTest::TearDown();
  }

  // Runs chunk; "" on success, else the error message.
  std::string Run(const std::string& chunk) { return RunChunk(chunk); }

  // Runs chunk and gives its first result as a number / a text ("<nil>" for nil or no result).
  double Number(const std::string& chunk) {
    double value = 0;
    if (luaL_dostring(L, chunk.c_str()) != LUA_OK) ADD_FAILURE() << lua_tostring(L, -1);
    else value = lua_tonumber(L, 1);
    lua_settop(L, 0);
    return value;
  }
  std::string Text(const std::string& chunk) {
    std::string value;
    if (luaL_dostring(L, chunk.c_str()) != LUA_OK) ADD_FAILURE() << lua_tostring(L, -1);
    else value = lua_isnoneornil(L, 1) ? "<nil>" : lua_tostring(L, 1);
    lua_settop(L, 0);
    return value;
  }

  // A file name in the scratch folder of this test (the global DIR in chunks).
  std::string Path(const char* name) const { return scratch_ + "/" + name; }

  // True when the message ends with the registered text.
  static bool EndsWith(const std::string& message, const std::string& text) {
    return message.size() >= text.size() && message.compare(message.size() - text.size(), text.size(), text) == 0;
  }

  Runtime runtime_;
  lua_State* L = nullptr;
  HostState* hs = nullptr;
  std::string scratch_;

 private:
  void InstallCommands() {
    lua_newtable(L);
    for (const PluginCommand* c = GetCommands(); c->name; ++c) {
      HostApiTable()->PushClosure(hs, c->handler, 0);
      lua_setfield(L, -2, c->name);
    }
    lua_setglobal(L, "xlsx");
    for (const PluginConstant* k = GetConstants(); k->name; ++k) {
      HostApiTable()->PushNumber(hs, k->value);
      lua_setglobal(L, k->name);
    }
  }
};
