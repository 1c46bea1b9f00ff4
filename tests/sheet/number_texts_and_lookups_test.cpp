// Number texts read and written by cells give the general converters' results byte for byte, and cell
// lookups in dense, sparse and duplicate-holding rows find the cell the ordinary walk finds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "lib/sheet/sheet_index.h"
#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

using NumberTexts = SheetTest;
using DenseLookups = SheetTest;

// Reads text as the `v` of a plain cell and returns the value.
XlsxCellValue read_text(SheetTest* test, XlsxWorksheet* ws, const std::string& text) {
  (void)test;
  XlsxCell c{};
  EXPECT_EQ(xlsx_sheet_cell(ws, 1, 1, &c), XLSX_OK);
  XmlNode* v = xml_node_child(c.element, "v");
  if (!v) v = xml_node_append_child(c.element, "v");
  EXPECT_TRUE(xml_node_set_text(v, text.c_str()));
  XlsxCellValue value;
  xlsx_value_init(&value);
  EXPECT_EQ(xlsx_cell_get_value(&c, &value), XLSX_OK);
  return value;
}

TEST_F(NumberTexts, PlainDecimalsReadAsTheGeneralConverterReadsThem) {
  std::mt19937_64 random(20261206);
  char text[64];
  for (int i = 0; i < 20000; i++) {
    // Up to 17 digits with the point anywhere, some negative, some with leading or trailing zeros.
    uint64_t digits = random() % 100000000000000000ull;
    int decimals = static_cast<int>(random() % 24);
    int n = std::snprintf(text, sizeof text, "%s%0*llu", random() % 3 == 0 ? "-" : "", decimals + 1,
                          static_cast<unsigned long long>(digits));
    std::string s(text, n);
    if (decimals > 0) s.insert(s.size() - decimals, ".");
    XlsxCellValue value = read_text(this, &ws_, s);
    ASSERT_EQ(value.type, decimals > 0 ? XLSX_VALUE_FLOAT : XLSX_VALUE_INTEGER) << s;
    if (decimals > 0) {
      double expected = std::strtod(s.c_str(), nullptr);
      ASSERT_EQ(std::memcmp(&value.number, &expected, sizeof expected), 0) << s;
    } else {
      ASSERT_EQ(value.integer, std::strtoll(s.c_str(), nullptr, 10)) << s;
    }
    xlsx_value_reset(&value);
  }
}

TEST_F(NumberTexts, EdgeFormsKeepTheirReading) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"-0", "integer:0"},
      {"007", "integer:7"},
      {"999999999999999999", "integer:999999999999999999"},
      {"-999999999999999999", "integer:-999999999999999999"},
      {"1.", "float:1"},
      {".5", "float:0.5"},
      {"1e+20", "float:1e+20"},
      {" 42", "integer:42"},
      {"0.30000000000000004", "float:0.30000000000000004"},
      {"+3.5", "float:3.5"},
  };
  for (const Case& c : cases) {
    load_sheet(
        worksheet_with(std::string("<sheetData><row r=\"1\"><c r=\"A1\"><v>") + c.text + "</v></c></row></sheetData>"));
    EXPECT_EQ(value_at(1, 1), c.expected) << c.text;
  }
  XlsxCellValue negative_zero = read_text(this, &ws_, "-0.0");
  EXPECT_EQ(negative_zero.type, XLSX_VALUE_FLOAT);
  EXPECT_TRUE(std::signbit(negative_zero.number));
}

TEST_F(NumberTexts, WrittenNumbersAreThePrintfTexts) {
  std::mt19937_64 random(7);
  XlsxCell c = cell(1, 1);
  char expected[64];
  for (int i = 0; i < 5000; i++) {
    uint64_t bits = random();
    double number;
    std::memcpy(&number, &bits, sizeof number);
    if (!std::isfinite(number)) continue;
    if (i % 2) number = static_cast<double>(static_cast<int64_t>(random() % 2000000) - 1000000) / 1024.0;
    XlsxCellValue value;
    xlsx_value_init(&value);
    xlsx_value_set_float(&value, number);
    ASSERT_EQ(xlsx_cell_set_value(&c, &value), XLSX_OK);
    std::snprintf(expected, sizeof expected, "%.17g", number);
    ASSERT_STREQ(xml_node_text(xml_node_child(c.element, "v")), expected);
  }
  const int64_t integers[] = {0, -1, 7, INT64_MAX, INT64_MIN, 1000000, -999};
  for (int64_t integer : integers) {
    XlsxCellValue value;
    xlsx_value_init(&value);
    xlsx_value_set_int(&value, integer);
    ASSERT_EQ(xlsx_cell_set_value(&c, &value), XLSX_OK);
    std::snprintf(expected, sizeof expected, "%lld", static_cast<long long>(integer));
    EXPECT_STREQ(xml_node_text(xml_node_child(c.element, "v")), expected);
  }
}

TEST_F(NumberTexts, IntegerAndReferenceTextsMatchPrintf) {
  char text[32];
  char expected[32];
  const int64_t values[] = {0, 9, 10, -10, 1048576, INT64_MAX, INT64_MIN};
  for (int64_t v : values) {
    uint32_t length = sheet_format_integer(text, v);
    EXPECT_EQ(length, std::strlen(text));
    std::snprintf(expected, sizeof expected, "%lld", static_cast<long long>(v));
    EXPECT_STREQ(text, expected);
  }
  EXPECT_STREQ(sheet_format_ref(text, 1048576, 16384), "XFD1048576");
  EXPECT_STREQ(sheet_format_ref(text, 1, 1), "A1");
}

std::string row_of(const char* cells) {
  return worksheet_with(std::string("<sheetData><row r=\"1\">") + cells + "</row></sheetData>");
}

TEST_F(NumberTexts, SharedStringPositionsReadAsTheGeneralConverterReadsThem) {
  XlsxSharedStrings* table = xlsx_document_shared_strings(doc_);
  uint32_t first = static_cast<uint32_t>(xlsx_sst_append(table, "first"));
  ASSERT_GE(xlsx_sst_append(table, "second"), 0);
  const struct {
    std::string v;
    std::string value;
  } cases[] = {
      {std::to_string(first), "string:first"},
      {" " + std::to_string(first) + " ", "string:first"},      // white space around digits is accepted
      {std::to_string(first + 1), "string:second"},
      {"abc", std::string("string:") + xlsx_sst_get(table, 0)},  // no position: the first entry
      {"-1", std::string("string:") + xlsx_sst_get(table, 0)},
      {"4294967296", std::string("string:") + xlsx_sst_get(table, 0)},
      {"99999999999", std::string("string:") + xlsx_sst_get(table, 0)},
      {"1x", std::string("string:") + xlsx_sst_get(table, 0)},
  };
  for (const auto& c : cases) {
    load_sheet(worksheet_with("<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>" + c.v + "</v></c></row></sheetData>"));
    EXPECT_EQ(value_at(1, 1), c.value) << c.v;
  }
}

TEST_F(DenseLookups, RandomReadsInDenseRowsFindEveryCell) {
  std::string data = "<sheetData>";
  for (int r = 1; r <= 50; r++) {
    data += "<row r=\"" + std::to_string(r) + "\">";
    for (int c = 0; c < 10; c++) {
      std::string ref = std::string(1, static_cast<char>('A' + c)) + std::to_string(r);
      data += "<c r=\"" + ref + "\"><v>" + std::to_string(r * 100 + c + 1) + "</v></c>";
    }
    data += "</row>";
  }
  load_sheet(worksheet_with(data + "</sheetData>"));
  std::mt19937 random(3);
  for (int i = 0; i < 2000; i++) {
    uint32_t r = 1 + random() % 50, c = 1 + random() % 10;
    ASSERT_EQ(value_at(r, c), "integer:" + std::to_string(r * 100 + c)) << r << "," << c;
  }
}

TEST_F(DenseLookups, GapsAndDuplicatesFindTheCellTheWalkFinds) {
  // Gaps: a guess counted from the last cell lands on the wrong column and the walk takes over.
  load_sheet(
      row_of("<c r=\"A1\"><v>1</v></c><c r=\"C1\"><v>3</v></c><c r=\"D1\"><v>4</v></c>"
             "<c r=\"H1\"><v>8</v></c>"));
  EXPECT_EQ(value_at(1, 3), "integer:3");
  EXPECT_EQ(value_at(1, 1), "integer:1");
  EXPECT_EQ(value_at(1, 2), "empty:");
  EXPECT_EQ(sheet_data_xml(),
            "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"/><c r=\"C1\"><v>3</v></c>"
            "<c r=\"D1\"><v>4</v></c><c r=\"H1\"><v>8</v></c></row></sheetData>");
  // Duplicates of one column near the end: the rightmost one, as the walk from the end finds it.
  load_sheet(
      row_of("<c r=\"A1\"><v>1</v></c><c r=\"B1\"><v>2</v></c><c r=\"B1\"><v>22</v></c>"
             "<c r=\"C1\"><v>3</v></c>"));
  EXPECT_EQ(value_at(1, 2), "integer:22");
  // Near the start: the leftmost one, as the walk from the start finds it.
  load_sheet(
      row_of("<c r=\"A1\"><v>1</v></c><c r=\"A1\"><v>11</v></c><c r=\"B1\"><v>2</v></c>"
             "<c r=\"C1\"><v>3</v></c><c r=\"D1\"><v>4</v></c><c r=\"E1\"><v>5</v></c>"));
  EXPECT_EQ(value_at(1, 1), "integer:1");
}

TEST_F(DenseLookups, CountedCellsStayRightAsCellsAreAddedAnywhere) {
  load_sheet(row_of("<c r=\"B1\"><v>2</v></c><c r=\"C1\"><v>3</v></c><c r=\"D1\"><v>4</v></c>"));
  EXPECT_EQ(value_at(1, 3), "integer:3");
  set_int(1, 5, 5);  // appended right after the last cell: still counted
  EXPECT_EQ(value_at(1, 4), "integer:4");
  EXPECT_EQ(value_at(1, 5), "integer:5");
  set_int(1, 8, 8);  // a gap: counting stops, the walk finds the cells
  set_int(1, 1, 1);  // before the first
  set_int(1, 7, 7);  // inside the gap
  for (uint32_t c = 1; c <= 5; c++) EXPECT_EQ(value_at(1, c), "integer:" + std::to_string(c)) << c;
  EXPECT_EQ(value_at(1, 7), "integer:7");
  EXPECT_EQ(value_at(1, 8), "integer:8");
  EXPECT_EQ(sheet_data_xml(),
            "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><v>2</v></c><c r=\"C1\"><v>3</v></c>"
            "<c r=\"D1\"><v>4</v></c><c r=\"E1\"><v>5</v></c><c r=\"G1\"><v>7</v></c>"
            "<c r=\"H1\"><v>8</v></c></row></sheetData>");
  // A new row filled from its first cell on is counted too.
  for (uint32_t c = 1; c <= 6; c++) set_int(2, c, 20 + c);
  EXPECT_EQ(value_at(2, 3), "integer:23");
  EXPECT_EQ(value_at(2, 6), "integer:26");
}

TEST_F(DenseLookups, ReferenceAttributeNeedNotComeFirst) {
  load_sheet(
      row_of("<c s=\"1\" r=\"A1\"><v>1</v></c><c t=\"n\" r=\"B1\"><v>2</v></c>"
             "<c s=\"2\" r=\"C1\"><v>3</v></c>"));
  EXPECT_EQ(value_at(1, 2), "integer:2");
  EXPECT_EQ(value_at(1, 3), "integer:3");
  EXPECT_EQ(value_at(1, 1), "integer:1");
}

}  // namespace
}  // namespace sheet_test
