// Moving a formula's references by rows and columns, as a formula copied to another cell changes.
#include <gtest/gtest.h>

#include <string>

#include "lib/sheet/formula_move.h"
#include "tests/support/live_allocations.h"

namespace {

class FormulaMove : public xlsx_test::CountedTest {};

TEST_F(FormulaMove, RelativePartsMoveTheRestStays) {
  const struct {
    const char* formula;
    int64_t rows, columns;
    const char* moved;
  } cases[] = {
      {"A1*2", 1, 0, "A2*2"},
      {"A1+B2", 2, 3, "D3+E4"},
      {"$A1+A$1+$A$1", 1, 1, "$A2+B$1+$A$1"},
      {"SUM(A1:B2)", 3, 1, "SUM(B4:C5)"},
      {"SUM($A$1:B2)", 1, 1, "SUM($A$1:C3)"},
      {"SUM(A:A)+SUM($B:C)", 5, 1, "SUM(B:B)+SUM($B:D)"},
      {"SUM(1:1)+SUM($2:3)", 1, 4, "SUM(2:2)+SUM($2:4)"},
      {"Sheet1!A1+'My Sheet'!B2:C3", 1, 1, "Sheet1!B2+'My Sheet'!C3:D4"},
      {"'It''s'!A1", 0, 2, "'It''s'!C1"},
      {"\"A1\"&A1&\"B\"\"2\"", 1, 0, "\"A1\"&A2&\"B\"\"2\""},
      {"LOG10(A1)+ATAN2(B1,C1)", 1, 0, "LOG10(A2)+ATAN2(B2,C2)"},
      {"Total*Rate+A1", 1, 0, "Total*Rate+A2"},
      {"Table1[Col A]+Table1[[#This Row],[B1]]", 1, 1, "Table1[Col A]+Table1[[#This Row],[B1]]"},
      {"IF(ISERROR(A1),#N/A,#REF!)+#DIV/0!", 1, 0, "IF(ISERROR(A2),#N/A,#REF!)+#DIV/0!"},
      {"1.5E+3+2E5+A1", 1, 0, "1.5E+3+2E5+A2"},
      {"TRUE+XFD1+XFE1", 0, 0, "TRUE+XFD1+XFE1"},
      {"a1+b$2", 1, 1, "B2+C$2"},
      {"{1,2;3,4}", 1, 1, "{1,2;3,4}"},
      {"A1", -1, 0, "#REF!"},
      {"Sheet1!A1:B2", 0, -1, "Sheet1!#REF!"},
      {"XFD1048576+1", 0, 1, "#REF!+1"},
      {"A:A", 0, 16384, "#REF!"},
      {"1:1", -1, 0, "#REF!"},
      {"", 1, 1, ""},
  };
  for (const auto& c : cases) {
    StrBuf out;
    strbuf_init(&out);
    ASSERT_EQ(xlsx_formula_move(c.formula, c.rows, c.columns, &out), XLSX_OK) << c.formula;
    EXPECT_STREQ(out.data, c.moved) << c.formula << " by " << c.rows << ", " << c.columns;
    strbuf_free(&out);
  }
}

}  // namespace
