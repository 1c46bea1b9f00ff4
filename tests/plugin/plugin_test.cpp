// The plugin frame in-process: its header, entry points and tables, registration with a real host, the
// registry of documents and running range loops, the access layer's numbers and texts, the fixed cost of
// a single-cell command, commands under allocation failure; and the korvadel program as a user runs it.
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "plugin/access.h"
#include "plugin/command_table.h"
#include "plugin/documents.h"
#include "plugin/ranges.h"
#include "plugin/serializer.h"
#include "tests/support/cases.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/host_fixture.h"

namespace {

using EntryPoints = xlsx_test::CountedTest;

TEST_F(EntryPoints, HeaderEntriesAndTablesNeedNoHost) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(PluginHeaderRecord());
  EXPECT_EQ(memcmp(bytes, "KORVADEL\0\0\0\3", 12), 0) << "the magic, then version 3 big-endian";
  EXPECT_EQ(PluginHeaderRecord()->resolve, &ResolveEntry);
  EXPECT_STREQ(PluginVersionText(), "$VER: xlsx.kvp 1.1 (13.09.26) [ppc-amigaos]");
  std::set<PluginEntryFn> distinct;
  for (const char* name : {"InitPlugin", "ClosePlugin", "GetBaseTable", "GetCommands", "GetConstants", "GetHelpStrings",
                           "InitLibrary", "FreeLibrary", "InitSerializer", "FreeSerializer", "SerializeItem",
                           "DeserializeItem", "GetExtensions"}) {
    EXPECT_TRUE(ResolveEntry(name) && distinct.insert(ResolveEntry(name)).second) << name;
  }
  EXPECT_EQ(ResolveEntry("DeserializeItem"), reinterpret_cast<PluginEntryFn>(DeserializeItem));
  for (const char* name : {"", "initplugin", "InitPlugin ", "InitPlugi", "InitPluginX", "ResolveEntry"})
    EXPECT_EQ(ResolveEntry(name), nullptr) << '"' << name << '"';
  EXPECT_EQ(ResolveEntry(nullptr), nullptr);
  // InitPlugin without a host fills the information record only.
  PluginGlobals saved = globals;
  globals = PluginGlobals{};
  PluginInfo info;
  memset(&info, 0xAB, sizeof info);
  EXPECT_EQ(InitPlugin(&info, nullptr), 1u);
  EXPECT_EQ(info.capabilities, 0x000A0002u);
  EXPECT_TRUE(info.word3 == 9u && info.word4 == 0u && info.word12 == 0u && info.author && info.rights && info.url);
  EXPECT_STREQ(info.baseName, "xlsx");
  EXPECT_STREQ(info.guide, "xlsx.guide");
  EXPECT_TRUE(globals.host == nullptr && globals.errorCodes[0] == 0u) << "nothing registered";
  globals = saved;
  EXPECT_STREQ(GetBaseTable(), "xlsx");
  for (uint32_t kind : {0u, 1u, 2u, 3u, 0xFFFFFFFFu}) EXPECT_EQ(GetExtensions(kind), kind == 2 ? 4u : 0u) << kind;
  EXPECT_EQ(InitSerializer(nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(FreeSerializer(nullptr), 0);
  EXPECT_TRUE(GetCommands() == CommandTable() && GetHelpStrings() == HelpTable());
}

class PluginFrame : public PluginTest {};

// Registration: the host table, the text-encoding notification, the object type, the range loop's
// metatable, and UseSharedStrings' switch (the messages are checked by the script tests that raise them).
TEST_F(PluginFrame, RegistrationWithTheHost) {
  EXPECT_EQ(globals.host, &host_);
  HostNotify(HOST_NOTIFY_TEXT_ENCODING, 0);
  EXPECT_EQ(globals.textPassThrough, 0u);
  HostNotify(HOST_NOTIFY_TEXT_ENCODING, 1);
  HostNotify(HOST_NOTIFY_TEXT_ENCODING + 1, 0);
  EXPECT_EQ(globals.textPassThrough, 1u) << "other kinds do not reach the handler";
  EXPECT_STREQ(HostObjectTypeName(globals.objectTypeId), "XLSX document");
  ASSERT_EQ(luaL_getmetatable(L, "xlsx.kvp.iterator"), LUA_TTABLE);
  EXPECT_EQ(lua_getfield(L, -1, "__index"), LUA_TTABLE);
  EXPECT_TRUE(lua_rawequal(L, -1, -2));
  EXPECT_EQ(lua_getfield(L, -2, "__gc"), LUA_TFUNCTION) << "the range loop's clean-up";
  lua_settop(L, 0);
  ASSERT_EQ(Run("xlsx.UseSharedStrings(0.5)"), "");
  EXPECT_EQ(xlsx_shared_strings_mode(), 1u) << "texts go into the cells";
  ASSERT_EQ(Run("xlsx.UseSharedStrings(-3)"), "");
  EXPECT_EQ(xlsx_shared_strings_mode(), 0u) << "texts go to the shared strings table";
}

// Documents by explicit and automatic id: kept in creation order in the list the host walks, found by
// number and handle together, replaced by reopening an id (even when the new open fails), the attribute
// callback, and FreeLibrary releasing every one (a second call doing nothing).
TEST_F(PluginFrame, DocumentRecordsFollowOpensClosesAndFreeLibrary) {
  ASSERT_EQ(
      Run("xlsx.Create(3, DIR .. '/a.xlsx') auto = xlsx.Create(nil, DIR .. '/b.xlsx') xlsx.Open(1, DIR .. '/a.xlsx')"
          "xlsx.AddSheet(1, 'B')"),
      "");
  ASSERT_EQ(HostObjectCount(globals.objectTypeId), 3u);
  auto* first = reinterpret_cast<DocumentRecord*>(globals.documentList);
  auto* second = reinterpret_cast<DocumentRecord*>(first->header.next);
  auto* third = reinterpret_cast<DocumentRecord*>(second->header.next);
  EXPECT_TRUE(first->header.idNumber == 3 && first->header.idHandle == 0 && first->defaultSheet == 1);
  EXPECT_EQ(second->header.idHandle, reinterpret_cast<uintptr_t>(second)) << "an automatic id is the record";
  EXPECT_TRUE(third->header.idNumber == 1 && third->header.next == nullptr &&
              first->header.type == globals.objectTypeId);
  lua_getglobal(L, "auto");
  EXPECT_EQ(lua_touserdata(L, -1), second);
  lua_settop(L, 0);
  ObjectId by_number{1, 0}, by_handle{0, reinterpret_cast<uintptr_t>(second)},
      wrong{1, reinterpret_cast<uintptr_t>(second)};
  EXPECT_TRUE(FindDocument(&by_number) == third && FindDocument(&by_handle) == second);
  EXPECT_TRUE(FindDocument(&wrong) == nullptr && FindDocument(nullptr) == nullptr);
  EXPECT_EQ(DocumentAttribute(hs, XLSXATTRSHEETS, &by_number), 1);
  EXPECT_EQ(lua_tonumber(L, -1), 2);
  lua_settop(L, 0);
  EXPECT_EQ(DocumentAttribute(hs, XLSXATTRSHEETS + 1, &by_number), HOST_ERR_UNKNOWN_ATTRIBUTE);
  ObjectId unknown{2, 0};
  EXPECT_EQ(DocumentAttribute(hs, XLSXATTRSHEETS, &unknown), ErrorCode(ERROR_NO_DOCUMENT));
  EXPECT_EQ(lua_gettop(L), 0) << "failures push nothing";
  uint32_t released = HostReleasedObjects(), tagged = HostLiveTaggedBlocksWithTag("xlsx");
  ASSERT_EQ(Run("xlsx.Open(3, DIR .. '/b.xlsx')"), "");
  EXPECT_EQ(HostReleasedObjects(), released + 1) << "the old record was released to the host";
  EXPECT_EQ(reinterpret_cast<DocumentRecord*>(globals.documentList), second) << "the replacement goes to the tail";
  for (const char* failing : {"xlsx.Open(3, DIR .. '/missing.xlsx')", "xlsx.Open(nil, DIR .. '/none.xlsx')",
                              "xlsx.Create(4, '/nonexistent-folder/x.xlsx')"})
    EXPECT_NE(Run(failing), "") << failing;
  EXPECT_EQ(HostObjectCount(globals.objectTypeId), 2u);
  EXPECT_EQ(HostLiveTaggedBlocksWithTag("xlsx"), tagged - 1) << "failed opens and creates leave no record";
  ASSERT_EQ(Run("for p in xlsx.CellRange(1, 1, 1, 9, 9) do break end"), "");
  uint32_t live = xlsx_live_allocations();
  released = HostReleasedObjects();
  FreeLibrary(hs);
  EXPECT_EQ(globals.documentList, nullptr);
  EXPECT_EQ(HostReleasedObjects(), released + 2);
  EXPECT_LT(xlsx_live_allocations(), live);
  FreeLibrary(hs);
  EXPECT_EQ(HostReleasedObjects(), released + 2);
}

// Range loops leave the list of running loops exactly once: at the step that finds the end, when the
// collector takes a loop left early, when their document closes, or at once when the range cannot be
// built (leaving nothing on the stack); a loop over existing cells takes no library memory.
TEST_F(PluginFrame, RangeLoopsLeaveTheRunningOnesOnce) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') for p in xlsx.CellRange(1, 1, 1, 2, 2) do end"), "");
  EXPECT_EQ(LiveRangeCount(), 0u);
  uint32_t live = xlsx_live_allocations();
  ASSERT_EQ(Run("for p in xlsx.CellRange(1, 1, 1, 2, 2) do break end step = xlsx.CellRange(1, 'A1', 'B2') step()"), "");
  EXPECT_EQ(LiveRangeCount(), 2u);
  EXPECT_EQ(xlsx_live_allocations(), live);
  lua_gc(L, LUA_GCCOLLECT);
  EXPECT_EQ(LiveRangeCount(), 1u);
  EXPECT_TRUE(Run("xlsx.Close(1)").empty() && LiveRangeCount() == 0u);
  EXPECT_EQ(Run("assert(step() == nil) step = nil"), "") << "the step after the close ends the loop";
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx')"), "");
  EXPECT_TRUE(EndsWith(Run("xlsx.CellRange(1, 'A1', 'XFE1')"), "Specified cell is out of range!"));
  EXPECT_TRUE(lua_gettop(L) == 0 && LiveRangeCount() == 0u);
}

TEST(AccessNumbers, ToInt32TruncatesTowardZeroAndClampsWhatDoesNotFit) {
  for (const auto& c : xlsx_test::read_cases("plugin/plugin.cases", "to-int32"))
    EXPECT_EQ(ToInt32(std::strtod(c[0].c_str(), nullptr)), std::stol(c[1])) << c.where;
}

// Resolving a sheet goes through the workbook's position cache: a single-cell command allocates the same
// with one sheet and with sixty, and sheet numbers follow moves, renames and deletions.
TEST_F(PluginFrame, SingleCellCommandsHaveAFixedCost) {
  const char* reads = "for i = 1, 100 do xlsx.GetCellValue(1, 2, 3, last) xlsx.SetCellValue(1, 2, 3, i, 1, last) end";
  auto allocations = [&] {
    xlsx_test::FaultAllocation counter(0);
    EXPECT_EQ(Run(reads), "");
    return counter.calls();
  };
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') last = 1 xlsx.SetCellValue(1, 2, 3, 0, 1, last) "
                "xlsx.GetCellValue(1, 2, 3)"),
            "");
  uint32_t one_sheet = allocations();
  ASSERT_EQ(Run("for i = 2, 60 do xlsx.AddSheet(1, 'S' .. i) end last = 60 xlsx.SetCellValue(1, 2, 3, 0, 1, last) "
                "xlsx.GetCellValue(1, 2, 3, last)"),
            "");
  EXPECT_EQ(allocations(), one_sheet);
  EXPECT_LE(one_sheet, 300u) << "a few blocks per read and write pair";
  ASSERT_EQ(Run("xlsx.SetCellValue(1, 1, 1, 'two', 3, 2) xlsx.MoveSheet(1, 2, 1)"), "");
  EXPECT_EQ(Text("return xlsx.GetCellValue(1, 1, 1, 1)"), "two");
  ASSERT_EQ(Run("xlsx.SetSheetName(1, 1, 'Renamed') xlsx.DeleteSheet(1, 2)"), "");
  EXPECT_EQ(Text("return xlsx.GetCellValue(1, 1, 1, 1)"), "two");
}

// Under allocation failure commands report (with the registered message) and leave nothing behind; a
// setter either reports failure or has made its change; argument errors raised by the host leave no
// memory behind.
TEST_F(PluginFrame, CommandsUnderAllocationFailureReportWhatTheyCouldNotDo) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') xlsx.AddSheet(1, 'Two') xlsx.SetCellValue(1, 2, 2, 0) N = 0"), "");
  uint32_t live = xlsx_live_allocations();
  for (const char* chunk : {"xlsx.SetCellValue(1, 1, 1, {})", "xlsx.SetCellFormula(1, 1, 1, nil)",
                            "xlsx.SetCellValue(1, 1, 1, nil, 3)", "xlsx.CellRange(1, 1, 1, 2)"})
    EXPECT_NE(Run(chunk), "") << chunk;
  EXPECT_EQ(xlsx_live_allocations(), live);
  uint32_t reported = 0;
  for (uint32_t fail_at = 1; fail_at < 40; ++fail_at) {
    std::string error;
    {
      xlsx_test::FaultAllocation failing(fail_at, true);
      error = Run("xlsx.SetCellValue(1, 1, 1, 'shared text " + std::to_string(fail_at) +
                  "') xlsx.SetCellFormula(1, 2, 1, 'A1') for p in xlsx.CellRange(1, 'C1', 'D2') do end");
    }
    EXPECT_TRUE(error.empty() || EndsWith(error, "Specified cell is out of range!")) << fail_at << ": " << error;
    reported += !error.empty();
    double type = Number("return select(2, xlsx.GetCellValue(1, 1, 1))");
    EXPECT_TRUE(type == 3 || type == 0) << "the old text or an empty cell, never a broken one";
  }
  EXPECT_GT(reported, 0u);
  for (const auto& row : xlsx_test::read_cases("plugin/plugin.cases", "setter")) {
    bool failed = true;
    for (uint32_t fail_at = 1; failed && fail_at < 500; ++fail_at) {
      ASSERT_EQ(Run("N = N + 1 " + row[0]), "");
      std::string error;
      {
        xlsx_test::FaultAllocation fault(fail_at);
        error = Run(row[1]);
        failed = fault.failures() > 0;
      }
      if (error.empty()) {
        EXPECT_EQ(Number("return " + row[2] + " and 1 or 0"), 1) << row.where << ", " << fail_at;
      }
    }
    EXPECT_FALSE(failed) << row.where;
  }
}

// Runs a shell command line: its exit status (-1 when it did not exit) and its stdout and stderr together.
struct Outcome { int status = -1; std::string out; };
Outcome Shell(const std::string& line) {
  Outcome result;
  FILE* pipe = popen((line + " 2>&1").c_str(), "r");
  char buffer[4096];
  for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, n);
  int status = pipe ? pclose(pipe) : -1;
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  return result;
}

class Korvadel : public xlsx_test::CountedTest {
 protected:
  std::string Script(const std::string& text) {
    std::string path = dir_.file("script" + std::to_string(++scripts_) + ".lua");
    std::ofstream(path) << text;
    return path;
  }
  Outcome Run(const std::string& args) {
    return Shell(std::string("env -u KORVADEL_PLUGIN -u KORVADEL_CHARSET ") + KORVADEL_PATH + " " + args);
  }
  xlsx_test::TempDir dir_;
  int scripts_ = 0;
};

TEST_F(Korvadel, CommandsAreListedWithTheirHelpInTableOrder) {
  Outcome r = Run("--commands");
  ASSERT_EQ(r.status, 0) << r.out;
  std::istringstream lines(r.out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "XLSX 1.1 (13.09.26): Create and modify XLSX documents with Korvadel");
  // One handler and one help row per command, in table order, the help showing the command's own call.
  std::set<std::string> names;
  uint32_t listed = 0;
  for (; std::getline(lines, line); ++listed) {
    ASSERT_LT(listed, CommandCount()) << line;
    std::string name = CommandTable()[listed].name, help = std::string(" ") + HelpTable()[listed].text;
    EXPECT_TRUE(names.insert(name).second && CommandTable()[listed].handler && !HelpTable()[listed].zero) << name;
    EXPECT_NE(help.find("xlsx." + name + "("), std::string::npos) << help;
    EXPECT_EQ(line.compare(0, name.size() + 8, "  xlsx." + name + " "), 0) << line;
    EXPECT_TRUE(line.size() > help.size() && line.compare(line.size() - help.size(), help.size(), help) == 0) << line;
  }
  EXPECT_TRUE(listed == CommandCount() && CommandTable()[listed].handler == nullptr);
  EXPECT_GE(listed, 72u) << "the 44 base commands, 14 formatting and 14 layout commands";
  EXPECT_TRUE(names.count("GetObjectType") && names.count("UseSharedStrings"));
  r = Run(std::string("--plugin ") + XLSX_KVP_PATH + " --plugin " + MODULE_RECORDING + " --commands");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("  rec.Hello                  rec.Hello() -- say hello\n"), std::string::npos) << r.out;
}

// The plugin is found without options, by an option or by the environment; arg is set as the standalone
// interpreter sets it; a failing command stops the script with file, line and status 1; os.exit shuts
// down and keeps its status; numbers stay in the C form whatever locale the script selects; the
// lifecycle runs in order with the character set notified; unknown options and sets are refused.
TEST_F(Korvadel, RunsScriptsAsAUserRunsThem) {
  std::string script = Script("print(XLSXATTRSHEETS, #arg, arg[0] ~= nil, ...)");
  EXPECT_EQ(Shell(std::string("cd / && env -u KORVADEL_PLUGIN ") + KORVADEL_PATH + " " + script + " one").out,
            "32768\t1\ttrue\tone\n");
  EXPECT_EQ(Run(std::string("--plugin ") + XLSX_KVP_PATH + " " + script).out, "32768\t0\ttrue\n");
  Outcome wrong = Shell(std::string("KORVADEL_PLUGIN=") + MODULE_NO_MAGIC + " " + KORVADEL_PATH + " " + script);
  EXPECT_TRUE(wrong.status == 1 && wrong.out.find("no header with the magic \"KORVADEL\"") != std::string::npos)
      << wrong.out;
  EXPECT_EQ(Run("--check-leaks " + Script("print(arg[-1])")).out, "--check-leaks\n");
  script = Script("print('before')\nGetAttribute(xlsx.GetObjectType(), 7, XLSXATTRSHEETS)\nprint('after')\n");
  Outcome failing = Run(script);
  EXPECT_TRUE(failing.status == 1 && failing.out.find("after") == std::string::npos) << failing.out;
  EXPECT_NE(failing.out.find("before\n"), std::string::npos);
  EXPECT_NE(failing.out.find(script + ":2: Cannot find specified XLSX document!"), std::string::npos) << failing.out;
  Outcome exit = Run("--check-leaks " + Script("io.write('x') os.exit(7)"));
  EXPECT_TRUE(exit.status == 7 && exit.out == "x") << exit.status << exit.out;
  Outcome locale = Run(Script("os.setlocale('de_DE.UTF-8') os.setlocale('C.UTF-8', 'numeric')\n"
                              "assert(string.format('%.1f', 1.5) == '1.5') assert(tonumber('2.5') == 2.5)\n"
                              "assert(os.setlocale(nil, 'numeric') == 'C')"));
  EXPECT_EQ(locale.status, 0) << locale.out;
  script = Script("print('script', REC_ANSWER) rec.Hello()");
  for (const char* charset : {"UTF-8", "ISO-8859-1"}) {
    Outcome r = Run(std::string("--charset ") + charset + " --plugin " + MODULE_RECORDING + " " + script);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("InitPlugin(null)\nInitPlugin(host)\nnotify 3: ") + (charset[0] == 'U' ? "1" : "0") +
                         "\nInitLibrary\nscript\t42\nHello\nFreeLibrary\nClosePlugin\n");
  }
  Outcome charset = Run("--charset NO-SUCH-SET " + Script(""));
  EXPECT_TRUE(charset.status == 1 && charset.out.find("unknown character set NO-SUCH-SET") != std::string::npos);
  EXPECT_EQ(Run("--frobnicate x.lua").status + Run("").status, 2);
}

}  // namespace
