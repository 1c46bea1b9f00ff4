// Stack operations as the plugin uses them: pseudo-indexes, negative indexes, argument checks, object ids.
#include "tests/plugin/host_fixture.h"

namespace {

int32_t ReturnFirstUpvalue(HostState* L) {
  HostApiTable()->PushValue(L, HostUpvalueIndex(1));
  return 1;
}

int marker;

int32_t LightUpvalueMatches(HostState* L) {
  void* seen = HostApiTable()->ToUserdata(L, -10002);
  HostApiTable()->PushNumber(L, seen == &marker ? 1 : 0);
  return 1;
}

int32_t SecondUpvalue(HostState* L) {
  HostApiTable()->PushValue(L, HostUpvalueIndex(2));
  return 1;
}

int32_t SumFromTop(HostState* L) {
  const HostApi* api = HostApiTable();
  double top = api->CheckNumber(L, -1);
  double below = api->CheckNumber(L, -2);
  api->PushNumber(L, top * 10 + below);
  return 1;
}

int32_t ReadId(HostState* L) {
  ObjectId id{7, 7};
  HostApiTable()->CheckObjectId(L, 1, &id);
  HostApiTable()->PushNumber(L, id.number);
  HostApiTable()->PushNumber(L, static_cast<double>(id.handle));
  return 2;
}

int32_t ReadOptId(HostState* L) {
  ObjectId id{7, 7};
  HostApiTable()->OptObjectId(L, 1, &id);
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

}  // namespace

using HostStackTest = HostTest;

TEST_F(HostStackTest, UpvaluePseudoIndexReachesThePluginsFirstUpvalue) {
  lua_pushinteger(L, 42);
  Define("first", ReturnFirstUpvalue, 1);
  EXPECT_EQ(Number("return first()"), 42);

  lua_pushlightuserdata(L, &marker);
  Define("same", LightUpvalueMatches, 1);
  EXPECT_EQ(Number("return same()"), 1);
}

TEST_F(HostStackTest, UpvaluesKeepTheirOrder) {
  lua_pushinteger(L, 1);
  lua_pushinteger(L, 2);
  Define("second", SecondUpvalue, 2);
  EXPECT_EQ(Number("return second()"), 2);
}

TEST_F(HostStackTest, AnUpvalueIndexBeyondTheClosureReadsAsNone) {
  Define("missing", ReturnFirstUpvalue, 0);
  EXPECT_EQ(Run("assert(missing() == nil)"), "");
}

TEST_F(HostStackTest, NegativeIndexesCountFromTheTop) {
  Define("sum", SumFromTop);
  EXPECT_EQ(Number("return sum(1, 2)"), 21);
}

TEST_F(HostStackTest, CheckNumberRaisesAScriptErrorForAMissingArgument) {
  Define("sum", SumFromTop);
  std::string error = Run("sum('x', 2)");
  EXPECT_NE(error.find("bad argument #1 to 'sum'"), std::string::npos) << error;
  EXPECT_NE(error.find("number expected, got string"), std::string::npos) << error;
}

TEST_F(HostStackTest, OptNumberGivesTheFallbackForNilOrAbsent) {
  Define("opt", Opt);
  EXPECT_EQ(Number("return opt()"), 14);
  EXPECT_EQ(Number("return opt(nil)"), 14);
  EXPECT_EQ(Number("return opt(2.5)"), 2.5);
}

TEST_F(HostStackTest, ExplicitIdsAreNumberAndZeroHandle) {
  Define("id", ReadId);
  EXPECT_EQ(Run("local n, h = id(5.9) assert(n == 5 and h == 0, n .. ' ' .. h)"), "");
  EXPECT_EQ(Run("local n, h = id(0) assert(n == 0 and h == 0)"), "");
  EXPECT_EQ(Run("local n, h = id(4294967295) assert(n == 4294967295 and h == 0)"), "");
}

TEST_F(HostStackTest, AutomaticIdsAreZeroAndTheHandle) {
  Define("id", ReadId);
  Define("light", PushLightId);
  EXPECT_EQ(Run("local n, h = id(light()) assert(n == 0 and h == 0x1000)"), "");
}

TEST_F(HostStackTest, WrongIdsAreScriptErrors) {
  Define("id", ReadId);
  EXPECT_NE(Run("id(nil)").find("id expected, got nil"), std::string::npos);
  EXPECT_NE(Run("id('1')").find("id expected, got string"), std::string::npos);
  EXPECT_NE(Run("id(-1)").find("id out of range"), std::string::npos);
  EXPECT_NE(Run("id(4294967296)").find("id out of range"), std::string::npos);
}

TEST_F(HostStackTest, OptObjectIdAsksForAnAutomaticIdOnNil) {
  Define("optid", ReadOptId);
  EXPECT_EQ(Run("local n, h = optid(nil) assert(n == 0 and h == 1)"), "");
  EXPECT_EQ(Run("local n, h = optid() assert(n == 0 and h == 1)"), "");
  EXPECT_EQ(Run("local n, h = optid(3) assert(n == 3 and h == 0)"), "");
}

TEST_F(HostStackTest, StoreOperationsWriteIntoTheTable) {
  Define("store", StoreInTable);
  EXPECT_EQ(Run("local t = {} store(t) assert(t.key == 5 and t.raw == 6)"), "");
}

TEST_F(HostStackTest, WholeNumbersArriveAsIntegers) {
  Define("opt", Opt);
  EXPECT_EQ(Run("assert(math.type(opt(3)) == 'integer' and math.type(opt(2.5)) == 'float')"), "");
  EXPECT_EQ(Run("assert(tostring(opt()) == '14')"), "");
}
