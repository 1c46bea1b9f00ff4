// Cell references: column letters, row digits, reference texts and their limits.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lib/sheet/cellref.h"
#include "tests/support/live_allocations.h"

namespace {

using CellRef = xlsx_test::CountedTest;

std::string letters(uint32_t column) {
  char buffer[4];
  return xlsx_column_to_letters(column, buffer);
}

const struct {
  uint32_t column;
  const char* letters;
} kColumns[] = {
    {1, "A"},     {2, "B"},     {26, "Z"},     {27, "AA"},    {52, "AZ"},    {53, "BA"},
    {702, "ZZ"},  {703, "AAA"}, {728, "AAZ"},  {729, "ABA"},  {1378, "AZZ"},  {1379, "BAA"}, {16383, "XFC"},
    {16384, "XFD"},
};

TEST_F(CellRef, ColumnLettersReferenceTable) {
  for (const auto& row : kColumns) {
    EXPECT_EQ(letters(row.column), row.letters) << row.column;
    EXPECT_EQ(xlsx_letters_to_column(row.letters), row.column) << row.letters;
  }
}

TEST_F(CellRef, EveryColumnRoundTrips) {
  for (uint32_t column = 1; column <= XLSX_CELLREF_MAX_COLUMN; ++column) {
    ASSERT_EQ(xlsx_letters_to_column(letters(column).c_str()), column) << column;
  }
}

TEST_F(CellRef, LowerCaseLettersNameTheSameColumn) {
  EXPECT_EQ(xlsx_letters_to_column("a"), 1);
  EXPECT_EQ(xlsx_letters_to_column("xfd"), 16384);
  EXPECT_EQ(xlsx_letters_to_column("Aa"), 27);
}

TEST_F(CellRef, InvalidLettersGiveColumnZeroInsteadOfWrapping) {
  const char* invalid[] = {"", "XFE", "ZZZ", "AAAA", "XFDA", "A1", "A B", "$A", "@", "[", "\xC4", " A", "A "};
  for (const char* text : invalid) EXPECT_EQ(xlsx_letters_to_column(text), 0) << '"' << text << '"';
  EXPECT_EQ(xlsx_letters_to_column(nullptr), 0);
}

TEST_F(CellRef, OutOfRangeColumnsHaveNoLetters) {
  EXPECT_EQ(letters(0), "");
  EXPECT_EQ(letters(16385), "");
  EXPECT_EQ(xlsx_column_to_letters(1, nullptr), nullptr);
}

TEST_F(CellRef, RowDigits) {
  const struct {
    const char* text;
    uint32_t row;
  } table[] = {
      {"1", 1},          {"  \t42", 42},     {"1048576", 1048576}, {"1048577", 0}, {"9999999", 0},
      {"00000012", 0},   {"0000012", 12},    {"12x", 12},          {"", 0},        {"x1", 0},
      {"4294967297", 0},  // would wrap to 1 in 32 bits
      {"\n5", 0},          // only spaces and tabs are skipped
  };
  for (const auto& row : table) EXPECT_EQ(xlsx_row_from_digits(row.text), row.row) << '"' << row.text << '"';
  EXPECT_EQ(xlsx_row_from_digits(nullptr), 0u);
}

TEST_F(CellRef, ValidityLimits) {
  EXPECT_TRUE(xlsx_cellref_is_valid(1, 1));
  EXPECT_TRUE(xlsx_cellref_is_valid(1048576, 16384));
  EXPECT_FALSE(xlsx_cellref_is_valid(0, 1));
  EXPECT_FALSE(xlsx_cellref_is_valid(1, 0));
  EXPECT_FALSE(xlsx_cellref_is_valid(1048577, 1));
  EXPECT_FALSE(xlsx_cellref_is_valid(1, 16385));
  EXPECT_FALSE(xlsx_cellref_is_valid(1, 65537));  // would be column 1 in 16 bits
}

TEST_F(CellRef, SetBuildsTheText) {
  XlsxCellRef ref;
  xlsx_cellref_init(&ref);
  EXPECT_STREQ(xlsx_cellref_text(&ref), "A1");
  ASSERT_EQ(xlsx_cellref_set(&ref, 1048576, 16384), XLSX_OK);
  EXPECT_STREQ(xlsx_cellref_text(&ref), "XFD1048576");
  EXPECT_EQ(xlsx_cellref_row(&ref), 1048576u);
  EXPECT_EQ(xlsx_cellref_column(&ref), 16384u);
  ASSERT_EQ(xlsx_cellref_set(&ref, 7, 2), XLSX_OK);
  EXPECT_STREQ(xlsx_cellref_text(&ref), "B7");
}

TEST_F(CellRef, InvalidSetLeavesTheRecordUntouched) {
  XlsxCellRef ref;
  ASSERT_EQ(xlsx_cellref_set(&ref, 3, 4), XLSX_OK);
  const XlsxCellRef before = ref;
  const uint32_t pairs[][2] = {{1048577, 1}, {1, 16385}, {0, 1}, {1, 0}, {0, 0}, {1, 65537}};
  for (const auto& pair : pairs) {
    EXPECT_EQ(xlsx_cellref_set(&ref, pair[0], pair[1]), XLSX_ERR_INVALID_ARG) << pair[0] << "," << pair[1];
    EXPECT_EQ(std::memcmp(&ref, &before, sizeof ref), 0);
  }
  EXPECT_EQ(xlsx_cellref_set(nullptr, 1, 1), XLSX_ERR_INVALID_ARG);
}

TEST_F(CellRef, SetRowAndColumnKeepTheOther) {
  XlsxCellRef ref;
  ASSERT_EQ(xlsx_cellref_set(&ref, 5, 3), XLSX_OK);
  ASSERT_EQ(xlsx_cellref_set_row(&ref, 9), XLSX_OK);
  EXPECT_STREQ(xlsx_cellref_text(&ref), "C9");
  ASSERT_EQ(xlsx_cellref_set_column(&ref, 28), XLSX_OK);
  EXPECT_STREQ(xlsx_cellref_text(&ref), "AB9");
  EXPECT_EQ(xlsx_cellref_set_row(&ref, 0), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_cellref_set_column(&ref, 16385), XLSX_ERR_INVALID_ARG);
  EXPECT_STREQ(xlsx_cellref_text(&ref), "AB9");
  EXPECT_EQ(xlsx_cellref_set_row(nullptr, 1), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_cellref_set_column(nullptr, 1), XLSX_ERR_INVALID_ARG);
}

TEST_F(CellRef, SetTextReadsValidReferences) {
  const struct {
    const char* text;
    uint32_t row;
    uint32_t column;
  } table[] = {
      {"A1", 1, 1},           {"B7", 7, 2},         {"XFD1048576", 1048576, 16384}, {"b2", 2, 2},
      {"B 2", 2, 2},          {"B2 ", 2, 2},        {"AA10", 10, 27},               {"xfd1", 1, 16384},
      {"C0000005", 5, 3},     {"C00000005", 0, 0},  // eight digits: invalid, not row 5
  };
  for (const auto& row : table) {
    XlsxCellRef ref;
    xlsx_status expected = row.row ? XLSX_OK : XLSX_ERR_INVALID_ARG;
    EXPECT_EQ(xlsx_cellref_set_text(&ref, row.text), expected) << row.text;
    if (expected == XLSX_OK) {
      EXPECT_EQ(xlsx_cellref_row(&ref), row.row) << row.text;
      EXPECT_EQ(xlsx_cellref_column(&ref), row.column) << row.text;
      EXPECT_STREQ(xlsx_cellref_text(&ref), row.text);  // the caller's text is kept
    }
  }
}

TEST_F(CellRef, SetTextRejectsEverythingElseAndResetsToA1) {
  const char* invalid[] = {" B2",  "B",     "12",        "XFE1",  "AAAA1",  "A1048577", "A0",       "B2x",
                           "B2:C3", "$B$2", "A12345678", "B-2",   "B+2",    "1A",       "B2 x",     "\xC4" "1",
                           "AAAAAAAAAAAAAAAAA1",  // would wrap in 16 bits
                           "A4294967297"};         // would wrap in 32 bits
  for (const char* text : invalid) {
    XlsxCellRef ref;
    ASSERT_EQ(xlsx_cellref_set(&ref, 9, 9), XLSX_OK);
    EXPECT_EQ(xlsx_cellref_set_text(&ref, text), XLSX_ERR_INVALID_ARG) << '"' << text << '"';
    EXPECT_EQ(xlsx_cellref_row(&ref), 1u) << text;
    EXPECT_EQ(xlsx_cellref_column(&ref), 1u) << text;
    EXPECT_STREQ(xlsx_cellref_text(&ref), "A1") << text;
  }
}

TEST_F(CellRef, EmptyOrMissingTextGivesA1) {
  XlsxCellRef ref;
  ASSERT_EQ(xlsx_cellref_set(&ref, 4, 4), XLSX_OK);
  EXPECT_EQ(xlsx_cellref_set_text(&ref, ""), XLSX_OK);
  EXPECT_STREQ(xlsx_cellref_text(&ref), "A1");
  ASSERT_EQ(xlsx_cellref_set(&ref, 4, 4), XLSX_OK);
  EXPECT_EQ(xlsx_cellref_set_text(&ref, nullptr), XLSX_OK);
  EXPECT_EQ(xlsx_cellref_row(&ref), 1u);
  EXPECT_EQ(xlsx_cellref_set_text(nullptr, "A1"), XLSX_ERR_INVALID_ARG);
}

TEST_F(CellRef, LongTextIsCutButItsNumbersCount) {
  XlsxCellRef ref;
  std::string text = "B2" + std::string(40, ' ');
  ASSERT_EQ(xlsx_cellref_set_text(&ref, text.c_str()), XLSX_OK);
  EXPECT_EQ(std::strlen(xlsx_cellref_text(&ref)), 23u);
  EXPECT_EQ(xlsx_cellref_row(&ref), 2u);
}

TEST_F(CellRef, SplitFillsOnlyTheRequestedOutputs) {
  uint32_t row = 77, column = 77;
  xlsx_cellref_split("C5", &row, nullptr);
  EXPECT_EQ(row, 5u);
  xlsx_cellref_split("C5", nullptr, &column);
  EXPECT_EQ(column, 3u);
  xlsx_cellref_split("D", &row, &column);
  EXPECT_EQ(row, 0u);
  EXPECT_EQ(column, 4u);
  xlsx_cellref_split(nullptr, &row, &column);
  EXPECT_EQ(row, 0u);
  EXPECT_EQ(column, 0u);
}

TEST_F(CellRef, ColumnOfRefText) {
  EXPECT_EQ(xlsx_column_of_ref_text("XFD1048576"), 16384u);
  EXPECT_EQ(xlsx_column_of_ref_text("C12"), 3u);
  EXPECT_EQ(xlsx_column_of_ref_text("c12"), 3u);
  EXPECT_EQ(xlsx_column_of_ref_text("C"), 3u);
  EXPECT_EQ(xlsx_column_of_ref_text("XFE1"), 0u);
  EXPECT_EQ(xlsx_column_of_ref_text("C1x"), 0u);
  EXPECT_EQ(xlsx_column_of_ref_text(""), 0u);
  EXPECT_EQ(xlsx_column_of_ref_text(nullptr), 0u);
}

TEST_F(CellRef, EqualityIgnoresTheText) {
  XlsxCellRef from_text, from_numbers;
  ASSERT_EQ(xlsx_cellref_set_text(&from_text, "b 2"), XLSX_OK);
  ASSERT_EQ(xlsx_cellref_set(&from_numbers, 2, 2), XLSX_OK);
  EXPECT_TRUE(xlsx_cellref_equal(&from_text, &from_numbers));
  EXPECT_EQ(xlsx_cellref_compare(&from_text, &from_numbers), 0);
  EXPECT_TRUE(xlsx_cellref_equal(nullptr, nullptr));
  EXPECT_FALSE(xlsx_cellref_equal(&from_text, nullptr));
}

TEST_F(CellRef, ComparisonIsRowMajorWithNullFirst) {
  XlsxCellRef z1, a2, b2;
  ASSERT_EQ(xlsx_cellref_set_text(&z1, "Z1"), XLSX_OK);
  ASSERT_EQ(xlsx_cellref_set_text(&a2, "A2"), XLSX_OK);
  ASSERT_EQ(xlsx_cellref_set_text(&b2, "B2"), XLSX_OK);
  EXPECT_EQ(xlsx_cellref_compare(&z1, &a2), -1);
  EXPECT_EQ(xlsx_cellref_compare(&a2, &z1), 1);
  EXPECT_EQ(xlsx_cellref_compare(&a2, &b2), -1);
  EXPECT_EQ(xlsx_cellref_compare(&b2, &a2), 1);
  EXPECT_EQ(xlsx_cellref_compare(nullptr, &a2), -1);
  EXPECT_EQ(xlsx_cellref_compare(&a2, nullptr), 1);
  EXPECT_EQ(xlsx_cellref_compare(nullptr, nullptr), 0);
}

TEST_F(CellRef, MissingRefAccessorsAreNeutral) {
  EXPECT_EQ(xlsx_cellref_row(nullptr), 0u);
  EXPECT_EQ(xlsx_cellref_column(nullptr), 0u);
  EXPECT_STREQ(xlsx_cellref_text(nullptr), "");
  xlsx_cellref_init(nullptr);
}

}  // namespace
