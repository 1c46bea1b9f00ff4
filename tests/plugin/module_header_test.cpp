// Finding the plugin header in a loaded module by its magic and version, and resolving entry points.
#include <dlfcn.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "host/module_loader.h"
#include "host/plugin_loader.h"
#include "tests/support/live_allocations.h"

namespace {

using ModuleHeaderTest = xlsx_test::CountedTest;

// The header is found by its magic and version (a module whose magic or version differ is refused), the
// resolver answers, and the file carries the version text.
TEST_F(ModuleHeaderTest, ThePluginsHeaderIsFoundAndTheFileCarriesTheVersionText) {
  LoadedModule module;
  std::string error;
  ASSERT_TRUE(LoadPluginModule(XLSX_KVP_PATH, &module, &error)) << error;
  ASSERT_NE(module.header, nullptr);
  EXPECT_NE(module.header->resolve("InitPlugin"), nullptr);
  UnloadPluginModule(&module);
  EXPECT_EQ(module.handle, nullptr);
  std::ifstream in(XLSX_KVP_PATH, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(bytes.find("$VER: xlsx.kvp 1.1 (13.09.26) [ppc-amigaos]"), std::string::npos);
}

// Bytes that look like a header but hold no resolver in the module's code do not hide the header after them.
TEST_F(ModuleHeaderTest, AStrayMagicBeforeTheHeaderIsPassedOver) {
  LoadedModule module;
  std::string error;
  ASSERT_TRUE(LoadPluginModule(MODULE_STRAY_MAGIC, &module, &error)) << error;
  ASSERT_NE(module.header, nullptr);
  EXPECT_NE(module.header->resolve, nullptr);
  EXPECT_EQ(module.header->resolve("InitPlugin"), nullptr);
  UnloadPluginModule(&module);
}

TEST_F(ModuleHeaderTest, ThePluginExportsNoSymbolsTheHostCouldUseInstead) {
  void* handle = dlopen(XLSX_KVP_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(dlsym(handle, "_Z12ResolveEntryPKc"), nullptr);
  EXPECT_EQ(dlsym(handle, "_Z10InitPluginP10PluginInfoPK7HostApi"), nullptr);
  dlclose(handle);
}

TEST_F(ModuleHeaderTest, ModulesThatAreNoPluginOfThisVersionAreRefused) {
  const struct {
    const char* path;
    const char* error;
  } rows[] = {
      {MODULE_NO_MAGIC, "not a Korvadel plugin: no header with the magic \"KORVADEL\""},
      {MODULE_OTHER_VERSION, "plugin header version 2 is not supported (expected 3)"},
      // Version 3 written in the wrong byte order is another version.
      {MODULE_LITTLE_ENDIAN_VERSION, "plugin header version 50331648 is not supported"},
      {MODULE_STRAY_ONLY, "the plugin header's ResolveEntry address lies outside the module's code"},
      {"/nonexistent/xlsx.kvp", "cannot load plugin /nonexistent/xlsx.kvp"},
  };
  for (const auto& row : rows) {
    LoadedModule module;
    std::string error;
    EXPECT_FALSE(LoadPluginModule(row.path, &module, &error)) << row.path;
    EXPECT_EQ(module.handle, nullptr);
    EXPECT_NE(error.find(row.error), std::string::npos) << error;
  }
  Plugin plugin;
  std::string error;
  EXPECT_FALSE(LoadPlugin(MODULE_MISSING_ENTRIES, &plugin, &error));
  EXPECT_NE(error.find("the plugin has no entry point InitPlugin"), std::string::npos) << error;
  EXPECT_EQ(plugin.module.handle, nullptr);
}

}  // namespace
