// The serialized workbook opens in openpyxl, a third-party reader, with the expected cells on its first
// sheet. Without python3 and openpyxl it is skipped in a cross build and fails in a native one.
#include <cstdlib>

#include "tests/serializer/serializer_fixture.h"

namespace serializer_test {
namespace {

class OpenpyxlOpenTest : public SerializerTest {};

TEST_F(OpenpyxlOpenTest, SerializedWorkbookHasTheExpectedCells) {
  if (!XLSX_HAVE_PYTHON_PEERS) {
    if (XLSX_CROSS_BUILD) GTEST_SKIP() << XLSX_PYTHON_PEERS_SKIP_REASON;
    FAIL() << XLSX_PYTHON_PEERS_SKIP_REASON << " (scripts/setup.sh installs them)";
  }
  std::string bytes = Serialize({Item::Begin(0), Item::Text(0, "name"),
                                 Item::Text(1,
                                            "Gr\xC3\xB6\xC3\x9F"
                                            "e"),
                                 Item::Number(2, 42), Item::Number(3, 2.5), Item::End(0), Item::Begin(2),
                                 Item::Text(1, "<&>"), Item::Number(2, -7), Item::End(2)});
  std::string workbook = WriteFile("serialized.xlsx", bytes);
  std::string expected = WriteFile("expected.txt",
                                   "A1\ts\tname\n"
                                   "B1\ts\tGr\xC3\xB6\xC3\x9F"
                                   "e\n"
                                   "C1\ti\t42\n"
                                   "D1\tf\t2.5\n"
                                   "A2\tn\t\n"
                                   "A3\tn\t\n"
                                   "B3\ts\t<&>\n"
                                   "C3\ti\t-7\n");
  std::string command = std::string(SERIALIZER_PYTHON3) + " " + SERIALIZER_CHECK_SCRIPT + " '" + workbook + "' '" +
                        expected + "' > '" + Path("openpyxl.out") + "' 2>&1";
  int status = std::system(command.c_str());
  EXPECT_EQ(status, 0) << ReadFileBytes(Path("openpyxl.out"));
  EXPECT_NE(ReadFileBytes(Path("openpyxl.out")).find("3 rows, 4 columns, 0 mismatches"), std::string::npos)
      << ReadFileBytes(Path("openpyxl.out"));
}

}  // namespace
}  // namespace serializer_test
