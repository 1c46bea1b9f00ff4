// Cell values: setters and their normalisation, getters by kind, ordering and equality, ownership.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "lib/sheet/value.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"

namespace {

class CellValue : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    xlsx_test::CountedTest::SetUp();
    ASSERT_EQ(xlsx_value_init(&a), XLSX_OK);
    ASSERT_EQ(xlsx_value_init(&b), XLSX_OK);
  }
  void TearDown() override {
    xlsx_value_reset(&a);
    xlsx_value_reset(&b);
    xlsx_test::CountedTest::TearDown();
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

const double kInf = std::numeric_limits<double>::infinity();

TEST_F(CellValue, FreshAndResetValuesAreEmptyAndReadAsTheEmptyText) {
  EXPECT_STREQ(xlsx_value_type_name(&a), "empty");
  ASSERT_EQ(xlsx_value_set_string(&a, "x"), XLSX_OK);
  xlsx_value_reset(&a);
  EXPECT_EQ(a.text, nullptr);  // a reset value drops its text but still reads as the empty text
  const char* text = nullptr;
  ASSERT_EQ(xlsx_value_get_text(&a, &text), XLSX_OK);
  EXPECT_STREQ(text, "");
  xlsx_value_reset(nullptr);
  EXPECT_EQ(xlsx_value_set_string(nullptr, "x"), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_value_get_text(&a, nullptr), XLSX_ERR_INVALID_ARG);
  double d = 0;
  EXPECT_EQ(xlsx_value_get_float(nullptr, &d), XLSX_ERR_INVALID_ARG);
}

// Each getter answers only for its own kind (an error reads as a NaN float) and leaves its output alone
// otherwise: "-" in the table.
TEST_F(CellValue, GettersDoNotConvertBetweenKinds) {
  const struct {
    Setter set;
    const char *as_bool, *as_int, *as_float, *as_text;
  } table[] = {
      {empty(), "-", "-", "-", ""},       {boolean(1), "1", "-", "-", "-"},      {integer(42), "-", "42", "-", "-"},
      {number(0.1), "-", "-", "0.1", "-"}, {error("#N/A"), "-", "-", "nan", "#N/A"}, {string("1"), "-", "-", "-", "1"},
  };
  auto got = [](xlsx_status status, bool untouched, const std::string& value) -> std::string {
    if (status == XLSX_ERR_VALUE_TYPE) return untouched ? "-" : "output changed on failure";
    return status == XLSX_OK ? value : "status " + std::to_string(status);
  };
  for (const auto& row : table) {
    ASSERT_EQ(row.set(&a), XLSX_OK);
    const std::string kind = xlsx_value_type_name(&a);
    bool flag = false;
    int64_t i = 5;
    double d = 5;
    const char* text = nullptr;
    xlsx_status status = xlsx_value_get_bool(&a, &flag);
    EXPECT_EQ(got(status, !flag, flag ? "1" : "0"), row.as_bool) << kind;
    status = xlsx_value_get_int(&a, &i);
    EXPECT_EQ(got(status, i == 5, std::to_string(i)), row.as_int) << kind;
    status = xlsx_value_get_float(&a, &d);
    EXPECT_EQ(got(status, d == 5, std::isnan(d) ? "nan" : d == 0.1 ? "0.1" : std::to_string(d)), row.as_float) << kind;
    status = xlsx_value_get_text(&a, &text);
    EXPECT_EQ(got(status, text == nullptr, text ? text : "(null)"), row.as_text) << kind;
  }
}

// The names of the known codes are checked through every cell read of the sheet tests.
TEST_F(CellValue, UnknownCodesAndMissingValuesHaveNames) {
  XlsxCellValue v = a;
  v.type = 6;
  EXPECT_STREQ(xlsx_value_type_name(&v), "error");
  EXPECT_STREQ(xlsx_value_type_name(nullptr), "empty");
  EXPECT_EQ(xlsx_value_type(nullptr), 0u);
}

TEST_F(CellValue, SettersNormaliseTheRecord) {
  ASSERT_EQ(xlsx_value_set_bool(&a, 2), XLSX_OK);
  EXPECT_EQ(a.boolean, 1u);
  EXPECT_EQ(a.text, nullptr);
  ASSERT_EQ(xlsx_value_set_int(&a, -7), XLSX_OK);
  EXPECT_EQ(a.boolean, 0u);
  ASSERT_EQ(xlsx_value_set_string(&a, nullptr), XLSX_OK);  // null means ""
  EXPECT_STREQ(a.text, "");
  EXPECT_EQ(a.integer, 0);
  ASSERT_EQ(xlsx_value_set_float(&a, -0.0), XLSX_OK);
  EXPECT_EQ(a.type, XLSX_VALUE_FLOAT);
  EXPECT_EQ(a.text, nullptr);
}

TEST_F(CellValue, NonFiniteFloatBecomesTheNumError) {
  for (double bad : {kInf, -kInf, std::nan("")}) {
    ASSERT_EQ(xlsx_value_set_float(&a, bad), XLSX_OK);
    EXPECT_EQ(a.type, XLSX_VALUE_ERROR);
    double d = 0;
    const char* text = nullptr;
    ASSERT_EQ(xlsx_value_get_float(&a, &d), XLSX_OK);
    EXPECT_TRUE(std::isnan(d));
    ASSERT_EQ(xlsx_value_get_text(&a, &text), XLSX_OK);
    EXPECT_STREQ(text, "#NUM!");
  }
  ASSERT_EQ(xlsx_value_set_float(&a, std::numeric_limits<double>::max()), XLSX_OK);
  EXPECT_EQ(a.type, XLSX_VALUE_FLOAT);
}

TEST_F(CellValue, TextsAreOwnedCopiesAndMayComeFromTheValueItself) {
  char source[] = "self";
  ASSERT_EQ(xlsx_value_set_string(&a, source), XLSX_OK);
  source[0] = 'X';
  ASSERT_EQ(xlsx_value_set_error(&a, a.text), XLSX_OK);
  EXPECT_STREQ(a.text, "self");
  ASSERT_EQ(xlsx_value_copy(&b, &a), XLSX_OK);
  EXPECT_NE(b.text, a.text);
  EXPECT_STREQ(b.text, "self");
  EXPECT_EQ(b.type, XLSX_VALUE_ERROR);
  ASSERT_EQ(xlsx_value_set_int(&a, 3), XLSX_OK);
  ASSERT_EQ(xlsx_value_copy(&b, &a), XLSX_OK);  // releases b's text
  EXPECT_EQ(b.text, nullptr);
  EXPECT_EQ(b.integer, 3);
}

// Ordering: texts, then integers, then floats, then booleans; never by magnitude across classes.
TEST_F(CellValue, ComparisonReferenceTable) {
  const struct {
    Setter left, right;
    int order;
    bool equal;
  } table[] = {
      {integer(5), number(1.0), -1, false},
      {number(1.0), boolean(0), -1, false},
      {string("zzz"), integer(-9), -1, false},
      {integer(1), number(1.0), -1, false},
      {integer(INT64_MIN), integer(INT64_MAX), -1, false},
      {number(2.5), number(-2.5), 1, false},
      {boolean(0), boolean(1), -1, false},
      {string("abc"), error("abd"), -1, false},
      {string("abc"), string("ab\xE4"), -1, false},  // byte-wise: bytes above 127 sort last
      {empty(), string(""), 0, true},
      {error("#N/A"), string("#N/A"), 0, true},
      {number(0.0), number(-0.0), 0, true},
      {boolean(7), boolean(1), 0, true},
  };
  for (const auto& row : table) {
    ASSERT_EQ(row.left(&a), XLSX_OK);
    ASSERT_EQ(row.right(&b), XLSX_OK);
    EXPECT_EQ(xlsx_value_compare(&a, &b), row.order) << xlsx_value_type_name(&a) << " " << xlsx_value_type_name(&b);
    EXPECT_EQ(xlsx_value_compare(&b, &a), -row.order);
    EXPECT_EQ(xlsx_value_equal(&a, &b), row.equal);
  }
  // Missing values sort first, even before the empty value; a reset value equals the empty text.
  xlsx_value_reset(&a);
  EXPECT_EQ(xlsx_value_compare(nullptr, &a), -1);
  EXPECT_EQ(xlsx_value_compare(nullptr, nullptr), 0);
  EXPECT_TRUE(xlsx_value_equal(nullptr, nullptr));
  EXPECT_FALSE(xlsx_value_equal(&a, nullptr));
  ASSERT_EQ(xlsx_value_set_string(&b, ""), XLSX_OK);
  EXPECT_TRUE(xlsx_value_equal(&a, &b));
}

TEST_F(CellValue, FailedCopiesLeaveTheValueUnchangedAndFailedInitAnEmptyOne) {
  ASSERT_EQ(xlsx_value_set_string(&a, "kept"), XLSX_OK);
  ASSERT_EQ(xlsx_value_set_string(&b, "source"), XLSX_OK);
  char* before = a.text;
  xlsx_test::FaultAllocation fault(1, true);
  for (const Setter& set : {string("new"), error("#REF!"), empty(), number(kInf)}) {
    EXPECT_EQ(set(&a), XLSX_ERR_NO_MEMORY);
  }
  EXPECT_EQ(xlsx_value_copy(&a, &b), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(a.type, XLSX_VALUE_STRING);
  EXPECT_EQ(a.text, before);
  EXPECT_STREQ(a.text, "kept");
  EXPECT_EQ(fault.reports(), 5u);
  XlsxCellValue v;
  EXPECT_EQ(xlsx_value_init(&v), XLSX_ERR_NO_MEMORY);
  fault.fail_after(0);
  const char* text = nullptr;
  ASSERT_EQ(xlsx_value_get_text(&v, &text), XLSX_OK) << "a failed init leaves a valid empty value";
  EXPECT_STREQ(text, "");
  xlsx_value_reset(&v);
}

}  // namespace
