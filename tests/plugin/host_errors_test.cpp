// Error codes returned by plugin functions become script errors with the registered message, its %s
// filled from SetErrorArgument (once), and the script's file and line; codes below the first error are
// result counts.
#include "tests/support/host_fixture.h"

namespace {

uint32_t openCode = 0;
uint32_t plainCode = 0;

int32_t FailOpening(HostState*) {
  HostApiTable()->SetErrorArgument("book.xlsx");
  return static_cast<int32_t>(openCode);
}
int32_t FailPlain(HostState*) {
  return static_cast<int32_t>(plainCode);
}
int32_t FailNoMemory(HostState*) {
  return HOST_ERR_NO_MEMORY;
}
int32_t FailAttribute(HostState*) {
  return HOST_ERR_UNKNOWN_ATTRIBUTE;
}
int32_t FailUnknown(HostState*) {
  return 999999;
}
int32_t PushTwo(HostState* L) {
  HostApiTable()->PushNumber(L, 1);
  HostApiTable()->PushNumber(L, 2);
  return 2;
}

class HostErrorsTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    openCode = api->RegisterErrorMessage("Error opening XLSX document %s!");
    plainCode = api->RegisterErrorMessage("Cannot find specified XLSX document!");
    Define("open", FailOpening);
    Define("find", FailPlain);
    Define("nomem", FailNoMemory);
    Define("attr", FailAttribute);
    Define("unknown", FailUnknown);
    Define("two", PushTwo);
  }
};

TEST_F(HostErrorsTest, RegisteredCodesAreDistinctAndAboveTheResultCounts) {
  EXPECT_GE(openCode, static_cast<uint32_t>(HOST_FIRST_ERROR));
  EXPECT_EQ(plainCode, openCode + 1);
  EXPECT_STREQ(HostErrorMessage(static_cast<int32_t>(plainCode)), "Cannot find specified XLSX document!");
}

TEST_F(HostErrorsTest, EachCodeBecomesItsMessageWithFileAndLine) {
  const struct {
    const char* chunk;
    const char* error;
  } rows[] = {
      {"open()", "[string \"open()\"]:1: Error opening XLSX document book.xlsx!"},
      {"local x = 1\n\nfind()", "[string \"local x = 1...\"]:3: Cannot find specified XLSX document!"},
      {"nomem()", "[string \"nomem()\"]:1: out of memory"},
      {"attr()", "[string \"attr()\"]:1: unknown attribute"},
      {"unknown()", "[string \"unknown()\"]:1: unknown error code 999999"},
      {"local ok, m = pcall(find) assert(not ok and m == 'Cannot find specified XLSX document!', m)", ""},
      {"local a, b = two() assert(a == 1 and b == 2)", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(Run(row.chunk), row.error) << row.chunk;
}

TEST_F(HostErrorsTest, TheArgumentIsUsedOnlyOnce) {
  api->SetErrorArgument("stale.xlsx");
  EXPECT_NE(Run("open()").find("book.xlsx"), std::string::npos);
  api->SetErrorArgument("x");
  Run("open()");
  EXPECT_EQ(Run("find()"), "[string \"find()\"]:1: Cannot find specified XLSX document!");
}

}  // namespace
