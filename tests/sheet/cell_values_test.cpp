// Reading and writing cell values in every XML form: the copying read and the lending read agree on every
// form, number texts read as the C library's converter reads them, and numbers are written as printf
// writes them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "lib/sheet/shared_strings.h"
#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

class CellValues : public SheetTest {
 protected:
  // Loads a sheet whose only cell is <c r="A1"attributes>content</c>.
  void load_cell(const std::string& attributes, const std::string& content) {
    load_sheet(worksheet_with("<sheetData><row r=\"1\"><c r=\"A1\"" + attributes + ">" + content +
                              "</c></row></sheetData>"));
  }
  // Checks both reads of A1 against expected; lent is 1 or 0 when the lending read must (not) lend.
  void expect_read(const std::string& expected, int lent, const std::string& row) {
    XlsxCell c = cell(1, 1);
    EXPECT_EQ(value_of(c), expected) << row;
    XlsxCellValue v{};
    const char* text = nullptr;
    uint32_t live = xlsx_live_allocations();
    ASSERT_EQ(xlsx_cell_peek_value(&c, &v, &text), XLSX_OK) << row;
    if (text) {
      EXPECT_EQ(xlsx_live_allocations(), live) << "a lent text was copied: " << row;
    }
    if (lent >= 0) {
      EXPECT_EQ(text != nullptr, lent == 1) << row;
    }
    EXPECT_EQ(describe(v, text), expected) << "lending read of " << row;
    xlsx_value_reset(&v);
  }
  // Sets text as the `v` of the plain cell A1 and reads it back (the caller resets the value).
  XlsxCellValue read_number_text(const std::string& text) {
    XlsxCell c = cell(1, 1);
    XmlNode* v = xml_node_child(c.element, "v");
    if (!v) v = xml_node_append_child(c.element, "v");
    EXPECT_TRUE(xml_node_set_text(v, text.c_str()));
    XlsxCellValue value;
    xlsx_value_init(&value);
    EXPECT_EQ(xlsx_cell_get_value(&c, &value), XLSX_OK);
    return value;
  }
};

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST_F(CellValues, EveryStoredFormReadsTheSameCopiedOrLent) {
  const struct {
    const char* attributes;
    const char* content;
    const char* expected;
    int lent;  // -1: either
  } cases[] = {
      {"", "<v>5</v>", "integer:5", 0},
      {" t=\"n\"", "<v>-12</v>", "integer:-12", 0},
      {"", "<v>0.5</v>", "float:0.5", 0},
      {" t=\"b\"", "<v>1</v>", "boolean:1", 0},
      {" t=\"b\"", "<v>0</v>", "boolean:0", 0},
      {" t=\"e\"", "<v>#DIV/0!</v>", "error:#DIV/0!", 1},
      {" t=\"str\"", "<v>plain</v>", "string:plain", 1},
      {" t=\"inlineStr\"", "<is><t>inline</t></is>", "string:inline", 1},
      // Only rich runs are joined into an owned copy.
      {" t=\"inlineStr\"", "<is><r><t>rich </t></r><r><rPr/><t>text</t></r></is>", "string:rich text", 0},
      {" s=\"3\"", "", "empty:", 0},
      {" t=\"n\"", "", "empty:", 0},
      {" t=\"s\"", "<v>999999</v>", "string:", 1},  // a position beyond the table reads as ""
      // Number texts: an exponent or a point makes a float (1e+20 is no integer 0); out-of-range values
      // are the error "#NUM!"; a text that is no number (a trailing letter, a lone exponent) reads as text.
      {"", "<v>1e+20</v>", "float:1e+20", 0},
      {"", "<v>1.0</v>", "float:1", 0},
      {"", "<v>2E-3</v>", "float:0.002", 0},
      {"", "<v>99999999999999999999</v>", "float:1e+20", 0},
      {"", "<v>junk</v>", "string:junk", 0},
      {"", "<v>-0</v>", "integer:0", 0},
      {"", "<v>-0.0</v>", "float:-0", 0},
      {"", "<v>007</v>", "integer:7", 0},
      {"", "<v>999999999999999999</v>", "integer:999999999999999999", 0},
      {"", "<v>-999999999999999999</v>", "integer:-999999999999999999", 0},
      {"", "<v>1.</v>", "float:1", 0},
      {"", "<v>.5</v>", "float:0.5", 0},
      {"", "<v> 42</v>", "integer:42", 0},
      {"", "<v>0.30000000000000004</v>", "float:0.30000000000000004", 0},
      {"", "<v>+3.5</v>", "float:3.5", 0},
      {"", "<v> 2.5</v>", "float:2.5", 0},
      {"", "<v>1e309</v>", "error:#NUM!", -1},
      {"", "<v>-1e400</v>", "error:#NUM!", -1},
      {"", "<v>nan</v>", "string:nan", -1},
      {"", "<v>1.5e</v>", "string:1.5e", 0},
      {"", "<v>1.5x</v>", "string:1.5x", 0},
      {"", "<v>1e-400</v>", "float:0", 0},
  };
  for (const auto& c : cases) {
    load_cell(c.attributes, c.content);
    expect_read(c.expected, c.lent, std::string(c.attributes) + c.content);
  }
}

TEST_F(CellValues, SharedStringPositionsReadAsTheGeneralConverterReadsThem) {
  XlsxSharedStrings* table = &book_.sst;
  const std::string first = std::to_string(xlsx_sst_append(table, "first"));
  const std::string second = std::to_string(xlsx_sst_append(table, "second"));
  const std::string fallback = "string:";  // no position: the empty text
  const struct {
    std::string v, expected;
  } cases[] = {
      {first, "string:first"}, {" " + first + " ", "string:first"}, {second, "string:second"},
      {"abc", fallback},       {"-1", fallback},                    {"4294967296", fallback},
      {"99999999999", fallback}, {"1x", fallback},
  };
  for (const auto& c : cases) {
    load_cell(" t=\"s\"", "<v>" + c.v + "</v>");
    expect_read(c.expected, 1, c.v);
  }
}

// Plain decimals of up to 17 digits with the point anywhere, and 17-digit fractions, exponents, the edges
// of the double range and halfway cases, read bit for bit as strtod reads them.
TEST_F(CellValues, DecimalTextsReadAsTheConverterRoundsThem) {
  std::vector<std::string> texts;
  std::mt19937_64 random(20261206);
  char buffer[64];
  for (int i = 0; i < 20000; i++) {
    uint64_t digits = random() % 100000000000000000ull;
    int decimals = static_cast<int>(random() % 24);
    int n = std::snprintf(buffer, sizeof buffer, "%s%0*llu", random() % 3 == 0 ? "-" : "", decimals + 1,
                          static_cast<unsigned long long>(digits));
    std::string s(buffer, n);
    if (decimals > 0) s.insert(s.size() - decimals, ".");
    texts.push_back(s);
  }
  for (int r = 1; r <= 600; r++) {
    for (double x : {r / 3.0, r * 0.001, r * 1.5 + 0.25, -r / 7.0, r * 1e-9, r * 1e15 / 3.0}) {
      std::snprintf(buffer, sizeof buffer, "%.17g", x);
      if (std::strpbrk(buffer, ".e")) texts.push_back(buffer);
    }
  }
  for (const char* t : {"1.2345678901234567e-5", "9.999999999999999e22", "1.7976931348623157e308",
                        "2.2250738585072014e-308", "4.9406564584124654e-324", "2.4703282292062328e-324",
                        "0.1000000000000000055511151231257827", "9007199254740993.0", "-0.0", "0.0e0",
                        "123456789012345678901234567890.5", "1E+2", "7.0000000000000000001"})
    texts.push_back(t);
  for (const std::string& s : texts) {
    XlsxCellValue value = read_number_text(s);
    bool is_float = std::strpbrk(s.c_str(), ".eE") != nullptr;
    ASSERT_EQ(value.type, is_float ? XLSX_VALUE_FLOAT : XLSX_VALUE_INTEGER) << s;
    if (is_float) {
      ASSERT_TRUE(same_bits(value.number, std::strtod(s.c_str(), nullptr))) << s << " read as " << value.number;
    } else {
      ASSERT_EQ(value.integer, std::strtoll(s.c_str(), nullptr, 10)) << s;
    }
    xlsx_value_reset(&value);
  }
}

using Setter = std::function<void(XlsxCellValue*)>;

TEST_F(CellValues, EachKindIsWrittenInItsForm) {
  const struct {
    Setter set;
    const char* stored;
    const char* read;
  } cases[] = {
      {[](XlsxCellValue* v) { xlsx_value_set_float(v, 0.5); }, "<c r=\"A1\"><v>0.5</v></c>", "float:0.5"},
      {[](XlsxCellValue* v) { xlsx_value_set_int(v, 5); }, "<c r=\"A1\"><v>5</v></c>", "integer:5"},
      {[](XlsxCellValue* v) { xlsx_value_set_bool(v, 2); }, "<c r=\"A1\" t=\"b\"><v>1</v></c>", "boolean:1"},
      {[](XlsxCellValue* v) { xlsx_value_set_error(v, "#N/A"); }, "<c r=\"A1\" t=\"e\"><v>#N/A</v></c>", "error:#N/A"},
      {[](XlsxCellValue* v) { xlsx_value_set_float(v, 1e20); }, "<c r=\"A1\"><v>1e+20</v></c>", "float:1e+20"},
      {[](XlsxCellValue* v) { xlsx_value_set_float(v, 0.1); }, "<c r=\"A1\"><v>0.10000000000000001</v></c>",
       "float:0.10000000000000001"},
      // An infinite float that did not pass through the setter is written as the error "#NUM!".
      {[](XlsxCellValue* v) { v->type = XLSX_VALUE_FLOAT, v->number = INFINITY; }, "<c r=\"A1\" t=\"e\"><v>#NUM!</v></c>",
       "error:#NUM!"},
  };
  for (const auto& c : cases) {
    load_sheet(worksheet_with("<sheetData/>"));
    XlsxCellValue v;
    xlsx_value_init(&v);
    c.set(&v);
    XlsxCell a1 = cell(1, 1);
    EXPECT_EQ(xlsx_cell_set_value(&a1, &v), XLSX_OK) << c.stored;
    xlsx_value_reset(&v);
    EXPECT_EQ(sheet_data_xml(), std::string("<sheetData><row r=\"1\">") + c.stored + "</row></sheetData>");
    EXPECT_EQ(value_at(1, 1), c.read) << c.stored;
  }
}

TEST_F(CellValues, WrittenNumbersAreThePrintfTexts) {
  std::mt19937_64 random(7);
  XlsxCell c = cell(1, 1);
  char expected[64];
  auto write = [&](const Setter& set) {
    XlsxCellValue value;
    xlsx_value_init(&value);
    set(&value);
    EXPECT_EQ(xlsx_cell_set_value(&c, &value), XLSX_OK);
    xlsx_value_reset(&value);
    return std::string(xml_node_text(xml_node_child(c.element, "v")));
  };
  for (int i = 0; i < 5000; i++) {
    uint64_t bits = random();
    double number;
    std::memcpy(&number, &bits, sizeof number);
    if (!std::isfinite(number)) continue;
    if (i % 2) number = static_cast<double>(static_cast<int64_t>(random() % 2000000) - 1000000) / 1024.0;
    std::snprintf(expected, sizeof expected, "%.17g", number);
    ASSERT_EQ(write([&](XlsxCellValue* v) { xlsx_value_set_float(v, number); }), expected);
  }
  for (int64_t integer : {int64_t{0}, int64_t{-1}, int64_t{7}, int64_t{9}, int64_t{10}, int64_t{-10}, int64_t{-999},
                          int64_t{1048576}, INT64_MAX, INT64_MIN}) {
    std::snprintf(expected, sizeof expected, "%lld", static_cast<long long>(integer));
    EXPECT_EQ(write([&](XlsxCellValue* v) { xlsx_value_set_int(v, integer); }), expected);
  }
}

TEST_F(CellValues, SharedStringsAreStoredOnceAndInlineModeKeepsEdgeSpaces) {
  set_text(1, 1, "abc");
  set_text(2, 2, "abc");
  XlsxSharedStrings* sst = &book_.sst;
  uint32_t count = xlsx_sst_count(sst);
  std::string index = std::to_string(xlsx_sst_find(sst, "abc"));
  EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>" + index + "</v></c></row>"
                              "<row r=\"2\"><c r=\"B2\" t=\"s\"><v>" + index + "</v></c></row></sheetData>");
  set_text(3, 3, "abc");
  EXPECT_EQ(xlsx_sst_count(sst), count);
  EXPECT_EQ(value_at(2, 2), "string:abc");
  load_sheet(worksheet_with("<sheetData/>"));
  xlsx_set_shared_strings_mode(1);
  set_text(1, 1, " lead");
  EXPECT_EQ(sheet_data_xml(),
            "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> lead</t></is></c></row></sheetData>");
  EXPECT_EQ(value_at(1, 1), "string: lead");
  set_int(1, 1, 7);  // a number drops the text's type and space attribute
  EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"1\"><c r=\"A1\"><v>7</v></c></row></sheetData>");
}

TEST_F(CellValues, ReplacingAndClearingKeepStyleAndFormula) {
  load_cell(" t=\"inlineStr\" s=\"2\"", "<is><t>x</t></is>");
  set_int(1, 1, 3);
  EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"1\"><c r=\"A1\" s=\"2\"><v>3</v></c></row></sheetData>");
  load_cell(" s=\"4\" t=\"str\"", "<f>B1</f><v>x</v>");
  XlsxCell c = cell(1, 1);
  EXPECT_EQ(xlsx_cell_clear_value(&c), XLSX_OK);
  EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"1\"><c r=\"A1\" s=\"4\"><f>B1</f></c></row></sheetData>");
  set_int(1, 1, 1);
  XlsxCellValue v;
  xlsx_value_init(&v);
  EXPECT_EQ(xlsx_cell_set_value(&c, &v), XLSX_OK);  // the empty value clears as well
  EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"1\"><c r=\"A1\" s=\"4\"><f>B1</f></c></row></sheetData>");
  xlsx_value_reset(&v);
}

TEST_F(CellValues, InvalidHandlesAndArgumentsAreRefused) {
  XlsxCell none = {};
  XlsxCellValue v;
  xlsx_value_init(&v);
  EXPECT_EQ(xlsx_cell_get_value(&none, &v), XLSX_ERR_INTERNAL);
  EXPECT_EQ(xlsx_cell_set_value(&none, &v), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_cell_clear_value(nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_FALSE(xlsx_cell_has_formula(&none));
  // The lending read clears the lent text whenever it fails, and gives an empty cell no text.
  XlsxCellValue peek{};
  const char* text = "stale";
  EXPECT_EQ(xlsx_cell_peek_value(&none, &peek, &text), XLSX_ERR_INTERNAL);
  EXPECT_EQ(text, nullptr);
  text = "stale";
  XlsxCell c = cell(1, 1);
  EXPECT_EQ(xlsx_cell_peek_value(&c, nullptr, &text), XLSX_ERR_INTERNAL);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(xlsx_cell_peek_value(&c, &peek, nullptr), XLSX_ERR_INTERNAL);
  EXPECT_EQ(xlsx_cell_peek_value(&c, &peek, &text), XLSX_OK);
  EXPECT_EQ(xlsx_value_type(&peek), XLSX_VALUE_EMPTY);
  EXPECT_EQ(peek.text, nullptr);
  EXPECT_EQ(text, nullptr);
  xlsx_value_reset(&v);
}

}  // namespace
}  // namespace sheet_test
