// The host stand-in's services as the plugin uses them: stack operations and object ids, registered
// errors, counted memory, files, text conversion (its own ISO-8859-1 converter included), and finding a
// plugin's header in a module.
#include <dlfcn.h>

#include <cstdarg>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "host/module_loader.h"
#include "host/plugin_loader.h"
#include "host/regions.h"
#include "tests/support/cases.h"
#include "tests/support/host_fixture.h"

namespace {

uint32_t open_code = 0, plain_code = 0;
const HostApi* host() { return HostApiTable(); }

// The number and handle of the id argument, read as required or (with a second argument) optional.
int32_t ReadId(HostState* L) {
  ObjectId id{7, 7};
  if (host()->OptNumber(L, 2, 0) == 1) host()->OptObjectId(L, 1, &id);
  else host()->CheckObjectId(L, 1, &id);
  host()->PushNumber(L, id.number);
  host()->PushNumber(L, static_cast<double>(id.handle));
  return 2;
}
// fail(n): error code n of the list (1 with an argument for %s); fail(6) returns 1, 2.
int32_t Fail(HostState* L) {
  int32_t which = static_cast<int32_t>(host()->OptNumber(L, 1, 0));
  if (which == 1) host()->SetErrorArgument("book.xlsx");
  const int32_t codes[] = {
      0, int32_t(open_code), int32_t(plain_code), HOST_ERR_NO_MEMORY, HOST_ERR_UNKNOWN_ATTRIBUTE, 999999};
  if (which < 6) return codes[which];
  host()->PushNumber(L, 1);
  host()->PushNumber(L, 2);
  return 2;
}

class HostServices : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    open_code = api->RegisterErrorMessage("Error opening XLSX document %s!");
    plain_code = api->RegisterErrorMessage("Cannot find specified XLSX document!");
    Define("id", ReadId);
    Define("raw", [](HostState* L) -> int32_t { host()->RawSetTable(L, 1); return 0; });  // t[k] = v, no metamethods
    Define("fail", Fail);
  }
};

// Each chunk of the table asserts its own results or gives the error expected.
TEST_F(HostServices, StackOperationsIdsAndErrors) {
  for (const auto& row : xlsx_test::read_cases("plugin/plugin.cases", "chunk")) {
    std::string error = Run(row[0]);
    EXPECT_TRUE(row[1].empty() ? error.empty() : error.find(row[1]) != std::string::npos) << row.where << ": " << error;
  }
  EXPECT_EQ(Run("local x = 1\n\nfail(2)"), "[string \"local x = 1...\"]:3: Cannot find specified XLSX document!");
  EXPECT_TRUE(plain_code == open_code + 1 && open_code >= uint32_t(HOST_FIRST_ERROR));
  api->SetErrorArgument("stale.xlsx");
  EXPECT_NE(Run("fail(1)").find("book.xlsx"), std::string::npos);
  api->SetErrorArgument("x");
  Run("fail(1)");
  EXPECT_EQ(Run("fail(2)"), "[string \"fail(2)\"]:1: Cannot find specified XLSX document!")
      << "the argument is used once";
}

using HostMemory = xlsx_test::CountedTest;

// Fills n bytes with a pattern that depends on the position (check: only compares with it).
bool fill(void* block, size_t n, bool check = false) {
  auto* bytes = static_cast<unsigned char*>(block);
  for (size_t i = 0; i < n; i += 997) {
    if (check && bytes[i] != static_cast<unsigned char>(i / 997 + 1)) return false;
    bytes[i] = static_cast<unsigned char>(i / 997 + 1);
  }
  return true;
}

TEST_F(HostMemory, TaggedAndCStyleBlocksAreCountedAndLargeOnesKeepTheirBytes) {
  uint32_t tagged = HostLiveTaggedBlocks(), c_blocks = HostLiveCBlocks();
  auto* record = static_cast<unsigned char*>(HostAllocMem(28, 1, "xlsx"));
  void* text = HostAllocMem(5, 0, "serializeinfo");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(record), 28), std::string(28, '\0')) << "cleared on request";
  EXPECT_EQ(HostLiveTaggedBlocks(), tagged + 2);
  EXPECT_EQ(HostLiveTaggedBlocksWithTag("xlsx"), 1u);
  FILE* out = tmpfile();
  EXPECT_GE(HostReportLeaks(out), 2u);
  rewind(out);
  std::string report(4096, '\0');
  report.resize(fread(report.data(), 1, report.size(), out));
  fclose(out);
  EXPECT_NE(report.find("tag \"serializeinfo\""), std::string::npos) << report;
  HostFreeMem(record);
  HostFreeMem(text);
  HostFreeMem(nullptr);
  EXPECT_EQ(HostLiveTaggedBlocks(), tagged);
  EXPECT_EQ(HostAllocMem(UINT32_MAX, 0, "xlsx"), nullptr) << "an impossible size";
  void* a = HostMalloc(0);
  void* b = HostCalloc(0, 8);
  RegionFigures before = RegionCurrentFigures();
  // Small and large blocks, growing and shrinking, in and out of mappings of their own.
  const uint32_t sizes[] = {100, 300u << 10, 5u << 20, 200u << 10, 100, 3u << 20};
  void* c = HostRealloc(nullptr, sizes[0]);
  fill(c, sizes[0]);
  for (size_t i = 1; i < sizeof sizes / sizeof sizes[0]; ++i) {
    c = HostRealloc(c, sizes[i]);
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(fill(c, std::min(sizes[i], sizes[i - 1]), true)) << "from " << sizes[i - 1] << " to " << sizes[i];
    fill(c, sizes[i]);
  }
  EXPECT_EQ(HostLiveCBlocks(), c_blocks + 3) << "resizes are no new blocks";
  // One huge page exactly (whose fill the huge-page policy times), then a larger block that it decides on.
  auto* cleared = static_cast<unsigned char*>(HostCalloc(2, 1u << 20));
  auto* large = static_cast<unsigned char*>(HostAllocMem(4u << 20, 1, "xlsx"));
  bool zero = true;
  for (uint32_t i = 0; i < (2u << 20); i += 4093) zero = zero && cleared[i] == 0 && large[i] == 0;
  EXPECT_TRUE(zero);
  if (RegionsInUse()) {
    EXPECT_GE(RegionCurrentFigures().mapped_bytes, before.mapped_bytes + (9u << 20));
  }
  for (void* p : {a, b, c, static_cast<void*>(cleared)}) HostFree(p);
  HostFreeMem(large);
  HostFree(nullptr);
  EXPECT_EQ(HostLiveCBlocks(), c_blocks);
  EXPECT_EQ(RegionCurrentFigures().mappings, before.mappings) << "every mapping is returned";
  EXPECT_EQ(RegionCurrentFigures().mapped_bytes, before.mapped_bytes);
}

TEST_F(HostMemory, HugePageBlocksAskedForInARowAreClearedAndEachTheirOwn) {
  // As a growing tree asks for its pages: some come filled ahead by the helper, some the caller fills.
  constexpr uint32_t kBlock = 2u << 20, kPageStep = 4096;
  uint32_t mappings = RegionCurrentFigures().mappings;
  std::vector<unsigned char*> blocks;
  for (unsigned char i = 1; i <= 24; ++i) {
    blocks.push_back(static_cast<unsigned char*>(HostCalloc(1, kBlock)));
    ASSERT_NE(blocks.back(), nullptr);
    bool zero = true;
    for (uint32_t at = 0; at < kBlock; at += kPageStep) zero = zero && blocks.back()[at] == 0;
    EXPECT_TRUE(zero) << "block " << int(i);
    for (uint32_t at = 0; at < kBlock; at += kPageStep) blocks.back()[at] = i;
    if (i % 4 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  for (unsigned char i = 1; i <= 24; ++i) {
    bool kept = true;
    for (uint32_t at = 0; at < kBlock; at += kPageStep) kept = kept && blocks[i - 1][at] == i;
    EXPECT_TRUE(kept) << "block " << int(i) << " was handed out twice";
  }
  for (unsigned char* block : blocks) HostFree(block);
  EXPECT_EQ(RegionCurrentFigures().mappings, mappings);
}

TEST_F(HostMemory, FilesAndTemporaryNames) {
  xlsx_test::TempDir dir;
  std::string from = dir.file("new.tmp"), to = dir.file("book.xlsx");
  HostFile* file = HostOpenFile(from.c_str(), HOST_FILE_CREATE_NEW);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(HostWriteFile(file, "0123456789", 10), 10u);
  EXPECT_TRUE(HostTellFile(file) == 10 && HostCloseFile(file) == 0);
  EXPECT_EQ(HostOpenFile(from.c_str(), HOST_FILE_CREATE_NEW), nullptr) << "exists already";
  EXPECT_EQ(HostRenameFile(from.c_str(), to.c_str()), 0);
  file = HostOpenFile(to.c_str(), HOST_FILE_READ);
  ASSERT_NE(file, nullptr);
  char buffer[8] = {};
  EXPECT_TRUE(HostSeekFile(file, -3, SEEK_END) == 0 && HostTellFile(file) == 7);
  EXPECT_EQ(HostReadFile(file, buffer, sizeof buffer), 3u);
  EXPECT_STREQ(buffer, "789");
  EXPECT_EQ(HostCloseFile(file), 0);
  EXPECT_EQ(HostOpenFile(from.c_str(), HOST_FILE_READ), nullptr);
  EXPECT_EQ(HostDeleteFile(to.c_str()), 0);
  EXPECT_EQ(HostDeleteFile(to.c_str()) + HostRenameFile(from.c_str(), to.c_str()), -2) << "both fail";
  char first[1024], second[1024], tiny[8];
  HostTag reserve[] = {{HOST_TAG_TEMP_RESERVE, 1}, {HOST_TAG_END, 0}};
  ASSERT_EQ(HostGetTempFileName(first, sizeof first, reserve), 0);
  ASSERT_EQ(HostGetTempFileName(second, sizeof second, nullptr), 0);
  EXPECT_STRNE(first, second);
  file = HostOpenFile(first, HOST_FILE_READ);
  EXPECT_NE(file, nullptr) << "a reserved name exists as an empty file";
  HostCloseFile(file);
  EXPECT_EQ(HostOpenFile(second, HOST_FILE_READ), nullptr);
  EXPECT_EQ(HostDeleteFile(first), 0);
  EXPECT_EQ(HostGetTempFileName(tiny, sizeof tiny, nullptr), -1);
  EXPECT_EQ(HostOpenFiles(), 0u);
}

const char kRefused[] = "<null>";
constexpr int32_t SYS = HOST_ENCODING_SYSTEM, UTF8 = HOST_ENCODING_UTF8;

class HostText : public xlsx_test::CountedTest {
 protected:
  void TearDown() override {
    HostSetCharset("UTF-8");
    EXPECT_EQ(HostLiveTexts(), 0u);
    CountedTest::TearDown();
  }
  // Converts exactly the bytes of text (NULs included); the refusal marker when the host gives null.
  static std::string Convert(const std::string& text, int32_t from, int32_t to, size_t length = SIZE_MAX) {
    HostTag options[] = {{HOST_TAG_LENGTH, length == SIZE_MAX ? text.size() : length}, {HOST_TAG_END, 0}};
    char* out = HostConvertText(text.c_str(), from, to, options);
    if (!out) return kRefused;
    std::string result = out;
    HostFreeText(out);
    return result;
  }
};

int32_t Format(char* buffer, uint32_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int32_t n = HostFormatText(buffer, size, format, args);
  va_end(args);
  return n;
}

TEST_F(HostText, Utf8PassesThroughAndNumbersFollowTheCRules) {
  EXPECT_TRUE(HostCharsetIsUtf8());
  EXPECT_EQ(Convert("\xC3\xA9", SYS, UTF8) + Convert("", UTF8, SYS), "\xC3\xA9");
  EXPECT_EQ(HostConvertText(nullptr, 0, 1, nullptr), nullptr);
  EXPECT_EQ(HostConvertText("a", 7, 1, nullptr), nullptr) << "unknown encoding";
  EXPECT_FALSE(HostSetCharset("NO-SUCH-CHARSET"));
  EXPECT_STREQ(HostCharset(), "UTF-8") << "a refused character set leaves the old one";
  int32_t encoding = -1;
  HostTag options[] = {{HOST_TAG_DEFAULT_ENCODING, reinterpret_cast<uintptr_t>(&encoding)}, {HOST_TAG_END, 0}};
  HostQuerySettings(options);
  EXPECT_EQ(encoding, SYS);
  char* end = nullptr;
  EXPECT_TRUE(HostTextToDouble("2.5x", &end) == 2.5 && std::string(end) == "x");
  EXPECT_EQ(HostTextToLong("99999999999", &end, 10), INT32_MAX);
  EXPECT_EQ(HostTextToLong("-99999999999", &end, 10), INT32_MIN);
  char buffer[8];
  EXPECT_EQ(Format(buffer, sizeof buffer, "%.1f|%s", 1.5, "long text"), 13);
  EXPECT_STREQ(buffer, "1.5|lon");
  EXPECT_TRUE(HostTextEqualsNoCase("Sheet1", "sHEET1"));
  EXPECT_FALSE(HostTextEqualsNoCase("Sheet1", "Sheet") || HostTextEqualsNoCase("\xC3\xA9", "\xC3\x89") ||
               HostTextEqualsNoCase("a", nullptr));
  // An output larger than twice the input grows the buffer: each 0x80 of Windows-1252 is the euro sign,
  // three bytes in UTF-8.
  if (HostSetCharset("CP1252")) {
    char* out = HostConvertText(std::string(100, '\x80').c_str(), SYS, UTF8, nullptr);
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(std::string(out, 3) == "\xE2\x82\xAC" && out[297] == '\xE2' && out[300] == '\0');
    HostFreeText(out);
  }
}

// The host converts ISO-8859-1 by itself (a C library may ship no converter for it): every byte both
// ways, the refusals of invalid UTF-8 and of characters the set lacks, the usual names of the set, and
// large texts.
TEST_F(HostText, Latin1ConvertsByItselfAsTheCLibraryDoes) {
  for (const char* name : {"iso-8859-1", "ISO8859-1", "ISO_8859-1", "latin1", "L1", "CP819", "ISO-8859-1"}) {
    ASSERT_TRUE(HostSetCharset(name)) << name;
    EXPECT_FALSE(HostCharsetIsUtf8()) << name;
  }
  for (int value = 1; value < 256; ++value) {
    std::string latin(1, static_cast<char>(value));
    std::string utf8 = Convert(latin, SYS, UTF8);
    EXPECT_EQ(utf8, (value < 0x80 ? latin : std::string{char(0xC0 | (value >> 6)), char(0x80 | (value & 0x3F))}));
    EXPECT_EQ(Convert(utf8, UTF8, SYS), latin) << value;
  }
  for (const char* refused : {"\xC4\x80", "a\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\x80", "\xC3", "\xC3" "a", "\xC1\xA9",
                              "\xC0\x80", "\xE0\x83\xA9", "\xFF"}) {
    EXPECT_EQ(Convert(refused, UTF8, SYS), kRefused) << ::testing::PrintToString(std::string(refused));
  }
  EXPECT_EQ(Convert("\xC3\xA9\xC3\xA9", UTF8, SYS, 2), "\xE9") << "the length option cuts at a byte";
  EXPECT_EQ(Convert("\xC3\xA9\xC3\xA9", UTF8, SYS, 3), kRefused);
  std::string latin(100000, '\xE4');
  EXPECT_EQ(Convert(Convert(latin, SYS, UTF8), UTF8, SYS), latin);
  ASSERT_TRUE(HostSetCharset("UTF-8"));
  EXPECT_EQ(Convert("\xE2\x82\xAC", UTF8, SYS), "\xE2\x82\xAC") << "back in UTF-8 texts are copied";
}

using ModuleHeader = xlsx_test::CountedTest;

// The header is found by its magic and version (big-endian) past a stray copy without a resolver; the
// plugin file carries the version text and exports no symbol the host could use instead.
TEST_F(ModuleHeader, ThePluginsHeaderIsFoundAndOtherModulesAreRefused) {
  for (const char* path : {XLSX_KVP_PATH, MODULE_STRAY_MAGIC}) {
    LoadedModule module;
    std::string error;
    ASSERT_TRUE(LoadPluginModule(path, &module, &error)) << error;
    ASSERT_NE(module.header, nullptr);
    EXPECT_EQ(module.header->resolve("InitPlugin") != nullptr, path == std::string(XLSX_KVP_PATH));
    UnloadPluginModule(&module);
    EXPECT_EQ(module.handle, nullptr);
  }
  EXPECT_NE(xlsx_test::read_bytes(XLSX_KVP_PATH).find("$VER: xlsx.kvp 1.1 (13.09.26) [ppc-amigaos]"), std::string::npos)
      << "the version text";
  void* handle = dlopen(XLSX_KVP_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(dlsym(handle, "_Z12ResolveEntryPKc"), nullptr);
  EXPECT_EQ(dlsym(handle, "_Z10InitPluginP10PluginInfoPK7HostApi"), nullptr);
  dlclose(handle);
  const struct { const char *path, *error; } rows[] = {
      {MODULE_NO_MAGIC, "not a Korvadel plugin: no header with the magic \"KORVADEL\""},
      {MODULE_OTHER_VERSION, "plugin header version 2 is not supported (expected 3)"},
      {MODULE_LITTLE_ENDIAN_VERSION, "plugin header version 50331648 is not supported"},  // 3 in the wrong order
      {MODULE_STRAY_ONLY, "the plugin header's ResolveEntry address lies outside the module's code"},
      {"/nonexistent/xlsx.kvp", "cannot load plugin /nonexistent/xlsx.kvp"},
  };
  for (const auto& row : rows) {
    LoadedModule module;
    std::string error;
    EXPECT_FALSE(LoadPluginModule(row.path, &module, &error) || module.handle) << row.path;
    EXPECT_NE(error.find(row.error), std::string::npos) << error;
  }
  Plugin plugin;
  std::string error;
  EXPECT_FALSE(LoadPlugin(MODULE_MISSING_ENTRIES, &plugin, &error));
  EXPECT_NE(error.find("the plugin has no entry point InitPlugin"), std::string::npos) << error;
  EXPECT_EQ(plugin.module.handle, nullptr);
}

}  // namespace
