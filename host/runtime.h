// The interpreter with its plugins: start-up (plugins loaded, interpreter created, each plugin's library
// initialised and installed as a global table with its constants), running scripts, and shut-down
// (FreeLibrary, the interpreter closed, ClosePlugin, leak report).
#pragma once

#include <string>
#include <vector>

#include "host/plugin_loader.h"

struct lua_State;

struct RuntimeOptions {
  std::vector<std::string> plugins;  // module paths, loaded in this order
  bool checkLeaks = false;           // report live plugin memory, texts and files at shut-down
};

class Runtime {
 public:
  Runtime() = default;
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;
  ~Runtime();

  // Loads the plugins and creates the interpreter; false with *error set on the first failure (whatever
  // was started is shut down again).
  bool Start(const RuntimeOptions& options, std::string* error);
  // Runs the script file (null or "-" reads standard input) with args as `arg` and `...`; argv0 and
  // hostArgs become arg[-n..-1] as the standalone interpreter sets them. Returns the exit status: 0, 1 for
  // a script error (reported on stderr), or the code given to os.exit.
  int RunScript(const char* script, const std::vector<std::string>& hostArgs, const std::vector<std::string>& args);
  // Runs a chunk of text; returns true on success, else false with *error holding the message.
  bool RunString(const char* chunk, std::string* error);
  // Shuts everything down in order; returns the number of leaks found when checking, else 0. Safe to call
  // twice.
  uint32_t Shutdown();

  lua_State* state() const { return L_; }
  std::vector<Plugin>& plugins() { return plugins_; }
  // The plugin with that base name; null when none has it.
  Plugin* FindPlugin(const char* baseName);

 private:
  void InstallPlugin(Plugin& plugin);
  void InstallHostFunctions();

  std::vector<Plugin> plugins_;
  lua_State* L_ = nullptr;
  bool checkLeaks_ = false;
  bool started_ = false;
};
