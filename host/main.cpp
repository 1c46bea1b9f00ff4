// korvadel: runs scripts with the plugins loaded, as the Korvadel runtime does.
//   korvadel [options] SCRIPT [ARGS...]     run a script ("-" reads standard input)
//   korvadel [options] --commands           list the plugins' commands with their help texts
// Options: --plugin PATH (repeatable), --charset NAME, --check-leaks. Environment: KORVADEL_PLUGIN
// (paths separated by ':'), KORVADEL_CHARSET, KORVADEL_CHECK_LEAKS=1. Without a plugin path the plugin
// beside the executable is used, else the one of the build tree korvadel was built in.
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/runtime.h"
#include "host/text.h"

#ifndef KORVADEL_BUILD_PLUGIN
#define KORVADEL_BUILD_PLUGIN ""
#endif

namespace {

constexpr const char* kPluginFile = "xlsx.kvp";

struct CommandLine {
  RuntimeOptions runtime;
  std::string charset;
  bool listCommands = false;
  const char* script = nullptr;
  std::vector<std::string> hostArgs;  // everything before the script, the program name first
  std::vector<std::string> scriptArgs;
};

void Usage(FILE* out) {
  fputs(
      "usage: korvadel [--plugin PATH]... [--charset NAME] [--check-leaks] SCRIPT [ARGS...]\n"
      "       korvadel [--plugin PATH]... --commands\n",
      out);
}

bool Exists(const std::string& path) {
  return !path.empty() && access(path.c_str(), R_OK) == 0;
}

std::string BesideExecutable() {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "";
  self[n] = '\0';
  char* slash = strrchr(self, '/');
  if (!slash) return "";
  slash[1] = '\0';
  return std::string(self) + kPluginFile;
}

void SplitPaths(const char* list, std::vector<std::string>* out) {
  std::string rest = list;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find(':', start);
    if (end == std::string::npos) end = rest.size();
    if (end > start) out->push_back(rest.substr(start, end - start));
    start = end + 1;
  }
}

// Fills the plugin list from the environment or the default places when no --plugin was given.
bool ChoosePlugins(std::vector<std::string>* plugins) {
  if (!plugins->empty()) return true;
  const char* env = getenv("KORVADEL_PLUGIN");
  if (env && *env) SplitPaths(env, plugins);
  if (!plugins->empty()) return true;
  for (const std::string& candidate : {BesideExecutable(), std::string(KORVADEL_BUILD_PLUGIN)}) {
    if (Exists(candidate)) {
      plugins->push_back(candidate);
      return true;
    }
  }
  fprintf(stderr, "korvadel: no plugin found; give one with --plugin PATH or KORVADEL_PLUGIN\n");
  return false;
}

// Parses the options before the script; returns -1 to go on, else an exit status.
int ParseArgs(int argc, char** argv, CommandLine* cl) {
  cl->hostArgs.push_back(argv[0]);
  int i = 1;
  for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; ++i) {
    std::string option = argv[i];
    if (option == "--") {
      ++i;
      break;
    }
    cl->hostArgs.push_back(option);
    if ((option == "--plugin" || option == "--charset") && i + 1 < argc) {
      std::string value = argv[++i];
      cl->hostArgs.push_back(value);
      if (option == "--plugin")
        cl->runtime.plugins.push_back(value);
      else
        cl->charset = value;
    } else if (option == "--check-leaks") {
      cl->runtime.checkLeaks = true;
    } else if (option == "--commands") {
      cl->listCommands = true;
    } else if (option == "--help" || option == "-h") {
      Usage(stdout);
      return EXIT_SUCCESS;
    } else {
      fprintf(stderr, "korvadel: unknown or incomplete option %s\n", option.c_str());
      Usage(stderr);
      return EXIT_FAILURE;
    }
  }
  if (!cl->listCommands && i >= argc) {
    Usage(stderr);
    return EXIT_FAILURE;
  }
  if (i < argc) cl->script = argv[i++];
  for (; i < argc; ++i) cl->scriptArgs.push_back(argv[i]);
  return -1;
}

bool ApplyEnvironment(CommandLine* cl) {
  const char* leaks = getenv("KORVADEL_CHECK_LEAKS");
  if (leaks && *leaks && strcmp(leaks, "0") != 0) cl->runtime.checkLeaks = true;
  const char* charset = getenv("KORVADEL_CHARSET");
  if (cl->charset.empty() && charset && *charset) cl->charset = charset;
  if (!cl->charset.empty() && !HostSetCharset(cl->charset.c_str())) {
    fprintf(stderr, "korvadel: unknown character set %s (or one whose characters hold NUL bytes)\n", cl->charset.c_str());
    return false;
  }
  return ChoosePlugins(&cl->runtime.plugins);
}

void ListCommands(Runtime& runtime) {
  for (Plugin& plugin : runtime.plugins()) {
    const PluginInfo& info = plugin.info;
    printf("%s %u.%u (%s): %s\n", info.displayName ? info.displayName : "?", info.version, info.revision,
           info.date ? info.date : "", info.description ? info.description : "");
    const PluginHelp* help = plugin.getHelpStrings();
    const char* base = PluginBaseName(plugin);
    int count = PluginCommandCount(plugin);
    const PluginCommand* commands = plugin.getCommands();
    for (int i = 0; i < count; ++i) {
      std::string name = std::string(base) + "." + commands[i].name;
      printf("  %-26s %s\n", name.c_str(), help && help[i].text ? help[i].text : "");
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  setlocale(LC_NUMERIC, "C");
  CommandLine cl;
  int status = ParseArgs(argc, argv, &cl);
  if (status >= 0) return status;
  if (!ApplyEnvironment(&cl)) return EXIT_FAILURE;
  Runtime runtime;
  std::string error;
  if (!runtime.Start(cl.runtime, &error)) {
    fprintf(stderr, "korvadel: %s\n", error.c_str());
    return EXIT_FAILURE;
  }
  status = EXIT_SUCCESS;
  if (cl.listCommands) ListCommands(runtime);
  if (cl.script) status = runtime.RunScript(cl.script, cl.hostArgs, cl.scriptArgs);
  fflush(stdout);
  uint32_t leaks = runtime.Shutdown();
  return (leaks && status == EXIT_SUCCESS) ? 3 : status;
}
