// The in-process host: a running korvadel interpreter with the host's operation table (HostTest), and the
// plugin initialised on it as korvadel initialises a loaded module (PluginTest).
#pragma once

#include <lauxlib.h>
#include <lua.h>

#include <filesystem>
#include <string>

#include "host/errors.h"
#include "host/files.h"
#include "host/host_table.h"
#include "host/memory.h"
#include "host/objects.h"
#include "host/runtime.h"
#include "host/stack.h"
#include "host/text.h"
#include "lib/base/host_ops.h"
#include "lib/sheet/worksheet.h"
#include "plugin/entry.h"
#include "plugin/globals.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"

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
    double value = Result(chunk) ? lua_tonumber(L, 1) : 0;
    lua_settop(L, 0);
    return value;
  }
  std::string Text(const std::string& chunk) {
    std::string value = !Result(chunk) ? "" : lua_isnoneornil(L, 1) ? "<nil>" : lua_tostring(L, 1);
    lua_settop(L, 0);
    return value;
  }

  Runtime runtime_;
  lua_State* L = nullptr;
  HostState* hs = nullptr;
  const HostApi* api = HostApiTable();

 private:
  bool Result(const std::string& chunk) {
    lua_settop(L, 0);
    if (luaL_dostring(L, chunk.c_str()) == LUA_OK) return true;
    ADD_FAILURE() << lua_tostring(L, -1);
    return false;
  }
};

// The plugin on a copy of the host table (host_, which a test may change to make single operations fail):
// InitPlugin, the text-encoding notification, InitLibrary, the `xlsx` table and the constants as globals,
// and a fresh scratch folder as the global DIR and as the host's temporary folder. TearDown runs
// FreeLibrary and checks that no plugin block, converted text, open file or temporary file is left.
class PluginTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    if (HasFatalFailure()) return;
    saved_ = globals;
    globals = PluginGlobals{};
    previous_tmp_ = getenv("TMPDIR") ? getenv("TMPDIR") : "";
    temp_ = dir_.file("host-temp");
    std::filesystem::create_directory(temp_);
    setenv("TMPDIR", temp_.c_str(), 1);
    tagged_ = HostLiveTaggedBlocks();
    texts_ = HostLiveTexts();
    files_ = HostOpenFiles();
    host_ = *HostApiTable();
    PluginInfo info{};
    ASSERT_EQ(InitPlugin(&info, &host_), 1u);
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
    lua_pushstring(L, dir_.path().c_str());
    lua_setglobal(L, "DIR");
  }

  void TearDown() override {
    FreeLibrary(hs);
    runtime_.Shutdown();  // the collector ends the loops still running, with the plugin still in place
    EXPECT_EQ(xlsx_test::list_dir(temp_), std::vector<std::string>{}) << "temporary files left";
    EXPECT_EQ(HostLiveTaggedBlocks(), tagged_) << "plugin blocks left allocated";
    EXPECT_EQ(HostLiveTexts(), texts_) << "converted texts not released";
    EXPECT_EQ(HostOpenFiles(), files_) << "files left open";
    xlsx_set_shared_strings_mode(0);
    xlsx_set_host_ops(nullptr);
    globals = saved_;
    if (previous_tmp_.empty()) unsetenv("TMPDIR");
    else setenv("TMPDIR", previous_tmp_.c_str(), 1);
    HostTest::TearDown();
  }

  // True when the message ends with the registered text.
  static bool EndsWith(const std::string& message, const std::string& text) {
    return message.size() >= text.size() && message.compare(message.size() - text.size(), text.size(), text) == 0;
  }

  HostApi host_{};
  xlsx_test::TempDir dir_;  // the global DIR
  std::string temp_;        // the host's temporary folder

 private:
  PluginGlobals saved_{};
  std::string previous_tmp_;
  uint32_t tagged_ = 0, texts_ = 0, files_ = 0;
};
