// Cell values: setters and their normalisation, getters by kind, ordering and equality, ownership.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "lib/base/alloc.h"
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

const double kInf = std::numeric_limits<double>::infinity();

TEST_F(CellValue, FreshValueIsEmptyAndReadsAsEmptyText) {
  EXPECT_EQ(xlsx_value_type(&a), XLSX_VALUE_EMPTY);
  EXPECT_STREQ(xlsx_value_type_name(&a), "empty");
  const char* text = nullptr;
  ASSERT_EQ(xlsx_value_get_text(&a, &text), XLSX_OK);
  EXPECT_STREQ(text, "");
  bool flag = true;
  int64_t integer = 5;
  double number = 5;
  EXPECT_EQ(xlsx_value_get_bool(&a, &flag), XLSX_ERR_VALUE_TYPE);
  EXPECT_EQ(xlsx_value_get_int(&a, &integer), XLSX_ERR_VALUE_TYPE);
  EXPECT_EQ(xlsx_value_get_float(&a, &number), XLSX_ERR_VALUE_TYPE);
  EXPECT_TRUE(flag);  // untouched on failure
  EXPECT_EQ(integer, 5);
  EXPECT_EQ(number, 5);
}

TEST_F(CellValue, TypeNames) {
  const struct {
    uint32_t type;
    const char* name;
  } table[] = {{0, "empty"}, {1, "boolean"}, {2, "integer"}, {3, "float"}, {4, "error"}, {5, "string"}, {6, "error"},
               {0xFFFFFFFFu, "error"}};
  for (const auto& row : table) {
    XlsxCellValue v = a;
    v.type = row.type;
    EXPECT_STREQ(xlsx_value_type_name(&v), row.name) << row.type;
  }
  EXPECT_STREQ(xlsx_value_type_name(nullptr), "empty");
  EXPECT_EQ(xlsx_value_type(nullptr), 0u);
}

TEST_F(CellValue, BooleanStoresOneForAnyNonzeroFlag) {
  ASSERT_EQ(xlsx_value_set_bool(&a, 2), XLSX_OK);
  EXPECT_EQ(a.type, XLSX_VALUE_BOOLEAN);
  EXPECT_EQ(a.boolean, 1u);
  EXPECT_EQ(a.text, nullptr);
  bool flag = false;
  ASSERT_EQ(xlsx_value_get_bool(&a, &flag), XLSX_OK);
  EXPECT_TRUE(flag);
  ASSERT_EQ(xlsx_value_set_bool(&a, 0), XLSX_OK);
  ASSERT_EQ(xlsx_value_get_bool(&a, &flag), XLSX_OK);
  EXPECT_FALSE(flag);
}

TEST_F(CellValue, SettersZeroTheOtherPayloads) {
  ASSERT_EQ(xlsx_value_set_float(&a, 2.5), XLSX_OK);
  ASSERT_EQ(xlsx_value_set_int(&a, -7), XLSX_OK);
  EXPECT_EQ(a.number, 0.0);
  EXPECT_EQ(a.boolean, 0u);
  ASSERT_EQ(xlsx_value_set_string(&a, "abc"), XLSX_OK);
  EXPECT_EQ(a.integer, 0);
  ASSERT_EQ(xlsx_value_set_float(&a, 2.5), XLSX_OK);
  EXPECT_EQ(a.text, nullptr);
  EXPECT_EQ(a.integer, 0);
}

TEST_F(CellValue, GettersDoNotConvertBetweenKinds) {
  ASSERT_EQ(xlsx_value_set_int(&a, 42), XLSX_OK);
  int64_t integer = 0;
  ASSERT_EQ(xlsx_value_get_int(&a, &integer), XLSX_OK);
  EXPECT_EQ(integer, 42);
  double number = -1;
  const char* text = nullptr;
  EXPECT_EQ(xlsx_value_get_float(&a, &number), XLSX_ERR_VALUE_TYPE);
  EXPECT_EQ(xlsx_value_get_text(&a, &text), XLSX_ERR_VALUE_TYPE);
  EXPECT_EQ(number, -1);
  EXPECT_EQ(text, nullptr);

  ASSERT_EQ(xlsx_value_set_float(&a, 0.1), XLSX_OK);
  ASSERT_EQ(xlsx_value_get_float(&a, &number), XLSX_OK);
  EXPECT_EQ(number, 0.1);
  EXPECT_EQ(xlsx_value_get_int(&a, &integer), XLSX_ERR_VALUE_TYPE);
  EXPECT_EQ(xlsx_value_get_text(&a, &text), XLSX_ERR_VALUE_TYPE);

  ASSERT_EQ(xlsx_value_set_string(&a, "12"), XLSX_OK);
  EXPECT_EQ(xlsx_value_get_int(&a, &integer), XLSX_ERR_VALUE_TYPE);
  ASSERT_EQ(xlsx_value_get_text(&a, &text), XLSX_OK);
  EXPECT_STREQ(text, "12");
}

TEST_F(CellValue, NonFiniteFloatBecomesTheNumError) {
  for (double bad : {kInf, -kInf, std::nan("")}) {
    ASSERT_EQ(xlsx_value_set_float(&a, bad), XLSX_OK);
    EXPECT_EQ(a.type, XLSX_VALUE_ERROR);
    double number = 0;
    ASSERT_EQ(xlsx_value_get_float(&a, &number), XLSX_OK);
    EXPECT_TRUE(std::isnan(number));
    const char* text = nullptr;
    ASSERT_EQ(xlsx_value_get_text(&a, &text), XLSX_OK);
    EXPECT_STREQ(text, "#NUM!");
  }
}

TEST_F(CellValue, ExtremeFiniteFloatsAreKept) {
  for (double edge : {std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
                      std::numeric_limits<double>::denorm_min(), -0.0}) {
    ASSERT_EQ(xlsx_value_set_float(&a, edge), XLSX_OK);
    EXPECT_EQ(a.type, XLSX_VALUE_FLOAT);
    EXPECT_EQ(a.number, edge);
  }
}

TEST_F(CellValue, TextSettersTreatNullAsEmpty) {
  ASSERT_EQ(xlsx_value_set_string(&a, nullptr), XLSX_OK);
  EXPECT_EQ(a.type, XLSX_VALUE_STRING);
  EXPECT_STREQ(a.text, "");
  ASSERT_EQ(xlsx_value_set_error(&a, nullptr), XLSX_OK);
  EXPECT_EQ(a.type, XLSX_VALUE_ERROR);
  EXPECT_STREQ(a.text, "");
}

TEST_F(CellValue, SettingFromItsOwnTextKeepsIt) {
  ASSERT_EQ(xlsx_value_set_string(&a, "self"), XLSX_OK);
  ASSERT_EQ(xlsx_value_set_string(&a, a.text), XLSX_OK);
  EXPECT_STREQ(a.text, "self");
  ASSERT_EQ(xlsx_value_set_error(&a, a.text), XLSX_OK);
  EXPECT_STREQ(a.text, "self");
  EXPECT_EQ(a.type, XLSX_VALUE_ERROR);
}

TEST_F(CellValue, TextIsCopied) {
  char source[] = "copied";
  ASSERT_EQ(xlsx_value_set_string(&a, source), XLSX_OK);
  source[0] = 'X';
  EXPECT_STREQ(a.text, "copied");
}

TEST_F(CellValue, ResetDropsTheTextButItStillReadsEmpty) {
  ASSERT_EQ(xlsx_value_set_int(&a, 9), XLSX_OK);
  ASSERT_EQ(xlsx_value_set_string(&a, "x"), XLSX_OK);
  xlsx_value_reset(&a);
  EXPECT_EQ(a.text, nullptr);
  EXPECT_EQ(a.type, XLSX_VALUE_EMPTY);
  const char* text = nullptr;
  ASSERT_EQ(xlsx_value_get_text(&a, &text), XLSX_OK);
  EXPECT_STREQ(text, "");
  xlsx_value_reset(nullptr);
}

TEST_F(CellValue, CopyDuplicatesTheText) {
  ASSERT_EQ(xlsx_value_set_error(&a, "#N/A"), XLSX_OK);
  ASSERT_EQ(xlsx_value_copy(&b, &a), XLSX_OK);
  EXPECT_NE(b.text, a.text);
  EXPECT_STREQ(b.text, "#N/A");
  EXPECT_EQ(b.type, XLSX_VALUE_ERROR);
  ASSERT_EQ(xlsx_value_set_int(&a, 3), XLSX_OK);
  ASSERT_EQ(xlsx_value_copy(&b, &a), XLSX_OK);
  EXPECT_EQ(b.text, nullptr);
  EXPECT_EQ(b.integer, 3);
  EXPECT_EQ(xlsx_value_copy(&b, &b), XLSX_OK);
  EXPECT_EQ(b.integer, 3);
}

TEST_F(CellValue, MissingArgumentsAreRefused) {
  const char* text = nullptr;
  bool flag;
  int64_t integer;
  double number;
  EXPECT_EQ(xlsx_value_init(nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_value_set_string(nullptr, "x"), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_value_set_int(nullptr, 1), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_value_set_bool(nullptr, 1), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_value_set_float(nullptr, 1), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_value_set_empty(nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_value_set_error(nullptr, "x"), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_value_copy(nullptr, &a), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_value_copy(&a, nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_value_get_text(nullptr, &text), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_value_get_text(&a, nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_value_get_bool(nullptr, &flag), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_value_get_int(nullptr, &integer), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_value_get_float(nullptr, &number), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_value_get_float(&a, nullptr), XLSX_ERR_INVALID_ARG);
}

TEST_F(CellValue, ComparisonOrdersByClassFirst) {
  ASSERT_EQ(xlsx_value_set_int(&a, 5), XLSX_OK);
  ASSERT_EQ(xlsx_value_set_float(&b, 1.0), XLSX_OK);
  EXPECT_EQ(xlsx_value_compare(&a, &b), -1);  // integers before floats, whatever the magnitude
  EXPECT_EQ(xlsx_value_compare(&b, &a), 1);
  ASSERT_EQ(xlsx_value_set_bool(&a, 0), XLSX_OK);
  EXPECT_EQ(xlsx_value_compare(&b, &a), -1);  // floats before booleans
  ASSERT_EQ(xlsx_value_set_string(&b, "zzz"), XLSX_OK);
  EXPECT_EQ(xlsx_value_compare(&b, &a), -1);  // texts before everything
}

TEST_F(CellValue, ComparisonWithinAClass) {
  ASSERT_EQ(xlsx_value_set_int(&a, INT64_MIN), XLSX_OK);
  ASSERT_EQ(xlsx_value_set_int(&b, INT64_MAX), XLSX_OK);
  EXPECT_EQ(xlsx_value_compare(&a, &b), -1);
  ASSERT_EQ(xlsx_value_set_float(&a, 2.5), XLSX_OK);
  ASSERT_EQ(xlsx_value_set_float(&b, -2.5), XLSX_OK);
  EXPECT_EQ(xlsx_value_compare(&a, &b), 1);
  ASSERT_EQ(xlsx_value_set_bool(&a, 0), XLSX_OK);
  ASSERT_EQ(xlsx_value_set_bool(&b, 1), XLSX_OK);
  EXPECT_EQ(xlsx_value_compare(&a, &b), -1);
  ASSERT_EQ(xlsx_value_set_string(&a, "abc"), XLSX_OK);
  ASSERT_EQ(xlsx_value_set_error(&b, "abd"), XLSX_OK);
  EXPECT_EQ(xlsx_value_compare(&a, &b), -1);
  ASSERT_EQ(xlsx_value_set_string(&b, "ab\xE4"), XLSX_OK);  // byte-wise: bytes above 127 sort last
  EXPECT_EQ(xlsx_value_compare(&a, &b), -1);
  ASSERT_EQ(xlsx_value_set_string(&b, "abc"), XLSX_OK);
  EXPECT_EQ(xlsx_value_compare(&a, &b), 0);
  EXPECT_EQ(xlsx_value_compare(nullptr, &a), -1);
  EXPECT_EQ(xlsx_value_compare(&a, nullptr), 1);
  EXPECT_EQ(xlsx_value_compare(nullptr, nullptr), 0);
}

TEST_F(CellValue, EqualityWithinTheTextClass) {
  ASSERT_EQ(xlsx_value_set_string(&b, ""), XLSX_OK);
  EXPECT_TRUE(xlsx_value_equal(&a, &b));  // empty equals the string ""
  xlsx_value_reset(&a);
  EXPECT_TRUE(xlsx_value_equal(&a, &b));  // none counts as ""
  ASSERT_EQ(xlsx_value_set_error(&a, "#N/A"), XLSX_OK);
  ASSERT_EQ(xlsx_value_set_string(&b, "#N/A"), XLSX_OK);
  EXPECT_TRUE(xlsx_value_equal(&a, &b));
  ASSERT_EQ(xlsx_value_set_int(&a, 1), XLSX_OK);
  ASSERT_EQ(xlsx_value_set_float(&b, 1.0), XLSX_OK);
  EXPECT_FALSE(xlsx_value_equal(&a, &b));  // classes differ
  ASSERT_EQ(xlsx_value_set_bool(&b, 1), XLSX_OK);
  EXPECT_FALSE(xlsx_value_equal(&a, &b));
  EXPECT_TRUE(xlsx_value_equal(nullptr, nullptr));
  EXPECT_FALSE(xlsx_value_equal(&a, nullptr));
}

// A text copy that cannot be made leaves the value exactly as it was.
TEST_F(CellValue, FailedCopiesLeaveTheValueUnchanged) {
  ASSERT_EQ(xlsx_value_set_string(&a, "kept"), XLSX_OK);
  ASSERT_EQ(xlsx_value_set_string(&b, "source"), XLSX_OK);
  char* before = a.text;
  xlsx_test::FaultAllocation fault(1, true);
  EXPECT_EQ(xlsx_value_set_string(&a, "new"), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(xlsx_value_set_error(&a, "#REF!"), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(xlsx_value_set_empty(&a), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(xlsx_value_set_float(&a, kInf), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(xlsx_value_copy(&a, &b), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(a.type, XLSX_VALUE_STRING);
  EXPECT_EQ(a.text, before);
  EXPECT_STREQ(a.text, "kept");
  EXPECT_EQ(fault.reports(), 5u);
}

TEST_F(CellValue, FailedInitLeavesAValidEmptyValue) {
  XlsxCellValue v;
  {
    xlsx_test::FaultAllocation fault(1);
    EXPECT_EQ(xlsx_value_init(&v), XLSX_ERR_NO_MEMORY);
  }
  EXPECT_EQ(v.type, XLSX_VALUE_EMPTY);
  const char* text = nullptr;
  ASSERT_EQ(xlsx_value_get_text(&v, &text), XLSX_OK);
  EXPECT_STREQ(text, "");
  xlsx_value_reset(&v);
}

}  // namespace
