#include "host/runtime.h"

#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/files.h"
#include "host/memory.h"
#include "host/objects.h"
#include "host/serializer_bridge.h"
#include "host/stack.h"
#include "host/text.h"

namespace {

int MessageHandler(lua_State* L) {
  const char* message = lua_tostring(L, 1);
  if (!message) message = lua_pushfstring(L, "(error object is a %s value)", luaL_typename(L, 1));
  luaL_traceback(L, L, message, 1);
  return 1;
}

// os.setlocale that keeps numbers in the "C" form whatever the script selects.
int SetLocale(lua_State* L) {
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, lua_gettop(L) - 1, 1);
  setlocale(LC_NUMERIC, "C");
  return 1;
}

// os.exit that shuts plugins and interpreter down in order before the process ends.
int Exit(lua_State* L) {
  int status = EXIT_SUCCESS;
  if (lua_isboolean(L, 1))
    status = lua_toboolean(L, 1) ? EXIT_SUCCESS : EXIT_FAILURE;
  else
    status = static_cast<int>(luaL_optinteger(L, 1, EXIT_SUCCESS));
  auto* runtime = static_cast<Runtime*>(lua_touserdata(L, lua_upvalueindex(1)));
  fflush(stdout);
  uint32_t leaks = runtime->Shutdown();
  exit(leaks && status == EXIT_SUCCESS ? 3 : status);
}

void SetArgTable(lua_State* L, const char* script, const std::vector<std::string>& hostArgs,
                 const std::vector<std::string>& args) {
  lua_createtable(L, static_cast<int>(args.size()), static_cast<int>(hostArgs.size()) + 1);
  for (size_t i = 0; i < hostArgs.size(); ++i) {
    lua_pushstring(L, hostArgs[i].c_str());
    lua_rawseti(L, -2, static_cast<lua_Integer>(i) - static_cast<lua_Integer>(hostArgs.size()));
  }
  lua_pushstring(L, script ? script : "-");
  lua_rawseti(L, -2, 0);
  for (size_t i = 0; i < args.size(); ++i) {
    lua_pushstring(L, args[i].c_str());
    lua_rawseti(L, -2, static_cast<lua_Integer>(i) + 1);
  }
  lua_setglobal(L, "arg");
}

uint32_t ReportLeaks() {
  uint32_t leaks = HostReportLeaks(stderr);
  if (HostOpenFiles()) fprintf(stderr, "korvadel: %u files still open\n", HostOpenFiles());
  if (HostLiveTexts()) fprintf(stderr, "korvadel: %u converted texts not released\n", HostLiveTexts());
  return leaks + HostOpenFiles() + HostLiveTexts();
}

}  // namespace

Runtime::~Runtime() {
  Shutdown();
}

bool Runtime::Start(const RuntimeOptions& options, std::string* error) {
  setlocale(LC_NUMERIC, "C");
  checkLeaks_ = options.checkLeaks;
  started_ = true;
  plugins_.reserve(options.plugins.size());
  for (const std::string& path : options.plugins) {
    plugins_.emplace_back();
    if (!LoadPlugin(path.c_str(), &plugins_.back(), error)) {
      plugins_.pop_back();
      Shutdown();
      return false;
    }
  }
  L_ = luaL_newstate();
  if (!L_) {
    *error = "cannot create the interpreter (out of memory)";
    Shutdown();
    return false;
  }
  luaL_openlibs(L_);
  InstallHostFunctions();
  for (Plugin& plugin : plugins_) InstallPlugin(plugin);
  return true;
}

void Runtime::InstallHostFunctions() {
  lua_register(L_, "GetAttribute", HostLuaGetAttribute);
  lua_pushlightuserdata(L_, this);
  lua_pushcclosure(L_, HostLuaSerializeTable, 1);
  lua_setglobal(L_, "SerializeTable");
  lua_pushlightuserdata(L_, this);
  lua_pushcclosure(L_, HostLuaDeserializeTable, 1);
  lua_setglobal(L_, "DeserializeTable");
  lua_getglobal(L_, "os");
  lua_getfield(L_, -1, "setlocale");
  lua_pushcclosure(L_, SetLocale, 1);
  lua_setfield(L_, -2, "setlocale");
  lua_pushlightuserdata(L_, this);
  lua_pushcclosure(L_, Exit, 1);
  lua_setfield(L_, -2, "exit");
  lua_pop(L_, 1);
}

void Runtime::InstallPlugin(Plugin& plugin) {
  plugin.initLibrary(HostOf(L_));
  const char* base = PluginBaseName(plugin);
  lua_newtable(L_);
  for (const PluginCommand* c = plugin.getCommands(); c && c->name; ++c) {
    HostPushClosure(HostOf(L_), c->handler, 0);
    lua_setfield(L_, -2, c->name);
  }
  luaL_getsubtable(L_, LUA_REGISTRYINDEX, LUA_LOADED_TABLE);
  lua_pushvalue(L_, -2);
  lua_setfield(L_, -2, base);
  lua_pop(L_, 1);
  lua_setglobal(L_, base);
  for (const PluginConstant* k = plugin.getConstants(); k && k->name; ++k) {
    HostPushNumber(HostOf(L_), k->value);
    lua_setglobal(L_, k->name);
  }
}

Plugin* Runtime::FindPlugin(const char* baseName) {
  for (Plugin& plugin : plugins_) {
    if (strcmp(PluginBaseName(plugin), baseName) == 0) return &plugin;
  }
  return nullptr;
}

int Runtime::RunScript(const char* script, const std::vector<std::string>& hostArgs,
                       const std::vector<std::string>& args) {
  bool fromStdin = !script || strcmp(script, "-") == 0;
  SetArgTable(L_, script, hostArgs, args);
  lua_pushcfunction(L_, MessageHandler);
  int status = luaL_loadfile(L_, fromStdin ? nullptr : script);
  if (status == LUA_OK) {
    luaL_checkstack(L_, static_cast<int>(args.size()) + 1, "too many script arguments");
    for (const std::string& a : args) lua_pushstring(L_, a.c_str());
    status = lua_pcall(L_, static_cast<int>(args.size()), 0, 1);
  }
  if (status != LUA_OK) {
    const char* message = lua_tostring(L_, -1);
    fprintf(stderr, "korvadel: %s\n", message ? message : "(error object is not a text)");
  }
  lua_settop(L_, 0);
  return status == LUA_OK ? EXIT_SUCCESS : EXIT_FAILURE;
}

bool Runtime::RunString(const char* chunk, std::string* error) {
  int status = luaL_loadstring(L_, chunk);
  if (status == LUA_OK) status = lua_pcall(L_, 0, 0, 0);
  if (status != LUA_OK) {
    const char* message = lua_tostring(L_, -1);
    *error = message ? message : "(error object is not a text)";
  }
  lua_settop(L_, 0);
  return status == LUA_OK;
}

uint32_t Runtime::Shutdown() {
  if (!started_) return 0;
  started_ = false;
  if (L_) {
    for (Plugin& plugin : plugins_) plugin.freeLibrary(HostOf(L_));
    lua_close(L_);
    L_ = nullptr;
  }
  for (Plugin& plugin : plugins_) ClosePlugin(&plugin);
  plugins_.clear();
  HostCloseConverters();
  return checkLeaks_ ? ReportLeaks() : 0;
}
