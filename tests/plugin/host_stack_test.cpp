// Stack operations as the plugin uses them: upvalue pseudo-indexes, negative indexes, argument checks,
// optional numbers, table stores and object ids (explicit, automatic and refused).
#include "tests/support/host_fixture.h"

namespace {

int marker;

int32_t FirstUpvalue(HostState* L) {
  HostApiTable()->PushValue(L, HostUpvalueIndex(1));
  return 1;
}
int32_t SecondUpvalue(HostState* L) {
  HostApiTable()->PushValue(L, HostUpvalueIndex(2));
  return 1;
}
int32_t LightUpvalueMatches(HostState* L) {
  HostApiTable()->PushNumber(L, HostApiTable()->ToUserdata(L, -10002) == &marker ? 1 : 0);
  return 1;
}
int32_t SumFromTop(HostState* L) {
  const HostApi* api = HostApiTable();
  double top = api->CheckNumber(L, -1);
  double below = api->CheckNumber(L, -2);
  api->PushNumber(L, top * 10 + below);
  return 1;
}
// Pushes the number and handle of the id argument (read with CheckObjectId, or OptObjectId when optional).
template <bool optional>
int32_t ReadId(HostState* L) {
  ObjectId id{7, 7};
  if (optional) {
    HostApiTable()->OptObjectId(L, 1, &id);
  } else {
    HostApiTable()->CheckObjectId(L, 1, &id);
  }
  HostApiTable()->PushNumber(L, id.number);
  HostApiTable()->PushNumber(L, static_cast<double>(id.handle));
  return 2;
}
int32_t PushLightId(HostState* L) {
  HostApiTable()->PushLightUserdata(L, reinterpret_cast<void*>(uintptr_t{0x1000}));
  return 1;
}
int32_t Opt(HostState* L) {
  HostApiTable()->PushNumber(L, HostApiTable()->OptNumber(L, 1, 14));
  return 1;
}
int32_t StoreInTable(HostState* L) {
  const HostApi* api = HostApiTable();
  api->PushString(L, "key");
  api->PushNumber(L, 5);
  api->SetTable(L, 1);
  api->PushLString(L, "raw\0ignored", 3);
  api->PushNumber(L, 6);
  api->RawSetTable(L, 1);
  return 0;
}

class HostStackTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    lua_pushinteger(L, 42);
    Define("first", FirstUpvalue, 1);
    Define("missing", FirstUpvalue, 0);
    lua_pushinteger(L, 1);
    lua_pushinteger(L, 2);
    Define("second", SecondUpvalue, 2);
    lua_pushlightuserdata(L, &marker);
    Define("same", LightUpvalueMatches, 1);
    Define("sum", SumFromTop);
    Define("opt", Opt);
    Define("id", ReadId<false>);
    Define("optid", ReadId<true>);
    Define("light", PushLightId);
    Define("store", StoreInTable);
  }
};

// Each chunk asserts its own results; "" is a clean run.
TEST_F(HostStackTest, OperationsGiveTheirResults) {
  const char* chunks[] = {
      "assert(first() == 42)",     // the plugin's first upvalue
      "assert(second() == 2)",     // upvalues keep their order
      "assert(same() == 1)",       // a light userdata upvalue
      "assert(missing() == nil)",  // an upvalue index beyond the closure reads as none
      "assert(sum(1, 2) == 21)",   // negative indexes count from the top
      "assert(opt() == 14 and opt(nil) == 14 and opt(2.5) == 2.5)",
      "assert(math.type(opt(3)) == 'integer' and math.type(opt(2.5)) == 'float' and tostring(opt()) == '14')",
      "local t = {} store(t) assert(t.key == 5 and t.raw == 6)",
      // Explicit ids are the number (truncated) and a zero handle; automatic ids are zero and the handle.
      "local n, h = id(5.9) assert(n == 5 and h == 0, n .. ' ' .. h)",
      "local n, h = id(0) assert(n == 0 and h == 0)",
      "local n, h = id(4294967295) assert(n == 4294967295 and h == 0)",
      "local n, h = id(light()) assert(n == 0 and h == 0x1000)",
      // An optional id of nil or none asks for an automatic id.
      "local n, h = optid(nil) assert(n == 0 and h == 1)",
      "local n, h = optid() assert(n == 0 and h == 1)",
      "local n, h = optid(3) assert(n == 3 and h == 0)",
  };
  for (const char* chunk : chunks) EXPECT_EQ(Run(chunk), "") << chunk;
}

TEST_F(HostStackTest, WrongArgumentsAreScriptErrors) {
  const struct {
    const char* chunk;
    const char* part;
  } rows[] = {
      {"sum('x', 2)", "bad argument #1 to 'sum' (number expected, got string)"},
      {"id(nil)", "id expected, got nil"},
      {"id('1')", "id expected, got string"},
      {"id(-1)", "id out of range"},
      {"id(4294967296)", "id out of range"},
  };
  for (const auto& row : rows) {
    std::string error = Run(row.chunk);
    EXPECT_NE(error.find(row.part), std::string::npos) << row.chunk << ": " << error;
  }
}

}  // namespace
