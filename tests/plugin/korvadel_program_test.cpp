// The korvadel program as a user runs it: the command listing, exit statuses, script errors with file
// and line, the arg table, finding the plugin without options, and the numeric locale.
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/command_table.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"

namespace {

struct Outcome {
  int status;
  std::string out;
};

// Runs a shell command line; stdout and stderr together.
Outcome Shell(const std::string& line) {
  Outcome result{-1, ""};
  FILE* pipe = popen((line + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
  int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

class KorvadelProgramTest : public xlsx_test::CountedTest {
 protected:
  std::string Script(const std::string& text) {
    std::string path = dir_.file("script" + std::to_string(++scripts_) + ".lua");
    std::ofstream(path) << text;
    return path;
  }
  Outcome Korvadel(const std::string& args) {
    return Shell(std::string("env -u KORVADEL_PLUGIN -u KORVADEL_CHARSET ") + KORVADEL_PATH + " " + args);
  }
  xlsx_test::TempDir dir_;
  int scripts_ = 0;
};

TEST_F(KorvadelProgramTest, CommandsAreListedWithTheirHelpInTableOrder) {
  Outcome r = Korvadel("--commands");
  ASSERT_EQ(r.status, 0) << r.out;
  std::istringstream lines(r.out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "XLSX 1.1 (13.09.26): Create and modify XLSX documents with Korvadel");
  uint32_t listed = 0;
  for (; std::getline(lines, line); ++listed) {
    ASSERT_LT(listed, CommandCount()) << line;
    std::string name = std::string("  xlsx.") + CommandTable()[listed].name + " ";
    std::string help = std::string(" ") + HelpTable()[listed].text;
    EXPECT_EQ(line.compare(0, name.size(), name), 0) << line;
    EXPECT_TRUE(line.size() > help.size() && line.compare(line.size() - help.size(), help.size(), help) == 0) << line;
  }
  EXPECT_EQ(listed, CommandCount());
}
TEST_F(KorvadelProgramTest, TheBuildTreePluginIsFoundWithoutOptions) {
  Outcome r = Shell(std::string("cd / && env -u KORVADEL_PLUGIN ") + KORVADEL_PATH + " " +
                    Script("assert(type(xlsx) == 'table' and xlsx.GetObjectType() >= 1)"));
  EXPECT_EQ(r.status, 0) << r.out;
}

TEST_F(KorvadelProgramTest, AnOptionOrTheEnvironmentChoosesThePlugin) {
  std::string script = Script("print(XLSXATTRSHEETS)");
  Outcome byOption = Korvadel(std::string("--plugin ") + XLSX_KVP_PATH + " " + script);
  EXPECT_EQ(byOption.status, 0);
  EXPECT_EQ(byOption.out, "32768\n");
  Outcome wrongEnv = Shell(std::string("KORVADEL_PLUGIN=") + MODULE_NO_MAGIC + " " + KORVADEL_PATH + " " + script);
  EXPECT_EQ(wrongEnv.status, 1);
  EXPECT_NE(wrongEnv.out.find("no header with the magic \"KORVADEL\""), std::string::npos) << wrongEnv.out;
}

TEST_F(KorvadelProgramTest, ArgIsSetAsTheStandaloneInterpreterSetsIt) {
  std::string script = Script("print(#arg, arg[0] ~= nil, arg[1], arg[2], select('#', ...), ...)");
  Outcome r = Korvadel("--check-leaks " + script + " one two");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "2\ttrue\tone\ttwo\t2\tone\ttwo\n");
  Outcome negative = Korvadel("--check-leaks " + Script("print(arg[-1])"));
  EXPECT_EQ(negative.out, "--check-leaks\n");
}

TEST_F(KorvadelProgramTest, AFailingCommandStopsTheScriptWithFileLineAndNonZeroStatus) {
  std::string script =
      Script("print('before')\nGetAttribute(xlsx.GetObjectType(), 7, XLSXATTRSHEETS)\nprint('after')\n");
  Outcome r = Korvadel(script);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("before\n"), std::string::npos);
  EXPECT_EQ(r.out.find("after"), std::string::npos);
  EXPECT_NE(r.out.find(script + ":2: Cannot find specified XLSX document!"), std::string::npos) << r.out;
}

TEST_F(KorvadelProgramTest, OsExitShutsDownAndKeepsTheStatus) {
  Outcome r = Korvadel("--check-leaks " + Script("io.write('x') os.exit(7)"));
  EXPECT_EQ(r.status, 7);
  EXPECT_EQ(r.out, "x");
}

TEST_F(KorvadelProgramTest, NumbersStayInTheCFormWhateverLocaleTheScriptSets) {
  std::string script = Script(
      "for _, name in ipairs{'de_DE.UTF-8', 'fr_FR.UTF-8', 'C.UTF-8'} do os.setlocale(name) end\n"
      "os.setlocale('de_DE.UTF-8', 'numeric')\n"
      "assert(string.format('%.1f', 1.5) == '1.5') assert(tonumber('2.5') == 2.5)\n"
      "assert(os.setlocale(nil, 'numeric') == 'C')");
  Outcome r = Korvadel(script);
  EXPECT_EQ(r.status, 0) << r.out;
}

// The host tells the plugin whether its system texts are UTF-8 (1) or not (0) between the two
// InitPlugin calls and InitLibrary.
TEST_F(KorvadelProgramTest, TheLifecycleRunsInOrderWithTheCharsetNotified) {
  std::string script = Script("print('script', REC_ANSWER) rec.Hello()");
  for (const char* charset : {"UTF-8", "ISO-8859-1"}) {
    Outcome r = Korvadel(std::string("--charset ") + charset + " --plugin " + MODULE_RECORDING + " " + script);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("InitPlugin(null)\nInitPlugin(host)\nnotify 3: ") + (charset[0] == 'U' ? "1" : "0") +
                         "\nInitLibrary\nscript\t42\nHello\nFreeLibrary\nClosePlugin\n");
  }
}

TEST_F(KorvadelProgramTest, CommandsOfEveryLoadedPluginAreListed) {
  Outcome r = Korvadel(std::string("--plugin ") + XLSX_KVP_PATH + " --plugin " + MODULE_RECORDING + " --commands");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("  xlsx.GetObjectType"), std::string::npos);
  EXPECT_NE(r.out.find("  rec.Hello                  rec.Hello() -- say hello\n"), std::string::npos) << r.out;
}

TEST_F(KorvadelProgramTest, UnknownCharsetsAndOptionsAreRefused) {
  Outcome charset = Korvadel("--charset NO-SUCH-SET " + Script(""));
  EXPECT_EQ(charset.status, 1);
  EXPECT_NE(charset.out.find("unknown character set NO-SUCH-SET"), std::string::npos);
  EXPECT_EQ(Korvadel("--frobnicate x.lua").status, 1);
  EXPECT_EQ(Korvadel("").status, 1);
}

}  // namespace
