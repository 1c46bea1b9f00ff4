// Full userdata with named metatables: the clean-up function runs exactly once, CheckUserdata insists on
// the metatable, and a closure can keep its userdata as upvalue.
#include "tests/support/host_fixture.h"

namespace {

int collected = 0;
constexpr const char* kMeta = "test.kvp.thing";

int32_t Collect(HostState* L) {
  HostApiTable()->CheckUserdata(L, 1, kMeta);
  ++collected;
  return 0;
}

int32_t Step(HostState* L) {
  auto* counter = static_cast<uint32_t*>(HostApiTable()->ToUserdata(L, -10002));
  HostApiTable()->PushNumber(L, ++*counter);
  return 1;
}

// Makes a userdata with the metatable and returns a closure over it (as a range iterator does).
int32_t MakeThing(HostState* L) {
  const HostApi* api = HostApiTable();
  auto* counter = static_cast<uint32_t*>(api->NewUserdata(L, sizeof(uint32_t)));
  if (*counter != 0) return HOST_ERR_NO_MEMORY;  // userdata arrives cleared
  api->GetMetatable(L, kMeta);
  api->SetMetatable(L, -2);
  api->PushValue(L, -1);
  api->PushClosure(L, Step, 1);
  return 1;
}

int32_t Check(HostState* L) {
  HostApiTable()->CheckUserdata(L, 1, kMeta);
  return 0;
}

}  // namespace

class HostUserdataTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    collected = 0;
    // The metatable set-up of a plugin's InitLibrary: __index is the table itself, __gc the clean-up.
    EXPECT_EQ(api->NewMetatable(hs, kMeta), 1);
    api->PushLString(hs, "__index", 7);
    api->PushValue(hs, -2);
    api->SetTable(hs, -3);
    api->PushString(hs, "__gc");
    api->PushClosure(hs, Collect, 0);
    api->SetTable(hs, -3);
    api->SetTop(hs, -2);
    Define("make", MakeThing);
    Define("check", Check);
  }
};

TEST_F(HostUserdataTest, TheMetatableIsNamedInTheRegistryAndIndexesItself) {
  EXPECT_EQ(lua_gettop(L), 0);
  EXPECT_EQ(api->NewMetatable(hs, kMeta), 0) << "a second NewMetatable finds the first";
  EXPECT_EQ(lua_getfield(L, -1, "__index"), LUA_TTABLE);
  EXPECT_TRUE(lua_rawequal(L, -1, -2));
  lua_settop(L, 0);
}

TEST_F(HostUserdataTest, ClosureStepsThroughItsUserdataUpvalue) {
  EXPECT_EQ(Run("local f = make() assert(f() == 1 and f() == 2 and f() == 3)"), "");
}

TEST_F(HostUserdataTest, GcRunsOnceWhenTheLoopIsLeftEarly) {
  EXPECT_EQ(Run("for n in make() do if n == 2 then break end end"), "");
  lua_gc(L, LUA_GCCOLLECT);
  lua_gc(L, LUA_GCCOLLECT);
  EXPECT_EQ(collected, 1);
  runtime_.Shutdown();
  EXPECT_EQ(collected, 1);
}

TEST_F(HostUserdataTest, GcRunsAtCloseForLiveUserdata) {
  EXPECT_EQ(Run("kept = make()"), "");
  lua_gc(L, LUA_GCCOLLECT);
  EXPECT_EQ(collected, 0);
  runtime_.Shutdown();
  EXPECT_EQ(collected, 1);
}

TEST_F(HostUserdataTest, CheckUserdataRefusesOtherValues) {
  std::string error = Run("check(io.stdout)");
  EXPECT_NE(error.find("test.kvp.thing expected"), std::string::npos) << error;
  EXPECT_NE(Run("check({})").find("bad argument #1"), std::string::npos);
}
