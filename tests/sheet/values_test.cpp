// Cell references and areas, the cell value record, formula texts and the moving of their references.
#include <cmath>
#include <cstring>
#include <limits>

#include "lib/sheet/cell_area.h"
#include "lib/sheet/cellref.h"
#include "lib/sheet/formula_move.h"
#include "lib/sheet/value.h"
#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

using Values = xlsx_test::CountedTest;

std::string letters(uint32_t column) {
  char buffer[4];
  return xlsx_column_to_letters(column, buffer);
}

// Letters <-> columns both ways for every column; row digits within the sheet; nothing beyond wraps.
TEST_F(Values, ColumnLettersAndRowDigits) {
  for (const auto& c : cases("letters")) {
    EXPECT_EQ(letters(std::stoul(c[0])), c[1]) << c.where;
    EXPECT_EQ(xlsx_letters_to_column(c[1].c_str()), std::stoul(c[0])) << c.where;
  }
  for (uint32_t column = 1; column <= XLSX_CELLREF_MAX_COLUMN; ++column)
    ASSERT_EQ(xlsx_letters_to_column(letters(column).c_str()), column) << column;
  EXPECT_EQ(letters(0) + letters(16385), "");
  EXPECT_EQ(xlsx_letters_to_column("xfd") + xlsx_letters_to_column("Aa"), 16384 + 27);
  for (const auto& c : cases("no-column")) EXPECT_EQ(xlsx_letters_to_column(c[0].c_str()), 0) << c.where;
  for (const auto& c : cases("row-of")) EXPECT_EQ(xlsx_cellref_row_of(c[0].c_str()), std::stoul(c[1])) << c.where;
  EXPECT_EQ(xlsx_letters_to_column(nullptr) + xlsx_cellref_row_of(nullptr), 0u);
}

// One reader behind set_text, a cell's column and the formatter: a valid text is kept, any other gives A1.
TEST_F(Values, ReferenceTextsFollowOneRule) {
  for (const auto& c : cases("ref")) {
    uint32_t row = std::stoul(c[1]), column = std::stoul(c[2]), r = 77, col = 77;
    EXPECT_EQ(xlsx_cellref_read(c[0].c_str(), &r, &col), row != 0) << c.where;
    EXPECT_EQ(r * 100000 + col, row * 100000 + column) << c.where;
    EXPECT_EQ(xlsx_cellref_column_of(c[0].c_str()), column) << c.where;
    XlsxCellRef ref;
    ASSERT_EQ(xlsx_cellref_set(&ref, 9, 9), XLSX_OK);
    EXPECT_EQ(xlsx_cellref_set_text(&ref, c[0].c_str()), row ? XLSX_OK : XLSX_ERR_INVALID_ARG) << c.where;
    EXPECT_EQ(xlsx_cellref_row(&ref) * 100000 + xlsx_cellref_column(&ref), row ? r * 100000 + col : 100001u);
    EXPECT_STREQ(xlsx_cellref_text(&ref), row ? c[0].c_str() : "A1");
  }
  XlsxCellRef ref;
  ASSERT_EQ(xlsx_cellref_set_text(&ref, ("B2" + std::string(40, ' ')).c_str()), XLSX_OK);
  EXPECT_EQ(std::strlen(xlsx_cellref_text(&ref)), 23u) << "cut, but the whole text was read";
  for (const char* empty : {"", static_cast<const char*>(nullptr)}) {
    ASSERT_EQ(xlsx_cellref_set(&ref, 4, 4), XLSX_OK);
    EXPECT_EQ(xlsx_cellref_set_text(&ref, empty), XLSX_OK);
    EXPECT_STREQ(xlsx_cellref_text(&ref), "A1");
  }
  EXPECT_EQ(xlsx_cellref_set_text(nullptr, "A1"), XLSX_ERR_INVALID_ARG);
  EXPECT_FALSE(xlsx_cellref_read(nullptr, nullptr, nullptr) || xlsx_cellref_column_of(nullptr));
  char buffer[XLSX_CELLREF_TEXT_SIZE];
  EXPECT_EQ(xlsx_cellref_format(1048576, 16384, buffer), 10u);
  EXPECT_STREQ(buffer, "XFD1048576");
  EXPECT_EQ(xlsx_cellref_format(0, 1, buffer) + std::strlen(buffer), 0u);
  for (const auto& c : cases("area")) {
    XlsxCellArea a{};
    ASSERT_EQ(xlsx_area_read(c[0].c_str(), &a), !c[1].empty()) << c.where;
    if (c[1].empty()) continue;
    EXPECT_STREQ(xlsx_area_format(&a, false, buffer), c[1].c_str()) << c.where;
    EXPECT_TRUE(c[2].empty() || xlsx_area_format(&a, true, buffer) == c[2]) << c.where;
  }
}

// Numbers outside the sheet are refused and change nothing; references order by row, then column.
TEST_F(Values, ReferenceNumbersWithinTheLimitsAndTheirOrder) {
  XlsxCellRef ref;
  xlsx_cellref_init(&ref);
  EXPECT_STREQ(xlsx_cellref_text(&ref), "A1");
  ASSERT_EQ(xlsx_cellref_set(&ref, 5, 3) + xlsx_cellref_set_row(&ref, 9) + xlsx_cellref_set_column(&ref, 28), XLSX_OK);
  EXPECT_STREQ(xlsx_cellref_text(&ref), "AB9");
  const XlsxCellRef before = ref;
  const uint32_t pairs[][2] = {{1048577, 1}, {1, 16385}, {0, 1}, {1, 0}, {1, 65537}};  // 65537 is 1 in 16 bits
  for (const auto& pair : pairs) {
    EXPECT_FALSE(xlsx_cellref_is_valid(pair[0], pair[1]));
    EXPECT_EQ(xlsx_cellref_set(&ref, pair[0], pair[1]), XLSX_ERR_INVALID_ARG) << pair[0] << "," << pair[1];
  }
  EXPECT_EQ(xlsx_cellref_set_row(&ref, 0) + xlsx_cellref_set_column(&ref, 16385), 2 * XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(std::memcmp(&ref, &before, sizeof ref), 0);
  EXPECT_EQ(xlsx_cellref_set(nullptr, 1, 1) + xlsx_cellref_set_row(nullptr, 1) + xlsx_cellref_set_column(nullptr, 1),
            3 * XLSX_ERR_INVALID_ARG);
  XlsxCellRef b2_text, b2, z1, a2;
  ASSERT_EQ(xlsx_cellref_set_text(&b2_text, "b 2") + xlsx_cellref_set(&b2, 2, 2), XLSX_OK);
  ASSERT_EQ(xlsx_cellref_set_text(&z1, "Z1") + xlsx_cellref_set_text(&a2, "A2"), XLSX_OK);
  EXPECT_TRUE(xlsx_cellref_equal(&b2_text, &b2) && xlsx_cellref_equal(nullptr, nullptr));
  EXPECT_FALSE(xlsx_cellref_equal(&a2, nullptr));
  const std::vector<int> orders = {xlsx_cellref_compare(&b2_text, &b2), xlsx_cellref_compare(&z1, &a2),
                                   xlsx_cellref_compare(&b2, &a2), xlsx_cellref_compare(nullptr, &a2),
                                   xlsx_cellref_compare(&a2, nullptr), xlsx_cellref_compare(nullptr, nullptr)};
  EXPECT_EQ(orders, (std::vector<int>{0, -1, 1, -1, 1, 0}));
  EXPECT_EQ(xlsx_cellref_row(nullptr) + xlsx_cellref_column(nullptr), 0u);
  EXPECT_STREQ(xlsx_cellref_text(nullptr), "");
}

class CellValue : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    ASSERT_EQ(xlsx_value_init(&a) + xlsx_value_init(&b), XLSX_OK);
  }
  void TearDown() override {
    xlsx_value_reset(&a);
    xlsx_value_reset(&b);
    CountedTest::TearDown();
  }
  XlsxCellValue a, b;
};

// Getters answer only for their kind (an error is a NaN float), setters normalise (no infinite float).
TEST_F(CellValue, SettersNormaliseAndGettersDoNotConvert) {
  auto got = [](xlsx_status status, bool untouched, const std::string& value) -> std::string {
    if (status == XLSX_ERR_VALUE_TYPE) return untouched ? "-" : "output changed on failure";
    return status == XLSX_OK ? value : "status " + std::to_string(status);
  };
  for (const auto& c : cases("getters")) {
    ASSERT_EQ(set_value(&a, c[0]), XLSX_OK) << c.where;
    EXPECT_STREQ(xlsx_value_type_name(&a), c[1].c_str()) << c.where;
    bool number = a.type == XLSX_VALUE_BOOLEAN || a.type == XLSX_VALUE_INTEGER || a.type == XLSX_VALUE_FLOAT;
    EXPECT_TRUE(a.boolean <= 1 && !(number && a.text)) << c.where << ": numbers carry no text";
    bool flag = false;
    int64_t i = 5;
    double d = 5;
    const char* text = nullptr;
    xlsx_status as_bool = xlsx_value_get_bool(&a, &flag), as_int = xlsx_value_get_int(&a, &i),
                as_float = xlsx_value_get_float(&a, &d), as_text = xlsx_value_get_text(&a, &text);
    std::string float_text = std::isnan(d) ? "nan" : d == 0.5 ? "0.5" : "?";
    EXPECT_EQ(got(as_bool, !flag, flag ? "1" : "0"), c[2]) << c.where;
    EXPECT_EQ(got(as_int, i == 5, std::to_string(i)), c[3]) << c.where;
    EXPECT_EQ(got(as_float, d == 5, float_text), c[4]) << c.where;
    EXPECT_EQ(got(as_text, text == nullptr, text ? text : "(null)"), c[5]) << c.where;
  }
  xlsx_value_reset(&a);
  EXPECT_EQ(a.text, nullptr);
  const char* text = nullptr;
  ASSERT_EQ(xlsx_value_get_text(&a, &text), XLSX_OK);
  EXPECT_STREQ(text, "") << "a reset value reads as the empty text";
  XlsxCellValue unknown = a;
  unknown.type = 6;
  EXPECT_STREQ(xlsx_value_type_name(&unknown), "error");
  EXPECT_STREQ(xlsx_value_type_name(nullptr), "empty");
  EXPECT_EQ(xlsx_value_type(nullptr), 0u);
  xlsx_value_reset(nullptr);
  EXPECT_EQ(xlsx_value_set_string(nullptr, "x") + xlsx_value_get_text(&a, nullptr), 2 * XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_value_get_float(nullptr, &b.number), XLSX_ERR_INVALID_ARG);
  ASSERT_EQ(xlsx_value_set_float(&a, std::numeric_limits<double>::max()), XLSX_OK);
  EXPECT_EQ(a.type, XLSX_VALUE_FLOAT);
}

// Texts are owned copies, may come from the value itself, and a copy that cannot be made changes nothing.
TEST_F(CellValue, TextsAreOwnedCopiesAndMayComeFromTheValueItself) {
  char source[] = "self";
  ASSERT_EQ(xlsx_value_set_string(&a, source), XLSX_OK);
  source[0] = 'X';
  ASSERT_EQ(xlsx_value_set_error(&a, a.text), XLSX_OK);
  ASSERT_EQ(xlsx_value_copy(&b, &a), XLSX_OK);
  EXPECT_TRUE(b.text != a.text && std::string(b.text) == "self" && b.type == XLSX_VALUE_ERROR);
  ASSERT_EQ(xlsx_value_set_int(&a, 3), XLSX_OK);
  ASSERT_EQ(xlsx_value_copy(&b, &a), XLSX_OK);  // releases b's text
  EXPECT_TRUE(b.text == nullptr && b.integer == 3);
  ASSERT_EQ(xlsx_value_set_string(&a, "kept") + xlsx_value_set_string(&b, "source"), XLSX_OK);
  char* before = a.text;
  xlsx_test::FaultAllocation fault(1, true);
  for (const char* typed : {"string:new", "error:#REF!", "empty:", "float:inf"})
    EXPECT_EQ(set_value(&a, typed), XLSX_ERR_NO_MEMORY) << typed;
  EXPECT_EQ(xlsx_value_copy(&a, &b), XLSX_ERR_NO_MEMORY);
  EXPECT_TRUE(a.type == XLSX_VALUE_STRING && a.text == before);
  XlsxCellValue v;
  EXPECT_EQ(xlsx_value_init(&v), XLSX_ERR_NO_MEMORY);
  fault.fail_after(0);
  const char* text = nullptr;
  ASSERT_EQ(xlsx_value_get_text(&v, &text), XLSX_OK) << "a failed init leaves a valid empty value";
  EXPECT_STREQ(text, "");
  xlsx_value_reset(&v);
}

// Ordering: texts, then integers, then floats, then booleans; never by magnitude across classes.
TEST_F(CellValue, ComparisonReferenceTable) {
  for (const auto& c : cases("compare")) {
    ASSERT_EQ(set_value(&a, c[0]) + set_value(&b, c[1]), XLSX_OK) << c.where;
    EXPECT_EQ(xlsx_value_compare(&a, &b), std::stoi(c[2])) << c.where;
    EXPECT_EQ(xlsx_value_compare(&b, &a), -std::stoi(c[2])) << c.where;
    EXPECT_EQ(xlsx_value_equal(&a, &b), c[3] == "1") << c.where;
  }
  xlsx_value_reset(&a);
  EXPECT_EQ(xlsx_value_compare(nullptr, &a) * 10 + xlsx_value_compare(nullptr, nullptr), -10) << "missing ones first";
  EXPECT_TRUE(xlsx_value_equal(nullptr, nullptr) && !xlsx_value_equal(&a, nullptr));
  ASSERT_EQ(xlsx_value_set_string(&b, ""), XLSX_OK);
  EXPECT_TRUE(xlsx_value_equal(&a, &b)) << "a reset value equals the empty text";
}

// Formula texts are owned copies (also from their own text); a failed copy keeps the old text.
TEST_F(Values, FormulaTextsAreOwnedCopies) {
  XlsxText a, b;
  ASSERT_EQ(xlsx_text_init(&a) + xlsx_text_init(&b), XLSX_OK);
  EXPECT_STREQ(xlsx_text_get(&a), "");
  ASSERT_EQ(xlsx_text_set(&a, "SUM(A1:A3)"), XLSX_OK);
  ASSERT_EQ(xlsx_text_set(&a, a.text), XLSX_OK);  // from its own text
  ASSERT_EQ(xlsx_text_assign(&b, &a), XLSX_OK);
  EXPECT_TRUE(a.text != b.text && xlsx_text_equal(&a, &b));
  EXPECT_STREQ(xlsx_text_get(&b), "SUM(A1:A3)");
  {
    xlsx_test::FaultAllocation fault(1, true);
    EXPECT_EQ(xlsx_text_set(&a, "new") + xlsx_text_assign(&a, &b), 2 * XLSX_ERR_NO_MEMORY);
    EXPECT_STREQ(xlsx_text_get(&a), "SUM(A1:A3)");
  }
  ASSERT_EQ(xlsx_text_set(&a, nullptr) + xlsx_text_assign(&b, nullptr), XLSX_OK);
  EXPECT_STREQ(xlsx_text_get(&b), "");
  xlsx_text_release(&a);
  EXPECT_EQ(a.text, nullptr);
  EXPECT_TRUE(xlsx_text_equal(&a, &b) && xlsx_text_equal(nullptr, nullptr) && !xlsx_text_equal(&a, nullptr));
  EXPECT_STREQ(xlsx_text_get(nullptr), "");
  EXPECT_EQ(xlsx_text_set(nullptr, "x"), XLSX_ERR_INVALID_ARG);
  xlsx_text_release(&b);
  xlsx_text_release(nullptr);
  for (const auto& c : cases("move")) {
    StrBuf out;
    strbuf_init(&out);
    ASSERT_EQ(xlsx_formula_move(c[0].c_str(), std::stoll(c[1]), std::stoll(c[2]), &out), XLSX_OK) << c.where;
    EXPECT_STREQ(out.data, c[3].c_str()) << c.where;
    strbuf_free(&out);
  }
}

}  // namespace
}  // namespace sheet_test
