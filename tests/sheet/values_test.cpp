// Cell references (column letters, row digits, reference texts within the limits of a worksheet), the
// cell value record and the owned text of formulas.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>

#include "lib/sheet/cellref.h"
#include "lib/sheet/value.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"

namespace {

using Values = xlsx_test::CountedTest;

std::string letters(uint32_t column) {
  char buffer[4];
  return xlsx_column_to_letters(column, buffer);
}

TEST_F(Values, ColumnLettersAndRowDigits) {
  const struct {
    uint32_t column;
    const char* letters;
  } table[] = {{1, "A"},     {26, "Z"},    {27, "AA"},   {52, "AZ"},    {53, "BA"},    {702, "ZZ"},
               {703, "AAA"}, {728, "AAZ"}, {729, "ABA"}, {1378, "AZZ"}, {1379, "BAA"}, {16384, "XFD"}};
  for (const auto& row : table) {
    EXPECT_EQ(letters(row.column), row.letters) << row.column;
    EXPECT_EQ(xlsx_letters_to_column(row.letters), row.column) << row.letters;
  }
  for (uint32_t column = 1; column <= XLSX_CELLREF_MAX_COLUMN; ++column) {
    ASSERT_EQ(xlsx_letters_to_column(letters(column).c_str()), column) << column;
  }
  EXPECT_EQ(letters(0) + letters(16385), "");
  EXPECT_EQ(xlsx_letters_to_column("xfd") + xlsx_letters_to_column("Aa"), 16384 + 27);
  for (const char* text : {"", "XFE", "ZZZ", "AAAA", "A1", "A B", "$A", "@", "[", "\xC4", " A", "A ",
                           "AAAAAAA"}) {  // 16-bit arithmetic would wrap the last onto column 14935
    EXPECT_EQ(xlsx_letters_to_column(text), 0) << '"' << text << '"';
  }
  EXPECT_EQ(xlsx_letters_to_column(nullptr), 0);
  // A row's `r`: digits with blanks around them, within the sheet.
  const struct {
    const char* text;
    uint32_t row;
  } rows[] = {{"1", 1},        {"  \t42 ", 42}, {"1048576", 1048576}, {"1048577", 0}, {"0", 0},
              {"0000012", 12}, {"00000012", 0}, {"12x", 0},           {"", 0},        {"x1", 0},
              {"\n5", 0},      {"+5", 0},       {"4294967297", 0}};  // 32-bit arithmetic would wrap this to 1
  for (const auto& row : rows) {
    EXPECT_EQ(xlsx_cellref_row_of(row.text), row.row) << '"' << row.text << '"';
  }
  EXPECT_EQ(xlsx_cellref_row_of(nullptr), 0u);
}

// One reader behind set_text, a cell's column and the formatter: a valid text is kept as written; any
// other resets the reference to A1.
TEST_F(Values, ReferenceTextsFollowOneRule) {
  const struct {
    const char* text;
    uint32_t row, column;  // 0, 0: names no cell
  } table[] = {{"A1", 1, 1},   {"XFD1048576", 1048576, 16384}, {"b2", 2, 2},   {"B 7", 7, 2},   {"B\t7 ", 7, 2},
               {"AA10", 10, 27}, {"C0000005", 5, 3},           {"D", 0, 0},    {"XFE1", 0, 0},  {"C1x", 0, 0},
               {" B7", 0, 0},  {"B0", 0, 0},    {"7B", 0, 0},   {"12", 0, 0},   {"AAAA1", 0, 0}, {"A1048577", 0, 0},
               {"B2:C3", 0, 0}, {"$B$2", 0, 0}, {"C00000005", 0, 0}, {"B-2", 0, 0}, {"B2 x", 0, 0},
               {"\xC4" "1", 0, 0}, {"A4294967297", 0, 0}, {"AAAAAAA1", 0, 0}};
  for (const auto& row : table) {
    uint32_t r = 77, c = 77;
    EXPECT_EQ(xlsx_cellref_read(row.text, &r, &c), row.row != 0) << row.text;
    EXPECT_EQ(r * 100000 + c, row.row * 100000 + row.column) << row.text;
    EXPECT_EQ(xlsx_cellref_column_of(row.text), row.column) << row.text;
    XlsxCellRef ref;
    ASSERT_EQ(xlsx_cellref_set(&ref, 9, 9), XLSX_OK);
    EXPECT_EQ(xlsx_cellref_set_text(&ref, row.text), row.row ? XLSX_OK : XLSX_ERR_INVALID_ARG) << row.text;
    EXPECT_EQ(xlsx_cellref_row(&ref) * 100000 + xlsx_cellref_column(&ref), row.row ? r * 100000 + c : 100001u);
    EXPECT_STREQ(xlsx_cellref_text(&ref), row.row ? row.text : "A1");
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
  EXPECT_FALSE(xlsx_cellref_read(nullptr, nullptr, nullptr));
  EXPECT_EQ(xlsx_cellref_column_of(nullptr), 0u);
  char buffer[XLSX_CELLREF_TEXT_SIZE];
  EXPECT_EQ(xlsx_cellref_format(1048576, 16384, buffer), 10u);
  EXPECT_STREQ(buffer, "XFD1048576");
  EXPECT_EQ(xlsx_cellref_format(0, 1, buffer), 0u);
  EXPECT_STREQ(buffer, "");
}

TEST_F(Values, ReferenceNumbersWithinTheLimitsAndTheirOrder) {
  XlsxCellRef ref;
  xlsx_cellref_init(&ref);
  EXPECT_STREQ(xlsx_cellref_text(&ref), "A1");
  ASSERT_EQ(xlsx_cellref_set(&ref, 5, 3), XLSX_OK);
  ASSERT_EQ(xlsx_cellref_set_row(&ref, 9), XLSX_OK);
  ASSERT_EQ(xlsx_cellref_set_column(&ref, 28), XLSX_OK);
  EXPECT_STREQ(xlsx_cellref_text(&ref), "AB9");
  const XlsxCellRef before = ref;
  const uint32_t pairs[][2] = {{1048577, 1}, {1, 16385}, {0, 1}, {1, 0}, {1, 65537}};  // 65537 is 1 in 16 bits
  for (const auto& pair : pairs) {
    EXPECT_FALSE(xlsx_cellref_is_valid(pair[0], pair[1]));
    EXPECT_EQ(xlsx_cellref_set(&ref, pair[0], pair[1]), XLSX_ERR_INVALID_ARG) << pair[0] << "," << pair[1];
  }
  EXPECT_EQ(xlsx_cellref_set_row(&ref, 0), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_cellref_set_column(&ref, 16385), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(std::memcmp(&ref, &before, sizeof ref), 0);
  EXPECT_EQ(xlsx_cellref_set(nullptr, 1, 1), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_cellref_set_row(nullptr, 1), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_cellref_set_column(nullptr, 1), XLSX_ERR_INVALID_ARG);
  XlsxCellRef b2_text, b2, z1, a2;
  ASSERT_EQ(xlsx_cellref_set_text(&b2_text, "b 2") + xlsx_cellref_set(&b2, 2, 2), XLSX_OK);
  ASSERT_EQ(xlsx_cellref_set_text(&z1, "Z1") + xlsx_cellref_set_text(&a2, "A2"), XLSX_OK);
  EXPECT_TRUE(xlsx_cellref_equal(&b2_text, &b2) && xlsx_cellref_equal(nullptr, nullptr));
  EXPECT_FALSE(xlsx_cellref_equal(&a2, nullptr));
  EXPECT_EQ(xlsx_cellref_compare(&b2_text, &b2), 0);
  EXPECT_EQ(xlsx_cellref_compare(&z1, &a2), -1);
  EXPECT_EQ(xlsx_cellref_compare(&b2, &a2), 1);
  EXPECT_EQ(xlsx_cellref_compare(nullptr, &a2) + 2 * xlsx_cellref_compare(&a2, nullptr), 1);
  EXPECT_EQ(xlsx_cellref_compare(nullptr, nullptr), 0);
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

using Setter = std::function<xlsx_status(XlsxCellValue*)>;
Setter integer(int64_t v) { return [v](XlsxCellValue* x) { return xlsx_value_set_int(x, v); }; }
Setter number(double v) { return [v](XlsxCellValue* x) { return xlsx_value_set_float(x, v); }; }
Setter boolean(uint32_t v) { return [v](XlsxCellValue* x) { return xlsx_value_set_bool(x, v); }; }
Setter string(const char* v) { return [v](XlsxCellValue* x) { return xlsx_value_set_string(x, v); }; }
Setter error(const char* v) { return [v](XlsxCellValue* x) { return xlsx_value_set_error(x, v); }; }
Setter empty() { return xlsx_value_set_empty; }

// Each getter answers only for its own kind (an error reads as a NaN float) and leaves its output alone
// otherwise ("-"); setters normalise the record; a float that is not finite becomes the error #NUM!.
TEST_F(CellValue, SettersNormaliseAndGettersDoNotConvert) {
  const struct {
    Setter set;
    const char *type, *as_bool, *as_int, *as_float, *as_text;
  } table[] = {
      {empty(), "empty", "-", "-", "-", ""},         {boolean(2), "boolean", "1", "-", "-", "-"},
      {integer(42), "integer", "-", "42", "-", "-"}, {number(0.5), "float", "-", "-", "0.5", "-"},
      {error("#N/A"), "error", "-", "-", "nan", "#N/A"}, {string(nullptr), "string", "-", "-", "-", ""},
      {number(INFINITY), "error", "-", "-", "nan", "#NUM!"}, {number(std::nan("")), "error", "-", "-", "nan", "#NUM!"},
  };
  auto got = [](xlsx_status status, bool untouched, const std::string& value) -> std::string {
    if (status == XLSX_ERR_VALUE_TYPE) return untouched ? "-" : "output changed on failure";
    return status == XLSX_OK ? value : "status " + std::to_string(status);
  };
  for (const auto& row : table) {
    ASSERT_EQ(row.set(&a), XLSX_OK);
    EXPECT_STREQ(xlsx_value_type_name(&a), row.type);
    bool number = a.type == XLSX_VALUE_BOOLEAN || a.type == XLSX_VALUE_INTEGER || a.type == XLSX_VALUE_FLOAT;
    EXPECT_TRUE(a.boolean <= 1 && !(number && a.text)) << row.type << ": numbers carry no text";
    bool flag = false;
    int64_t i = 5;
    double d = 5;
    const char* text = nullptr;
    xlsx_status status = xlsx_value_get_bool(&a, &flag);
    EXPECT_EQ(got(status, !flag, flag ? "1" : "0"), row.as_bool) << row.type;
    status = xlsx_value_get_int(&a, &i);
    EXPECT_EQ(got(status, i == 5, std::to_string(i)), row.as_int) << row.type;
    status = xlsx_value_get_float(&a, &d);
    EXPECT_EQ(got(status, d == 5, std::isnan(d) ? "nan" : d == 0.5 ? "0.5" : "?"), row.as_float) << row.type;
    status = xlsx_value_get_text(&a, &text);
    EXPECT_EQ(got(status, text == nullptr, text ? text : "(null)"), row.as_text) << row.type;
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
  EXPECT_EQ(xlsx_value_set_string(nullptr, "x"), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_value_get_text(&a, nullptr), XLSX_ERR_INVALID_ARG);
  double d = 0;
  EXPECT_EQ(xlsx_value_get_float(nullptr, &d), XLSX_ERR_INVALID_ARG);
  ASSERT_EQ(xlsx_value_set_float(&a, std::numeric_limits<double>::max()), XLSX_OK);
  EXPECT_EQ(a.type, XLSX_VALUE_FLOAT);
}

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
  ASSERT_EQ(xlsx_value_set_string(&a, "kept"), XLSX_OK);
  ASSERT_EQ(xlsx_value_set_string(&b, "source"), XLSX_OK);
  char* before = a.text;
  xlsx_test::FaultAllocation fault(1, true);
  for (const Setter& set : {string("new"), error("#REF!"), empty(), number(INFINITY)}) {
    EXPECT_EQ(set(&a), XLSX_ERR_NO_MEMORY);
  }
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
  const struct {
    Setter left, right;
    int order;
    bool equal;
  } table[] = {
      {integer(5), number(1.0), -1, false},    {number(1.0), boolean(0), -1, false},
      {string("zzz"), integer(-9), -1, false}, {integer(1), number(1.0), -1, false},
      {integer(INT64_MIN), integer(INT64_MAX), -1, false}, {number(2.5), number(-2.5), 1, false},
      {boolean(0), boolean(1), -1, false},     {string("abc"), error("abd"), -1, false},
      {string("abc"), string("ab\xE4"), -1, false},  // byte-wise: bytes above 127 sort last
      {empty(), string(""), 0, true},          {error("#N/A"), string("#N/A"), 0, true},
      {number(0.0), number(-0.0), 0, true},    {boolean(7), boolean(1), 0, true},
  };
  for (const auto& row : table) {
    ASSERT_EQ(row.left(&a) + row.right(&b), XLSX_OK);
    EXPECT_EQ(xlsx_value_compare(&a, &b), row.order) << xlsx_value_type_name(&a) << " " << xlsx_value_type_name(&b);
    EXPECT_EQ(xlsx_value_compare(&b, &a), -row.order);
    EXPECT_EQ(xlsx_value_equal(&a, &b), row.equal);
  }
  xlsx_value_reset(&a);
  EXPECT_EQ(xlsx_value_compare(nullptr, &a), -1) << "missing values sort first";
  EXPECT_EQ(xlsx_value_compare(nullptr, nullptr), 0);
  EXPECT_TRUE(xlsx_value_equal(nullptr, nullptr));
  EXPECT_FALSE(xlsx_value_equal(&a, nullptr));
  ASSERT_EQ(xlsx_value_set_string(&b, ""), XLSX_OK);
  EXPECT_TRUE(xlsx_value_equal(&a, &b)) << "a reset value equals the empty text";
}

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
    EXPECT_EQ(xlsx_text_set(&a, "new"), XLSX_ERR_NO_MEMORY);
    EXPECT_EQ(xlsx_text_assign(&a, &b), XLSX_ERR_NO_MEMORY);
    EXPECT_STREQ(xlsx_text_get(&a), "SUM(A1:A3)");
  }
  ASSERT_EQ(xlsx_text_set(&a, nullptr), XLSX_OK);
  ASSERT_EQ(xlsx_text_assign(&b, nullptr), XLSX_OK);
  EXPECT_STREQ(xlsx_text_get(&b), "");
  xlsx_text_release(&a);
  EXPECT_EQ(a.text, nullptr);
  EXPECT_TRUE(xlsx_text_equal(&a, &b) && xlsx_text_equal(nullptr, nullptr));
  EXPECT_FALSE(xlsx_text_equal(&a, nullptr));
  EXPECT_STREQ(xlsx_text_get(nullptr), "");
  EXPECT_EQ(xlsx_text_set(nullptr, "x"), XLSX_ERR_INVALID_ARG);
  xlsx_text_release(&b);
  xlsx_text_release(nullptr);
}

}  // namespace
