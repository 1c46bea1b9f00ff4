// A running interpreter with the plugin's entry points called in-process, as korvadel calls them for a
// loaded module: InitPlugin with the host table, the text-encoding notification, InitLibrary, the `xlsx`
// table with every command and the constants as globals. Tests run script chunks and look at the plugin
// and the library directly. TearDown runs FreeLibrary and closes the interpreter, then checks that no
// library block is left.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "lib/sheet/worksheet.h"
#include "plugin/entry.h"
#include "plugin/globals.h"
#include "tests/support/host_fixture.h"

class CommandsTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    if (HasFatalFailure()) return;
    PluginInfo info{};
    ASSERT_EQ(InitPlugin(&info, HostApiTable()), 1u);
    HostNotify(HOST_NOTIFY_TEXT_ENCODING, HostCharsetIsUtf8() ? 1 : 0);
    ASSERT_EQ(InitLibrary(hs), 0);
    lua_newtable(L);
    for (const PluginCommand* c = GetCommands(); c->name; ++c) {
      api->PushClosure(hs, c->handler, 0);
      lua_setfield(L, -2, c->name);
    }
    lua_setglobal(L, "xlsx");
    for (const PluginConstant* k = GetConstants(); k->name; ++k) {
      api->PushNumber(hs, k->value);
      lua_setglobal(L, k->name);
    }
    scratch_ = std::string(COMMANDS_SCRATCH) + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::error_code ignored;
    std::filesystem::create_directories(scratch_, ignored);
    lua_pushstring(L, scratch_.c_str());
    lua_setglobal(L, "DIR");
  }

  void TearDown() override {
    FreeLibrary(hs);
    globals.textPassThrough = 1;
    xlsx_set_shared_strings_mode(0);
    HostTest::TearDown();
  }

  // True when the message ends with the registered text.
  static bool EndsWith(const std::string& message, const std::string& text) {
    return message.size() >= text.size() && message.compare(message.size() - text.size(), text.size(), text) == 0;
  }

  std::string scratch_;  // this test's scratch folder (the global DIR in chunks)
};
