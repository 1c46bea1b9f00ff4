// The plugin's header, entry resolution, information record and the entry points that need no host.
#include <cstring>
#include <set>

#include "plugin/entry.h"
#include "plugin/globals.h"
#include "plugin/serializer.h"
#include "tests/support/live_allocations.h"

namespace {

using EntryPointsTest = xlsx_test::CountedTest;

constexpr const char* kEntryNames[] = {
    "InitPlugin",     "ClosePlugin",     "GetBaseTable",  "GetCommands",    "GetConstants",
    "GetHelpStrings", "InitLibrary",     "FreeLibrary",   "InitSerializer", "FreeSerializer",
    "SerializeItem",  "DeserializeItem", "GetExtensions",
};

TEST_F(EntryPointsTest, EveryNamedEntryResolvesToItsOwnFunctionAndNoOtherNameResolves) {
  EXPECT_EQ(ResolveEntry("InitPlugin"), reinterpret_cast<PluginEntryFn>(InitPlugin));
  EXPECT_EQ(ResolveEntry("GetExtensions"), reinterpret_cast<PluginEntryFn>(GetExtensions));
  EXPECT_EQ(ResolveEntry("DeserializeItem"), reinterpret_cast<PluginEntryFn>(DeserializeItem));
  std::set<PluginEntryFn> distinct;
  for (const char* name : kEntryNames) {
    ASSERT_NE(ResolveEntry(name), nullptr) << name;
    EXPECT_TRUE(distinct.insert(ResolveEntry(name)).second) << name << " resolves to another entry's function";
  }
  for (const char* name : {"", "initplugin", "INITPLUGIN", "InitPlugin ", "InitPlugi", "InitPluginX", "Open",
                           "ResolveEntry", "GetExtension"}) {
    EXPECT_EQ(ResolveEntry(name), nullptr) << '"' << name << '"';
  }
  EXPECT_EQ(ResolveEntry(nullptr), nullptr);
}

TEST_F(EntryPointsTest, TheHeaderHoldsMagicBigEndianVersionAndResolver) {
  const PluginHeader* header = PluginHeaderRecord();
  const auto* bytes = reinterpret_cast<const unsigned char*>(header);
  EXPECT_EQ(memcmp(bytes, "KORVADEL", 8), 0);
  const unsigned char version[4] = {0, 0, 0, 3};
  EXPECT_EQ(memcmp(bytes + 8, version, 4), 0);
  EXPECT_EQ(header->resolve, &ResolveEntry);
  EXPECT_STREQ(PluginVersionText(), "$VER: xlsx.kvp 1.1 (13.09.26) [ppc-amigaos]");
}

// Display name, version, revision, date and description reach the user in korvadel's command listing
// (korvadel_program_test checks that line); the other fields are checked here.
TEST_F(EntryPointsTest, InitPluginWithoutHostFillsTheInformationOnly) {
  PluginGlobals saved = globals;
  globals = PluginGlobals{};
  PluginInfo info;
  memset(&info, 0xAB, sizeof info);
  EXPECT_EQ(InitPlugin(&info, nullptr), 1u);
  EXPECT_EQ(info.capabilities, 0x000A0002u);
  EXPECT_TRUE(info.word3 == 9u && info.word4 == 0u && info.word12 == 0u);
  EXPECT_STREQ(info.baseName, "xlsx");
  EXPECT_TRUE(info.author && info.rights && info.url);
  EXPECT_STREQ(info.guide, "xlsx.guide");
  // Nothing was registered and no host was kept.
  EXPECT_EQ(globals.host, nullptr);
  for (uint32_t code : globals.errorCodes) EXPECT_EQ(code, 0u);
  EXPECT_EQ(globals.textPassThrough, 1u);
  globals = saved;
}

// GetExtensions answers only kind 2; without a stream there is nothing to serialize, so the serializer
// entry points report failure, not an empty workbook.
TEST_F(EntryPointsTest, TablesExtensionsAndSerializerWithoutAStream) {
  EXPECT_STREQ(GetBaseTable(), "xlsx");
  EXPECT_TRUE(GetCommands() && GetConstants() && GetHelpStrings());
  for (uint32_t kind : {0u, 1u, 2u, 3u, 0xFFFFFFFFu}) EXPECT_EQ(GetExtensions(kind), kind == 2 ? 4u : 0u) << kind;
  EXPECT_EQ(InitSerializer(nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(FreeSerializer(nullptr), 0);
}

}  // namespace
