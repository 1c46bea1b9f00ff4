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

std::string LoadError(const char* path) {
  LoadedModule module;
  std::string error;
  EXPECT_FALSE(LoadPluginModule(path, &module, &error));
  EXPECT_EQ(module.handle, nullptr);
  return error;
}

TEST_F(ModuleHeaderTest, ThePluginsHeaderIsFoundByItsMagicAndVersion) {
  LoadedModule module;
  std::string error;
  ASSERT_TRUE(LoadPluginModule(XLSX_KVP_PATH, &module, &error)) << error;
  ASSERT_NE(module.header, nullptr);
  EXPECT_EQ(memcmp(module.header->magic, "KORVADEL", 8), 0);
  const uint8_t* v = module.header->version;
  EXPECT_EQ((v[0] << 24) | (v[1] << 16) | (v[2] << 8) | v[3], 3);
  EXPECT_NE(module.header->resolve("InitPlugin"), nullptr);
  UnloadPluginModule(&module);
  EXPECT_EQ(module.handle, nullptr);
}

TEST_F(ModuleHeaderTest, ThePluginExportsNoSymbolsTheHostCouldUseInstead) {
  void* handle = dlopen(XLSX_KVP_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(dlsym(handle, "_Z12ResolveEntryPKc"), nullptr);
  EXPECT_EQ(dlsym(handle, "_Z10InitPluginP10PluginInfoPK7HostApi"), nullptr);
  dlclose(handle);
}

TEST_F(ModuleHeaderTest, AModuleWithoutTheMagicIsRefused) {
  std::string error = LoadError(MODULE_NO_MAGIC);
  EXPECT_NE(error.find("not a Korvadel plugin: no header with the magic \"KORVADEL\""), std::string::npos) << error;
}

TEST_F(ModuleHeaderTest, AnotherHeaderVersionIsRefused) {
  EXPECT_NE(LoadError(MODULE_OTHER_VERSION).find("plugin header version 2 is not supported (expected 3)"),
            std::string::npos);
  // Version 3 written in the wrong byte order is another version.
  EXPECT_NE(LoadError(MODULE_LITTLE_ENDIAN_VERSION).find("plugin header version 50331648 is not supported"),
            std::string::npos);
}

TEST_F(ModuleHeaderTest, AMissingFileIsRefused) {
  EXPECT_NE(LoadError("/nonexistent/xlsx.kvp").find("cannot load plugin /nonexistent/xlsx.kvp"), std::string::npos);
}

TEST_F(ModuleHeaderTest, AModuleWithoutEntryPointsIsRefused) {
  Plugin plugin;
  std::string error;
  EXPECT_FALSE(LoadPlugin(MODULE_MISSING_ENTRIES, &plugin, &error));
  EXPECT_NE(error.find("the plugin has no entry point InitPlugin"), std::string::npos) << error;
  EXPECT_EQ(plugin.module.handle, nullptr);
}

TEST_F(ModuleHeaderTest, TheFileCarriesTheVersionText) {
  std::ifstream in(XLSX_KVP_PATH, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(bytes.find("$VER: xlsx.kvp 1.1 (13.09.26) [ppc-amigaos]"), std::string::npos);
}

}  // namespace
