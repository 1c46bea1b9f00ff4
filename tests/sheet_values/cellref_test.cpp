// Cell references: column letters, row digits, reference texts and the limits of a worksheet.
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

TEST_F(CellRef, ColumnLettersReferenceTable) {
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
  EXPECT_EQ(letters(0), "");
  EXPECT_EQ(letters(16385), "");
}

TEST_F(CellRef, LettersFoldCaseAndNeverWrap) {
  EXPECT_EQ(xlsx_letters_to_column("xfd"), 16384);
  EXPECT_EQ(xlsx_letters_to_column("Aa"), 27);
  const char* invalid[] = {
      "",  "XFE", "ZZZ",  "AAAA", "A1", "A B",    "$A",
      "@", "[",   "\xC4", " A",   "A ", "AAAAAAA"};  // 16-bit arithmetic would wrap this onto column 14935
  for (const char* text : invalid) EXPECT_EQ(xlsx_letters_to_column(text), 0) << '"' << text << '"';
  EXPECT_EQ(xlsx_letters_to_column(nullptr), 0);
}

// A row's `r`: digits with blanks around them, within the sheet.
TEST_F(CellRef, RowNumberReferenceTable) {
  const struct {
    const char* text;
    uint32_t row;
  } table[] = {{"1", 1},        {"  \t42 ", 42}, {"1048576", 1048576}, {"1048577", 0}, {"0", 0},
               {"0000012", 12}, {"00000012", 0}, {"12x", 0},           {"", 0},        {"x1", 0},
               {"\n5", 0},      {"+5", 0},       {"4294967297", 0}};  // 32-bit arithmetic would wrap this to row 1
  for (const auto& row : table) EXPECT_EQ(xlsx_cellref_row_of(row.text), row.row) << '"' << row.text << '"';
  EXPECT_EQ(xlsx_cellref_row_of(nullptr), 0u);
}

TEST_F(CellRef, SetBuildsTheTextWithinTheLimits) {
  XlsxCellRef ref;
  xlsx_cellref_init(&ref);
  EXPECT_STREQ(xlsx_cellref_text(&ref), "A1");
  ASSERT_EQ(xlsx_cellref_set(&ref, 1048576, 16384), XLSX_OK);
  EXPECT_STREQ(xlsx_cellref_text(&ref), "XFD1048576");
  ASSERT_EQ(xlsx_cellref_set(&ref, 5, 3), XLSX_OK);
  ASSERT_EQ(xlsx_cellref_set_row(&ref, 9), XLSX_OK);
  ASSERT_EQ(xlsx_cellref_set_column(&ref, 28), XLSX_OK);
  EXPECT_STREQ(xlsx_cellref_text(&ref), "AB9");
  EXPECT_EQ(xlsx_cellref_row(&ref), 9u);
  EXPECT_EQ(xlsx_cellref_column(&ref), 28u);
}

TEST_F(CellRef, InvalidNumbersLeaveTheRecordUntouched) {
  XlsxCellRef ref;
  ASSERT_EQ(xlsx_cellref_set(&ref, 3, 4), XLSX_OK);
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
}

TEST_F(CellRef, SetTextKeepsTheTextOfAValidReference) {
  const struct {
    const char* text;
    uint32_t row, column;
  } table[] = {
      {"A1", 1, 1},      {"XFD1048576", 1048576, 16384}, {"b2", 2, 2}, {"B 2", 2, 2}, {"B2 ", 2, 2}, {"AA10", 10, 27},
      {"C0000005", 5, 3}};
  for (const auto& row : table) {
    XlsxCellRef ref;
    ASSERT_EQ(xlsx_cellref_set_text(&ref, row.text), XLSX_OK) << row.text;
    EXPECT_EQ(xlsx_cellref_row(&ref), row.row) << row.text;
    EXPECT_EQ(xlsx_cellref_column(&ref), row.column) << row.text;
    EXPECT_STREQ(xlsx_cellref_text(&ref), row.text);
  }
  XlsxCellRef ref;
  ASSERT_EQ(xlsx_cellref_set_text(&ref, ("B2" + std::string(40, ' ')).c_str()), XLSX_OK);
  EXPECT_EQ(std::strlen(xlsx_cellref_text(&ref)), 23u);  // cut, but the whole text was read
}

TEST_F(CellRef, SetTextRejectsAnythingElseAndResetsToA1) {
  const char* invalid[] = {" B2",  "B",    "12",   "XFE1", "AAAA1", "A1048577", "A0",          "B2x",
                           "B2:C3", "$B$2", "C00000005", "B-2", "1A",  "B2 x",     "\xC4" "1", "A4294967297",
                           "AAAAAAA1"};  // the last would wrap onto column 14935
  for (const char* text : invalid) {
    XlsxCellRef ref;
    ASSERT_EQ(xlsx_cellref_set(&ref, 9, 9), XLSX_OK);
    EXPECT_EQ(xlsx_cellref_set_text(&ref, text), XLSX_ERR_INVALID_ARG) << '"' << text << '"';
    EXPECT_EQ(xlsx_cellref_row(&ref) * 100000 + xlsx_cellref_column(&ref), 100001u) << text;
    EXPECT_STREQ(xlsx_cellref_text(&ref), "A1") << text;
  }
  XlsxCellRef ref;
  ASSERT_EQ(xlsx_cellref_set(&ref, 4, 4), XLSX_OK);
  EXPECT_EQ(xlsx_cellref_set_text(&ref, ""), XLSX_OK);
  EXPECT_STREQ(xlsx_cellref_text(&ref), "A1");
  ASSERT_EQ(xlsx_cellref_set(&ref, 4, 4), XLSX_OK);
  EXPECT_EQ(xlsx_cellref_set_text(&ref, nullptr), XLSX_OK);
  EXPECT_STREQ(xlsx_cellref_text(&ref), "A1");
  EXPECT_EQ(xlsx_cellref_set_text(nullptr, "A1"), XLSX_ERR_INVALID_ARG);
}

// The reader behind set_text, a cell's column and the formatter: the same rule and the same texts.
TEST_F(CellRef, ReadColumnOfAndFormatFollowOneRule) {
  const struct {
    const char* text;
    uint32_t row, column;  // 0, 0: names no cell
  } table[] = {{"C5", 5, 3},   {"c12", 12, 3}, {"B 7", 7, 2}, {"B\t7 ", 7, 2}, {"XFD1048576", 1048576, 16384},
               {"D", 0, 0},    {"XFE1", 0, 0}, {"C1x", 0, 0}, {" B7", 0, 0},   {"B0", 0, 0},
               {"7B", 0, 0},   {"12", 0, 0},   {"1", 0, 0},   {"", 0, 0}};
  for (const auto& row : table) {
    uint32_t r = 77, c = 77;
    EXPECT_EQ(xlsx_cellref_read(row.text, &r, &c), row.row != 0) << '"' << row.text << '"';
    EXPECT_EQ(r * 100000 + c, row.row * 100000 + row.column) << '"' << row.text << '"';
    EXPECT_EQ(xlsx_cellref_column_of(row.text), row.column) << '"' << row.text << '"';
    XlsxCellRef ref;
    EXPECT_EQ(xlsx_cellref_set_text(&ref, row.text) == XLSX_OK && row.text[0], row.row != 0) << row.text;
  }
  EXPECT_FALSE(xlsx_cellref_read(nullptr, nullptr, nullptr));
  EXPECT_EQ(xlsx_cellref_column_of(nullptr), 0u);
  char buffer[XLSX_CELLREF_TEXT_SIZE];
  EXPECT_EQ(xlsx_cellref_format(1048576, 16384, buffer), 10u);
  EXPECT_STREQ(buffer, "XFD1048576");
  EXPECT_EQ(xlsx_cellref_format(0, 1, buffer), 0u);
  EXPECT_STREQ(buffer, "");
}

TEST_F(CellRef, EqualityAndRowMajorOrderIgnoreTheText) {
  XlsxCellRef b2_text, b2, z1, a2;
  ASSERT_EQ(xlsx_cellref_set_text(&b2_text, "b 2"), XLSX_OK);
  ASSERT_EQ(xlsx_cellref_set(&b2, 2, 2), XLSX_OK);
  ASSERT_EQ(xlsx_cellref_set_text(&z1, "Z1"), XLSX_OK);
  ASSERT_EQ(xlsx_cellref_set_text(&a2, "A2"), XLSX_OK);
  EXPECT_TRUE(xlsx_cellref_equal(&b2_text, &b2));
  EXPECT_EQ(xlsx_cellref_compare(&b2_text, &b2), 0);
  EXPECT_EQ(xlsx_cellref_compare(&z1, &a2), -1);
  EXPECT_EQ(xlsx_cellref_compare(&b2, &a2), 1);
  EXPECT_EQ(xlsx_cellref_compare(nullptr, &a2), -1);
  EXPECT_EQ(xlsx_cellref_compare(&a2, nullptr), 1);
  EXPECT_EQ(xlsx_cellref_compare(nullptr, nullptr), 0);
  EXPECT_TRUE(xlsx_cellref_equal(nullptr, nullptr));
  EXPECT_FALSE(xlsx_cellref_equal(&a2, nullptr));
  EXPECT_EQ(xlsx_cellref_row(nullptr) + xlsx_cellref_column(nullptr), 0u);
  EXPECT_STREQ(xlsx_cellref_text(nullptr), "");
}

}  // namespace
