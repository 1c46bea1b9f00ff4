// Fuzz target: the plugin driven through the host. The input is read as a sequence of commands, each a
// command of the `xlsx` table with fuzzer-chosen arguments (numbers from a table of edge values or from
// the input, texts from the input, nil, the position handle of the last range loop). Every command runs
// in a protected call; a failure must carry a registered message (or the runtime's own argument error).
// At the end FreeLibrary releases every document, and neither library blocks nor host objects may be left.
#include <lauxlib.h>
#include <lua.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/errors.h"
#include "host/host_table.h"
#include "host/objects.h"
#include "host/runtime.h"
#include "host/stack.h"
#include "host/text.h"
#include "lib/base/alloc.h"
#include "lib/sheet/worksheet.h"
#include "plugin/entry.h"
#include "plugin/globals.h"

namespace {

// The commands and the kinds of their arguments: d document id, n number, s text, c cell (x, y or a
// reference text or the position handle), o optional sheet or number.
struct CommandShape {
  const char* name;
  const char* args;
};

const CommandShape kCommands[] = {
    {"Open", "ds"},           {"Close", "d"},           {"Create", "ds"},          {"Save", "d"},
    {"SaveAs", "ds"},         {"AddSheet", "dso"},      {"DeleteSheet", "dn"},     {"MoveSheet", "dnn"},
    {"GetSheetIndex", "ds"},  {"GetSheetCount", "d"},   {"GetSheetName", "dn"},    {"SetSheetName", "dns"},
    {"GetSheetType", "dn"},   {"SetDefaultSheet", "dn"}, {"GetRowCount", "do"},    {"GetColumnCount", "do"},
    {"GetCellValue", "dco"},  {"GetCellFormula", "dco"}, {"HaveCellFormula", "dco"}, {"SetCellValue", "dcvoo"},
    {"ClearCellValue", "dco"}, {"SetCellFormula", "dcso"}, {"ClearCellFormula", "dcso"},
    {"SetColumnWidth", "dnno"}, {"GetColumnWidth", "dno"}, {"SetRowHeight", "dnno"}, {"GetRowHeight", "dno"},
    {"HideColumn", "dnno"},   {"HideRow", "dnno"},      {"IsColumnHidden", "dno"}, {"IsRowHidden", "dno"},
    {"IsSheetActive", "do"},  {"IsSheetSelected", "do"}, {"SetSheetActive", "do"}, {"SetSheetSelected", "dno"},
    {"SetSheetVisibility", "dno"}, {"GetSheetVisibility", "do"}, {"SetProperty", "dns"}, {"GetProperty", "dn"},
    {"DeleteProperty", "dn"}, {"CellRange", "dnnnno"},  {"UseSharedStrings", "n"},  {"GetCellReference", "dcno"},
};
constexpr uint32_t kCommandCount = sizeof kCommands / sizeof kCommands[0];

const double kNumbers[] = {0, 1, 2, 3, 4, -1, 0.5, 2.9, -0.5, 12, 13, 14, 31, 255, 256, 16384, 16385, 65535, 65536,
                           65537, 1048576, 1048577, 2147483647.0, 2147483648.0, 4294967295.0, 4294967296.0, 1e15,
                           -1e15, 1e300, -1e300, 9007199254740993.0};

const char* const kRegistered[] = {
    "Error opening XLSX document", "Error creating XLSX document", "Cannot find specified XLSX document!",
    "XSLX operation has failed!", "Specified sheet is out of range!", "Specified cell is out of range!",
    "Specified column is out of range!", "Specified row is out of range!", "Cell doesn't have a formula!",
    "Error saving XLSX document!", "bad argument",
};

[[noreturn]] void finding(const char* what, const char* detail) {
  fprintf(stderr, "commands_fuzzer: %s: %s\n", what, detail);
  abort();
}

// Reads the input front to back; past the end every read gives 0.
struct Input {
  const uint8_t* data;
  size_t size;
  size_t at;
  uint8_t byte() { return at < size ? data[at++] : 0; }
  bool done() const { return at >= size; }
};

struct Session {
  lua_State* L;
  HostState* hs;
  std::string dir;
  int position_ref;  // registry reference of the last position handle, LUA_NOREF when none
  int iterator_ref;  // registry reference of the last range loop's iterator
};

std::string scratch_dir() {
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(base) + "/xlsx-cmd-fuzz-" + std::to_string(getpid());
}

void push_text(Session& s, Input& in) {
  uint8_t length = in.byte() % 40;
  std::string text;
  for (uint8_t i = 0; i < length && !in.done(); ++i) text.push_back(char(in.byte()));
  lua_pushlstring(s.L, text.data(), text.size());
}

// A value from the table of edge values (twice over), a small integer, NaN, infinity or three bytes.
void push_number(Session& s, Input& in) {
  constexpr uint32_t kEdges = sizeof kNumbers / sizeof kNumbers[0];
  uint8_t choice = in.byte();
  if (choice < 2 * kEdges) lua_pushnumber(s.L, kNumbers[choice % kEdges]);
  else if (choice < 250) lua_pushinteger(s.L, choice - 100);
  else if (choice < 252) lua_pushnumber(s.L, choice == 250 ? NAN : INFINITY);
  else lua_pushinteger(s.L, int64_t(in.byte()) << 16 | int64_t(in.byte()) << 8 | in.byte());
}

// A cell as the position handle, a reference text or two numbers; returns the number of values pushed.
int push_cell(Session& s, Input& in) {
  uint8_t form = in.byte() % 4;
  if (form == 0 && s.position_ref != LUA_NOREF) {
    lua_rawgeti(s.L, LUA_REGISTRYINDEX, s.position_ref);
    return 1;
  }
  if (form == 1) {
    push_text(s, in);
    return 1;
  }
  push_number(s, in);
  push_number(s, in);
  return 2;
}

// One argument of a kind other than a cell: a document id (nil now and then), a number, a value of any
// kind, a file name inside the scratch folder (now and then a path that cannot be written) or a text.
void push_argument(Session& s, Input& in, char kind, bool file_command) {
  static const char* const kFiles[] = {"a.xlsx", "b.xlsx", "a.xlsx", "missing/dir/c.xlsx", "", "."};
  uint8_t choice = 0;
  if (kind == 'd') {
    choice = in.byte() % 8;
    if (choice == 7) lua_pushnil(s.L);
    else lua_pushinteger(s.L, choice % 4);
  } else if (kind == 'n' || kind == 'o') {
    push_number(s, in);
  } else if (kind == 'v') {
    choice = in.byte() % 3;
    if (choice == 0) push_text(s, in);
    else if (choice == 1) push_number(s, in);
    else lua_pushboolean(s.L, in.byte() & 1);
  } else if (file_command) {
    std::string name = kFiles[in.byte() % 6];
    lua_pushstring(s.L, name.empty() ? "" : (s.dir + "/" + name).c_str());
  } else {
    push_text(s, in);
  }
}

// Pushes the command's arguments; returns their number.
int push_arguments(Session& s, Input& in, const CommandShape& shape) {
  int count = 0;
  bool file_command = !strcmp(shape.name, "Open") || !strcmp(shape.name, "Create") || !strcmp(shape.name, "SaveAs");
  for (const char* kind = shape.args; *kind; ++kind) {
    if (*kind == 'c') {
      count += push_cell(s, in);
      continue;
    }
    if (*kind == 'o' && (in.byte() & 1)) return count;  // optional arguments stop here
    push_argument(s, in, *kind, file_command);
    ++count;
  }
  return count;
}

void check_error(lua_State* L, const char* command) {
  const char* message = lua_tostring(L, -1);
  if (!message) finding("error without a message from", command);
  for (const char* registered : kRegistered) {
    if (strstr(message, registered)) return;
  }
  finding(command, message);
}

// Keeps what CellRange returned: the iterator, and after a step the position handle.
void keep_range(Session& s, int results) {
  if (results < 1 || !lua_isfunction(s.L, -results)) return;
  lua_pushvalue(s.L, -results);
  luaL_unref(s.L, LUA_REGISTRYINDEX, s.iterator_ref);
  s.iterator_ref = luaL_ref(s.L, LUA_REGISTRYINDEX);
}

// One step of the last range loop; the position it gives is kept for the cell arguments.
void step_range(Session& s) {
  if (s.iterator_ref == LUA_NOREF) return;
  lua_rawgeti(s.L, LUA_REGISTRYINDEX, s.iterator_ref);
  if (lua_pcall(s.L, 0, 1, 0) != LUA_OK) {
    check_error(s.L, "range iterator");
  } else if (!lua_isnil(s.L, -1)) {
    luaL_unref(s.L, LUA_REGISTRYINDEX, s.position_ref);
    s.position_ref = luaL_ref(s.L, LUA_REGISTRYINDEX);
  }
  lua_settop(s.L, 0);
}

// A command byte of 250 or more steps the range loop; any other chooses the command.
void run_command(Session& s, Input& in) {
  uint8_t choice = in.byte();
  if (choice >= 250) return step_range(s);
  const CommandShape& shape = kCommands[choice % kCommandCount];
  lua_getglobal(s.L, "xlsx");
  lua_getfield(s.L, -1, shape.name);
  lua_remove(s.L, -2);
  int count = push_arguments(s, in, shape);
  if (lua_pcall(s.L, count, LUA_MULTRET, 0) != LUA_OK) {
    check_error(s.L, shape.name);
  } else if (!strcmp(shape.name, "CellRange")) {
    keep_range(s, lua_gettop(s.L));
  }
  lua_settop(s.L, 0);
}

void install_commands(Session& s) {
  lua_newtable(s.L);
  for (const PluginCommand* c = GetCommands(); c->name; ++c) {
    HostApiTable()->PushClosure(s.hs, c->handler, 0);
    lua_setfield(s.L, -2, c->name);
  }
  lua_setglobal(s.L, "xlsx");
  for (const PluginConstant* k = GetConstants(); k->name; ++k) {
    HostApiTable()->PushNumber(s.hs, k->value);
    lua_setglobal(s.L, k->name);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  static const std::string dir = scratch_dir();
  [[maybe_unused]] static bool made = (system(("mkdir -p '" + dir + "'").c_str()) == 0);
  uint32_t live = xlsx_live_allocations();
  HostResetErrors();
  HostResetObjects();
  Runtime runtime;
  std::string error;
  if (!runtime.Start(RuntimeOptions{}, &error)) finding("runtime does not start", error.c_str());
  Session s{runtime.state(), HostOf(runtime.state()), dir, LUA_NOREF, LUA_NOREF};
  PluginInfo info{};
  if (InitPlugin(&info, HostApiTable()) != 1) finding("InitPlugin", "failed");
  HostNotify(HOST_NOTIFY_TEXT_ENCODING, HostCharsetIsUtf8() ? 1 : 0);
  if (InitLibrary(s.hs) != 0) finding("InitLibrary", "failed");
  install_commands(s);
  // Document 1 starts as a fresh workbook, so that most sequences reach the sheet and cell commands.
  if (luaL_dostring(s.L, ("xlsx.Create(1, '" + dir + "/a.xlsx')").c_str()) != LUA_OK)
    finding("Create", lua_tostring(s.L, -1));
  lua_settop(s.L, 0);
  Input in{data, size, 0};
  for (uint32_t steps = 0; !in.done() && steps < 200; ++steps) run_command(s, in);
  FreeLibrary(s.hs);  // the range loop's references go with the interpreter
  runtime.Shutdown();
  HostResetErrors();
  HostResetObjects();
  xlsx_set_shared_strings_mode(0);
  if (xlsx_live_allocations() != live) finding("library blocks left allocated", "after FreeLibrary");
  return 0;
}
