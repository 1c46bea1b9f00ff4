// The spreadsheet model (lib/sheet) on a new test book, with the reference tables of sheet.cases: references,
// values, formulas, dates, formats, colours, styles; rows, cells, ranges, shared strings; the sheet list, sheet
// names, columns, rows, views, merges, panes, filters, hyperlinks and edits that run out of memory.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <tuple>

#include "lib/package/content_types.h"
#include "lib/sheet/autofilter.h"
#include "lib/sheet/cell.h"
#include "lib/sheet/cell_area.h"
#include "lib/sheet/cellref.h"
#include "lib/sheet/colors.h"
#include "lib/sheet/columns.h"
#include "lib/sheet/date_serial.h"
#include "lib/sheet/dimension.h"
#include "lib/sheet/formula_move.h"
#include "lib/sheet/hyperlinks.h"
#include "lib/sheet/merged_cells.h"
#include "lib/sheet/number_format.h"
#include "lib/sheet/panes.h"
#include "lib/sheet/shared_strings.h"
#include "lib/sheet/sheet_children.h"
#include "lib/sheet/sheet_index.h"
#include "lib/sheet/sheet_view.h"
#include "lib/sheet/styles.h"
#include "lib/sheet/value.h"
#include "lib/xml/parser.h"
#include "lib/xml/text_arena.h"
#include "tests/support/book.h"
#include "tests/support/cases.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"
#include "tests/support/part_text.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace xlsx_test;

inline std::vector<Case> cases(const char* kind) { return read_cases("sheet/sheet.cases", kind); }
// The text of the "named" case of that name (longer XML, free of escapes there).
inline std::string named(const std::string& name) {
  for (const Case& c : cases("named"))
    if (c[0] == name) return c[1];
  ADD_FAILURE() << "sheet.cases names no text " << name;
  return "";
}

// Sets the value from "type:text" as describe gives it; "string" alone sets the null text.
inline xlsx_status set_value(XlsxCellValue* v, const std::string& typed) {
  size_t colon = typed.find(':');
  std::string type = typed.substr(0, colon), text = colon == std::string::npos ? "" : typed.substr(colon + 1);
  if (type == "boolean") return xlsx_value_set_bool(v, uint32_t(std::stoul(text)));
  if (type == "integer") return xlsx_value_set_int(v, std::stoll(text));
  if (type == "float") return xlsx_value_set_float(v, std::strtod(text.c_str(), nullptr));
  if (type == "error") return xlsx_value_set_error(v, text.c_str());
  if (type == "string") return xlsx_value_set_string(v, colon == std::string::npos ? nullptr : text.c_str());
  return xlsx_value_set_empty(v);
}

// A cell value, empty from its start and reset at the end of its scope.
struct Value : XlsxCellValue {
  Value() { EXPECT_EQ(xlsx_value_init(this), XLSX_OK); }
  ~Value() { xlsx_value_reset(this); }
};

// A part whose root element, in the main namespace and with the relationships prefix, holds content.
inline std::string part_with(const std::string& root, const std::string& content) {
  return "<" + root + " xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:r=\"http://schemas"
         ".openxmlformats.org/officeDocument/2006/relationships\">" + content + "</" + root + ">";
}
inline std::string worksheet_with(const std::string& sheet_data, const std::string& before = "") {
  return part_with("worksheet", before + sheet_data);
}
inline bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
// has as an assertion whose failure message shows the text.
inline testing::AssertionResult holds(const std::string& text, const std::string& part) {
  return has(text, part) ? testing::AssertionSuccess() : testing::AssertionFailure() << part << " not in " << text;
}

// Uses up the free node and attribute slots of root's document and its text arena down to less than
// room + 8 bytes (nothing when room < 0), so that an edit made next allocates a page or a chunk at the
// step that goes beyond; the slots go to attributes "pad" and comments of root.
inline void use_up(XmlNode* root, int32_t room) {
  if (room < 0) return;
  XmlDoc* doc = root->document;
  while (doc->arena && int64_t(doc->arena->capacity) - doc->arena->used >= room + 8)
    ASSERT_TRUE(xml_attribute_set_value(xml_node_append_attribute(root, "pad"), "ab"));
  while (doc->free_attributes) ASSERT_TRUE(xml_node_append_attribute(root, "pad"));
  while (doc->free_nodes) ASSERT_TRUE(xml_node_append_child_of_type(root, XML_NODE_COMMENT));
}

class SheetTest : public CountedTest {
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    xlsx_set_shared_strings_mode(0);
    ASSERT_EQ(test_book_open(&book_, dir_.file("test.xlsx").c_str(), true), XLSX_OK);
    wb_ = book_.workbook;
    ASSERT_EQ(xlsx_workbook_worksheet_at(wb_, 1, &ws_), XLSX_OK);
  }
  void TearDown() override { test_book_close(&book_); xlsx_set_shared_strings_mode(0); CountedTest::TearDown(); }
  // Replaces the tree of the first worksheet / of the workbook part by the parsed text.
  void load_sheet(const std::string& xml) { load_part(ws_.part, xml); }
  void load_workbook(const std::string& xml) { load_part(wb_->part, xml); }
  // Loads a worksheet without cells, the elements of before ahead of its sheetData.
  void load_empty(const std::string& before) { load_sheet(worksheet_with("<sheetData/>", before)); }
  // Loads a sheet whose only cell is <c r="A1" attrs>inner</c>.
  void load_cell(const std::string& attrs, const std::string& inner) {
    load_sheet(worksheet_with("<sheetData><row r=\"1\"><c r=\"A1\" " + attrs + ">" + inner + "</c></row></sheetData>"));
  }
  void load_part(XlsxPart* part, const std::string& xml) {
    ASSERT_EQ(xml_document_load_buffer(xlsx_part_load(part), xml.c_str(), uint32_t(xml.size()), XML_PARSE_PACKAGE),
              XLSX_OK);
  }
  // A part as text, and the part of the first worksheet from <sheetData to its end tag.
  std::string part_xml(const char* path) { return part_text(xlsx_package_find_part(pkg_, path)); }
  std::string sheet_xml() { return part_text(ws_.part); }
  std::string workbook_xml() { return part_text(wb_->part); }
  testing::AssertionResult sheet_has(const std::string& part) { return holds(sheet_xml(), part); }
  std::string sheet_data_xml() {
    std::string xml = sheet_xml();
    size_t start = xml.find("<sheetData"), end = xml.find("</sheetData>");
    return start == std::string::npos ? "" : xml.substr(start, end == std::string::npos ? end : end + 12 - start);
  }
  // Cell helpers on the first worksheet (they fail the test on a bad status).
  XlsxCell cell(uint32_t row, uint32_t column) {
    XlsxCell c = {};
    EXPECT_EQ(xlsx_sheet_cell(&ws_, row, column, &c), XLSX_OK);
    return c;
  }
  void set(uint32_t row, uint32_t column, const std::string& typed) {
    EXPECT_EQ(put_cell(&ws_, row, column, [&](XlsxCellValue* v) { return set_value(v, typed); }), XLSX_OK);
  }
  // The value read back, as "type:text" ("integer:5", "string:abc", "float:0.5", "empty:").
  std::string value_of(const XlsxCell& c) {
    Value v;
    EXPECT_EQ(xlsx_cell_get_value(&c, &v), XLSX_OK);
    return describe(v);
  }
  std::string value_at(uint32_t row, uint32_t column) { return value_of(cell(row, column)); }
  // The cell's formula text; "<none>" when it has none.
  std::string formula_at(uint32_t row, uint32_t column) {
    XlsxCell c = cell(row, column);
    XlsxText text;
    xlsx_text_init(&text);
    EXPECT_EQ(xlsx_cell_get_formula(&c, &text), XLSX_OK);
    std::string result = xlsx_cell_has_formula(&c) ? xlsx_text_get(&text) : "<none>";
    xlsx_text_release(&text);
    return result;
  }
  TempDir dir_;
  TestBook book_ = {};
  XlsxPackage* pkg_ = &book_.package;
  XlsxWorkbook* wb_ = nullptr;
  XlsxWorksheet ws_ = {};
};

using Values = CountedTest;
using SharedStrings = CountedTest;
using Cells = SheetTest;
using CellValues = SheetTest;
using Workbook = SheetTest;
using Layout = SheetTest;
using SharedFormulas = SheetTest;

// Letters <-> columns both ways for every column; row digits within the sheet; nothing beyond wraps.
TEST_F(Values, ColumnLettersAndRowDigits) {
  auto letters = [](uint32_t column) { char buffer[4]; return std::string(xlsx_column_to_letters(column, buffer)); };
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

// Getters answer only for their kind (an error is a NaN float), setters normalise (no infinite float).
TEST_F(Values, SettersNormaliseAndGettersDoNotConvert) {
  Value a, b;
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
TEST_F(Values, TextsAreOwnedCopiesAndMayComeFromTheValueItself) {
  Value a, b;
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
TEST_F(Values, ComparisonReferenceTable) {
  Value a, b;
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

// Dates and times both ways in both systems, and texts that name no day; number format codes.
TEST(CellFormats, DatesAndNumberFormatCodes) {
  char text[XLSX_DATE_TEXT_SIZE];
  double serial = -1;
  for (const auto& c : cases("date")) {
    ASSERT_TRUE(xlsx_date_text_to_serial(c[0].c_str(), c[1] == "1", &serial, nullptr)) << c.where;
    EXPECT_DOUBLE_EQ(serial, std::strtod(c[2].c_str(), nullptr)) << c.where;
    ASSERT_TRUE(xlsx_serial_to_date_text(serial, c[1] == "1", text)) << c.where;
    EXPECT_EQ(text, c[3]) << c.where;
  }
  for (const auto& c : cases("no-date"))
    EXPECT_FALSE(xlsx_date_text_to_serial(c[0].c_str(), c[1] == "1", &serial, nullptr)) << c.where;
  for (double bad : {-1.0, 2958466.0, 1.0 / 0.0}) EXPECT_FALSE(xlsx_serial_to_date_text(bad, false, text)) << bad;
  for (const auto& c : cases("format")) {
    EXPECT_EQ(xlsx_format_code_is_valid(c[0].c_str()), c[1] == "1") << c.where;
    EXPECT_TRUE(c[1] != "1" || xlsx_format_code_is_date(c[0].c_str()) == (c[2] == "1")) << c.where;
  }
  EXPECT_FALSE(xlsx_format_code_is_valid(std::string(256, '0').c_str()));
  EXPECT_EQ(xlsx_builtin_format_id("mm-dd-yy"), 14);
  EXPECT_STREQ(xlsx_builtin_format_code(49), "@");
  EXPECT_EQ(xlsx_builtin_format_code(30), nullptr);
  EXPECT_TRUE(xlsx_builtin_format_is_date(30) && !xlsx_builtin_format_is_date(49));
}

// Colour elements resolve as applications show them: red-green-blue, the palette (as the styles redefine
// it), the theme's scheme under any prefix (a colour it lacks from the default theme), tints.
TEST(CellFormats, ThemeAndPaletteColours) {
  auto parse = [](XmlDoc* doc, const std::string& xml) {
    EXPECT_EQ(xml_document_load_buffer(doc, xml.c_str(), 0, XML_PARSE_PACKAGE), XLSX_OK) << xml;
    return xml_document_element(doc);
  };
  XmlDoc* doc = xml_document_create();
  XlsxThemeColors theme;
  xlsx_theme_colors_read(parse(doc, cases("theme")[0][0]), &theme);
  XmlDoc* palette = xml_document_create();
  parse(palette, cases("theme")[0][1]);
  for (const auto& c : cases("color")) {
    int32_t color = xlsx_color_resolve(parse(doc, c[0]), xml_document_element(palette), &theme);
    char shown[16] = "none";
    if (color >= 0) std::snprintf(shown, sizeof shown, "%06X", static_cast<unsigned>(color));
    EXPECT_EQ(shown, c[1]) << c.where;
  }
  xml_document_destroy(palette);
  xml_document_destroy(doc);
}

// The styles of the test book and its first sheet.
class Styles : public SheetTest {
 protected:
  void SetUp() override { SheetTest::SetUp(); ASSERT_EQ(xlsx_workbook_styles(wb_, &styles_), XLSX_OK); }
  // The cell at ref, lent until the next call.
  const XlsxCell* Cell(const char* ref) {
    EXPECT_EQ(xlsx_sheet_cell_by_ref(&ws_, ref, &cell_), XLSX_OK);
    return &cell_;
  }
  uint32_t Style(const char* ref) { return xlsx_cell_style(Cell(ref)); }
  xlsx_status Apply(const char* ref, const XlsxStyleChange& change) {
    return xlsx_styles_apply(styles_, Cell(ref), &change);
  }
  XlsxFontLook Font(const char* ref) {
    XlsxFontLook font{};
    xlsx_styles_font(styles_, Style(ref), &font);
    return font;
  }
  XlsxPart* StylesPart() { return xlsx_package_find_part(pkg_, "xl/styles.xml"); }
  // A change of the aspect (a font: its colour, name, size and flags), every other field kept.
  static XlsxStyleChange Font(const char* name, double size, int32_t flags, int32_t color,
                              XlsxStyleAspect aspect = XLSX_ASPECT_FONT) {
    XlsxStyleChange change = xlsx_style_change(aspect);
    change.font_name = name, change.font_size = size, change.font_flags = flags, change.color = color;
    return change;
  }
  static XlsxStyleChange Bold() { return Font(nullptr, XLSX_STYLE_KEEP, XLSX_FONT_BOLD, XLSX_STYLE_KEEP); }
  static auto Fill(int32_t c) { return Font(nullptr, XLSX_STYLE_KEEP, XLSX_STYLE_KEEP, c, XLSX_ASPECT_FILL); }
  XlsxStyles* styles_ = nullptr;
  XlsxCell cell_{};
};

// A change keeps every aspect it does not name (a border without colour none); a refused one changes nothing.
TEST_F(Styles, ChangeKeepsWhatItDoesNotName) {
  ASSERT_EQ(Apply("B2", Font("Arial", 14, XLSX_FONT_ITALIC, 0xC00000)), XLSX_OK);
  XlsxStyleChange border = xlsx_style_change(XLSX_ASPECT_BORDER);
  border.sides = XLSX_SIDE_LEFT, border.border_style = 5;
  ASSERT_EQ(Apply("B2", border), XLSX_OK);
  ASSERT_EQ(Apply("B2", Font("", XLSX_STYLE_KEEP, XLSX_FONT_BOLD, XLSX_STYLE_KEEP)), XLSX_OK);
  XlsxFontLook font = Font("B2");
  EXPECT_STREQ(font.name, "Arial");
  EXPECT_TRUE(font.size == 14 && font.flags == XLSX_FONT_BOLD && font.color == 0xC00000);
  uint32_t xf = Style("B2");
  int32_t style = 0, color = 0;
  xlsx_styles_border(styles_, xf, XLSX_SIDE_LEFT, &style, &color);
  EXPECT_TRUE(style == 5 && color == XLSX_STYLE_NO_COLOR);
  EXPECT_EQ(Apply("B2", Font("", 500, XLSX_STYLE_KEEP, XLSX_STYLE_KEEP)), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(Style("B2"), xf);
}

// An index beyond the records reads as the default, and a change on it starts from the default; a change
// that needs no new record leaves the styles part unchanged.
TEST_F(Styles, OutOfRangeIndexesReadAsDefaultAndNoNeedlessRecordIsMade) {
  ASSERT_TRUE(xml_node_set_attribute(Cell("A1")->element, "s", "4000"));
  EXPECT_EQ(Font("A1").flags, 0u);
  EXPECT_STREQ(xlsx_styles_number_format(styles_, 4000), "General");
  ASSERT_EQ(Apply("A1", Bold()), XLSX_OK);
  EXPECT_EQ(Font("A1").flags, XLSX_FONT_BOLD);
  EXPECT_EQ(Font("A1").size, 12) << "the default font's size";
  ASSERT_EQ(Apply("B1", Fill(0x00FF00)), XLSX_OK);  // so that the bold record is looked up, not remembered
  const std::string before = part_text(StylesPart());
  ASSERT_EQ(Apply("D9", Bold()) + Apply("A1", Bold()), XLSX_OK);
  EXPECT_EQ(part_text(StylesPart()), before);
  EXPECT_EQ(Style("D9"), 1u);
}

// A change with its n-th allocation failing leaves the styles and the sheet as they were.
TEST_F(Styles, FailedChangeLeavesBothTreesAsTheyWere) {
  ASSERT_EQ(Apply("A1", Fill(0x123456)), XLSX_OK);
  XlsxCell cell = *Cell("A1");
  std::string styles_before = part_text(StylesPart()), sheet_before = part_text(ws_.part);
  XlsxStyleChange change = Font("Verdana", 9, XLSX_FONT_STRIKE, 0x336699);
  xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& faults) {
    xlsx_status status = xlsx_styles_apply(styles_, &cell, &change);
    if (faults.failures() == 0) return;
    faults.fail_after(0);  // the checks below need memory
    ASSERT_NE(status, XLSX_OK);
    ASSERT_EQ(part_text(StylesPart()), styles_before);
    ASSERT_EQ(part_text(ws_.part), sheet_before);
  });
  EXPECT_STREQ(Font("A1").name, "Verdana");
  EXPECT_EQ(xlsx_styles_fill(styles_, Style("A1")), 0x123456);
  // An edit begun when the index must be rebuilt (its tree changed behind it) fails without memory.
  for (uint32_t n = 1; n < 1000; n++) {
    ASSERT_TRUE(xml_node_set_attribute(xlsx_part_root(StylesPart()), "changed", std::to_string(n).c_str()));
    xlsx_test::FaultAllocation fault(n);
    xlsx_status status = xlsx_styles_edit_begin(styles_, ws_.part->xml);
    bool failed = fault.failures() > 0;
    fault.fail_after(0);
    EXPECT_EQ(status, failed ? XLSX_ERR_NO_MEMORY : XLSX_OK) << n;
    if (failed) continue;
    EXPECT_EQ(xlsx_styles_edit_end(styles_, ws_.part->xml, XLSX_OK), XLSX_OK);
    break;
  }
}

// Finding never creates, reading does; rows and cells go in order; positions outside the sheet are refused.
TEST_F(Cells, RowsAndCellsAreCreatedInOrderAndCounted) {
  EXPECT_EQ(xlsx_sheet_row_count(&ws_) * 10 + xlsx_sheet_column_count(&ws_), 1u);
  XlsxCell c;
  EXPECT_EQ(xlsx_sheet_find_cell(&ws_, 4, 3, &c), XLSX_ERR_NOT_FOUND) << "finding never creates";
  EXPECT_EQ(c.element, nullptr);
  EXPECT_EQ(value_at(4, 3), "empty:") << "reading creates the cell";
  EXPECT_EQ(xlsx_sheet_row_count(&ws_) * 10 + xlsx_sheet_column_count(&ws_), 43u);
  for (uint32_t column : {2u, 1u, 3u}) set(2, column, "integer:" + std::to_string(column));
  for (uint32_t r : {10u, 11u, 12u, 7u}) cell(r, 1);
  EXPECT_EQ(sheet_data_xml(), named("rows-in-order"));
  const uint32_t positions[][2] = {{0, 1}, {1048577, 1}, {1, 16385}, {1, 0}};
  for (const auto& p : positions) EXPECT_EQ(xlsx_sheet_cell(&ws_, p[0], p[1], &c), XLSX_ERR_INVALID_ARG);
  for (const char* text : {"", "XFE1", "A10485760"})
    EXPECT_EQ(xlsx_sheet_cell_by_ref(&ws_, text, &c), XLSX_ERR_INVALID_ARG);
  XlsxRow row;
  EXPECT_EQ(xlsx_sheet_row(&ws_, 0, &row) + xlsx_sheet_row(&ws_, 1048577, &row), 2 * XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_sheet_cell(nullptr, 1, 1, &c), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_sheet_row_count(&ws_), 12u) << "refusals created nothing";
  load_sheet(worksheet_with(""));
  EXPECT_EQ(xlsx_sheet_cell(&ws_, 1, 1, &c), XLSX_ERR_INVALID_ARG) << "a sheet without sheetData";
  EXPECT_EQ(xlsx_sheet_row_count(&ws_), 0u);
}

// Every stored form reads the same through the copying and the lending read; a lent text is not copied.
TEST_F(CellValues, EveryStoredFormReadsTheSameCopiedOrLent) {
  ASSERT_EQ(xlsx_sst_append(&book_.sst, "second"), 1);
  for (const auto& row : cases("stored")) {
    load_cell(row[0], row[1]);
    XlsxCell c = cell(1, 1);
    EXPECT_EQ(value_of(c), row[2]) << row.where;
    XlsxCellValue v{};
    const char* text = nullptr;
    uint32_t live = xlsx_live_allocations();
    ASSERT_EQ(xlsx_cell_peek_value(&c, &v, &text), XLSX_OK) << row.where;
    EXPECT_TRUE(!text || xlsx_live_allocations() == live) << "a lent text was copied: " << row.where;
    EXPECT_TRUE(row[3] == "-" || (text != nullptr) == (row[3] == "1")) << row.where;
    EXPECT_EQ(describe(v, text), row[2]) << "lending read of " << row.where;
    xlsx_value_reset(&v);
  }
}

// Decimal texts at the edges of the double range, halfway or beyond 17 digits, read as strtod reads them.
TEST_F(CellValues, NumbersReadAsTheCLibraryDoes) {
  XlsxCell c = cell(1, 1);
  XmlNode* v = xml_node_append_child(c.element, "v");
  for (const auto& row : cases("decimal")) {
    ASSERT_TRUE(xml_node_set_text(v, row[0].c_str()));
    Value value;
    ASSERT_EQ(xlsx_cell_get_value(&c, &value), XLSX_OK);
    double expected = std::strtod(row[0].c_str(), nullptr);
    EXPECT_TRUE(value.type == XLSX_VALUE_FLOAT && std::memcmp(&value.number, &expected, sizeof expected) == 0)
        << row.where;
  }
}

// Each kind is written in its form over what the cell held and reads back; an infinite float is "#NUM!".
TEST_F(CellValues, EachKindIsWrittenInItsForm) {
  xlsx_set_shared_strings_mode(1);
  for (const auto& row : cases("written")) {
    load_cell(row[0], row[1]);
    set(1, 1, row[2]);
    EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"1\">" + row[3] + "</row></sheetData>") << row.where;
    EXPECT_EQ(value_at(1, 1), row[4]) << row.where;
  }
  XlsxCell a1 = cell(1, 1);
  XlsxCellValue infinite{};
  infinite.type = XLSX_VALUE_FLOAT, infinite.number = INFINITY;
  EXPECT_EQ(xlsx_cell_set_value(&a1, &infinite), XLSX_OK);
  EXPECT_TRUE(holds(sheet_data_xml(), "<c r=\"A1\" s=\"4\" t=\"e\"><f>B1</f><v>#NUM!</v></c>"));
}

// Texts are shared once each; clearing keeps style and formula; bad handles fail and clear a lent text.
TEST_F(CellValues, TextsAreSharedOnceOrInlineAndReplacingKeepsStyleAndFormula) {
  set(1, 1, "string:abc");
  set(2, 2, "string:abc");
  uint32_t count = xlsx_sst_count(&book_.sst);
  set(3, 3, "string:abc");
  EXPECT_EQ(xlsx_sst_count(&book_.sst), count);
  std::string index = std::to_string(xlsx_sst_find(&book_.sst, "abc"));
  EXPECT_TRUE(has(sheet_data_xml(), "<c r=\"B2\" t=\"s\"><v>" + index + "</v></c>"));
  EXPECT_EQ(value_at(2, 2), "string:abc");
  load_cell("s=\"4\" t=\"str\"", "<f>B1</f><v>x</v>");
  XlsxCell c = cell(1, 1), none = {};
  EXPECT_EQ(xlsx_cell_clear_value(&c), XLSX_OK);
  EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"1\"><c r=\"A1\" s=\"4\"><f>B1</f></c></row></sheetData>");
  Value v;
  EXPECT_EQ(xlsx_cell_get_value(&none, &v), XLSX_ERR_INTERNAL);
  EXPECT_EQ(xlsx_cell_set_value(&none, &v) + xlsx_cell_clear_value(nullptr), 2 * XLSX_ERR_INVALID_ARG);
  EXPECT_FALSE(xlsx_cell_has_formula(&none));
  for (auto [target, value] : std::vector<std::pair<XlsxCell*, XlsxCellValue*>>{{&none, &v}, {&c, nullptr}}) {
    const char* text = "stale";
    EXPECT_EQ(xlsx_cell_peek_value(target, value, &text), XLSX_ERR_INTERNAL);
    EXPECT_EQ(text, nullptr);
  }
  EXPECT_EQ(xlsx_cell_peek_value(&c, &v, nullptr), XLSX_ERR_INTERNAL);
}

// A formula is stored without a cached value or type; a value written later keeps it; null is empty.
TEST_F(Cells, FormulasAreStoredWithoutACachedValue) {
  load_cell("t=\"str\" s=\"1\"", "<v>x</v>");
  XlsxCell a1 = cell(1, 1);
  EXPECT_EQ(xlsx_cell_set_formula(&a1, "=SUM(C1:C3)"), XLSX_OK);
  EXPECT_EQ(formula_at(1, 1) + "|" + value_of(a1), "SUM(C1:C3)|empty:");
  set(1, 1, "integer:2");
  EXPECT_EQ(sheet_data_xml(), named("formula-and-value"));
  ASSERT_EQ(xlsx_cell_set_formula(&a1, nullptr), XLSX_OK);
  EXPECT_EQ(formula_at(1, 1), "");
}

// The references of the cells of the range walked, "," between them.
std::string walk(XlsxWorksheet* ws, const char* first, const char* last) {
  XlsxCellRef a, b;
  xlsx_cellref_set_text(&a, first);
  xlsx_cellref_set_text(&b, last);
  XlsxCellRange range;
  EXPECT_EQ(xlsx_range_init(ws, &a, &b, &range), XLSX_OK);
  XlsxCellIterator it;
  std::string refs;
  for (xlsx_iter_begin(&it, &range); !xlsx_iter_at_end(&it); xlsx_iter_next(&it)) {
    XlsxCell c = xlsx_iter_cell(&it);
    XlsxCellRef ref;
    EXPECT_EQ(xlsx_cell_ref(&c, &ref), XLSX_OK);
    refs += (refs.empty() ? "" : ",") + std::string(xlsx_cellref_text(&ref));
  }
  EXPECT_EQ(xlsx_iter_cell(&it).element, nullptr);
  return refs;
}

// Ranges are walked in reading order, reversed corners put in order, missing cells created.
TEST_F(Cells, RangesAreWalkedInReadingOrder) {
  set(2, 2, "integer:22");
  EXPECT_EQ(walk(&ws_, "A2", "B3"), "A2,B2,A3,B3");
  EXPECT_EQ(walk(&ws_, "C3", "B2"), "B2,C2,B3,C3");
  EXPECT_EQ(walk(&ws_, "B3", "C2"), "B2,C2,B3,C3");
  EXPECT_EQ(walk(&ws_, "D4", "D4"), "D4");
  EXPECT_EQ(value_at(2, 2), "integer:22");
  load_empty("");
  walk(&ws_, "A1", "B2");
  EXPECT_EQ(sheet_data_xml(), named("range-created"));
  XlsxCellRef a = {0, 1, "?"}, b = {2, 2, "B2"};
  XlsxCellRange range;
  EXPECT_EQ(xlsx_range_init(&ws_, &a, &b, &range), XLSX_ERR_INVALID_ARG);
  XlsxCellIterator it;
  EXPECT_EQ(xlsx_iter_begin(&it, nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_TRUE(xlsx_iter_at_end(&it));
}

// A saved sheet's `dimension` covers its cells (none: A1), is not added, and is left alone when right.
TEST_F(Cells, SavedSheetsDimensionSpansEveryCell) {
  auto dimension = [this] {
    EXPECT_EQ(xlsx_sheet_update_dimension(ws_.part), XLSX_OK);
    std::string xml = sheet_xml();
    size_t start = xml.find("<dimension");
    return start == std::string::npos ? "" : xml.substr(start, xml.find("/>", start) + 2 - start);
  };
  load_sheet(worksheet_with("<sheetData/>", "<dimension ref=\"C9\"/>"));
  EXPECT_EQ(dimension(), "<dimension ref=\"A1\"/>");
  set(3, 4, "integer:1");
  EXPECT_EQ(dimension(), "<dimension ref=\"D3\"/>");
  const uint32_t cells[][2] = {{2, 3}, {5, 2}, {4, 7}};
  for (const auto& rc : cells) set(rc[0], rc[1], "integer:1");
  EXPECT_EQ(dimension(), "<dimension ref=\"B2:G5\"/>");
  uint32_t generation = xlsx_part_load(ws_.part)->generation;
  EXPECT_EQ(dimension(), "<dimension ref=\"B2:G5\"/>");
  EXPECT_EQ(xlsx_part_load(ws_.part)->generation, generation);
  load_sheet(worksheet_with("<sheetData><row r=\"2\"><c r=\"B2\"><v>1</v></c></row></sheetData>"));
  EXPECT_EQ(dimension(), "");
}

// On random sheets (gaps, no `r`, disorder, other nodes), with cells removed behind the index now and then,
// every find and create gives the cell a walk through the row finds, and leaves rows and cells in order.
using Random = std::mt19937;
uint32_t pick(Random& random, uint32_t n) { return static_cast<uint32_t>(random() % n); }

std::string random_row(Random& random, uint32_t number, bool with_r, uint32_t* id) {
  std::vector<std::string> cells;
  char letters[4];
  for (uint32_t i = 0, column = 0, count = pick(random, 14); i < count; i++) {
    column += 1 + (pick(random, 3) == 0 ? pick(random, 40) : 0);
    std::string r = " r=\"" + std::string(xlsx_column_to_letters(column, letters)) + std::to_string(number) + "\"";
    cells.push_back("<c" + (pick(random, 10) == 0 ? "" : r) + "><v>" + std::to_string((*id)++) + "</v></c>");
  }
  if (cells.size() > 1 && pick(random, 6) == 0)
    std::swap(cells[0], cells[1 + pick(random, uint32_t(cells.size()) - 1)]);
  std::string text = with_r ? "<row r=\"" + std::to_string(number) + "\">" : "<row>";
  for (const std::string& c : cells) text += (pick(random, 4) == 0 ? "\n   " : "") + c;
  return text + (pick(random, 12) == 0 ? "<extLst/>" : "") + "</row>";
}

std::string random_sheet(Random& random, uint32_t* max_row) {
  std::vector<std::string> rows;
  uint32_t number = 0, id = 1;
  bool swap = pick(random, 4) == 0;
  for (uint32_t i = 0, count = 1 + pick(random, 30); i < count; i++) {
    bool with_r = swap || pick(random, 12) != 0;
    number += 1 + (with_r && pick(random, 3) == 0 ? pick(random, 5) : 0);
    rows.push_back(random_row(random, number, with_r, &id));
  }
  if (swap && rows.size() > 1)
    std::swap(rows[pick(random, uint32_t(rows.size()))], rows[pick(random, uint32_t(rows.size()))]);
  *max_row = number + 2;
  std::string data;
  for (const std::string& row : rows) data += (pick(random, 3) == 0 ? "\n " : "") + row;
  return worksheet_with("<sheetData>" + data + "</sheetData>");
}

class CellLookup : public SheetTest {
 protected:
  XmlNode* sheet_data() { return xml_node_child(xlsx_part_root(ws_.part), "sheetData"); }
  void expect_ordered() {
    uint32_t previous_row = 0;
    for (XmlNode* row = xml_node_first_element(sheet_data()); row; row = xml_node_next_element(row)) {
      ASSERT_GT(sheet_row_number(row), previous_row);
      previous_row = sheet_row_number(row);
      const XlsxRowEntry* entry = ws_.index ? sheet_index_find_row(ws_.index, previous_row) : nullptr;
      uint32_t previous_column = 0;
      for (XmlNode* x = xml_node_first_element(row); entry && entry->cells_checked && x; x = xml_node_next_element(x)) {
        if (!xml_node_is_element(x, "c")) continue;
        ASSERT_GE(sheet_cell_column(x), previous_column) << "row " << previous_row;
        previous_column = sheet_cell_column(x);
      }
    }
  }
  // One lookup, checked against a plain walk through every `c` of row r made right after it.
  void check(uint32_t r, uint32_t c, bool create) {
    XlsxCell found;
    xlsx_status status = create ? xlsx_sheet_cell(&ws_, r, c, &found) : xlsx_sheet_find_cell(&ws_, r, c, &found);
    std::vector<XmlNode*> walked;
    for (XmlNode* row = xml_node_first_element(sheet_data()); row; row = xml_node_next_element(row)) {
      if (!xml_node_is_element(row, "row") || sheet_row_number(row) != r) continue;
      for (XmlNode* x = xml_node_first_element(row); x; x = xml_node_next_element(x))
        if (xml_node_is_element(x, "c") && sheet_cell_column(x) == c) walked.push_back(x);
    }
    std::string where = (create ? "created " : "found ") + std::to_string(r) + "," + std::to_string(c);
    ASSERT_EQ(status, walked.empty() ? XLSX_ERR_NOT_FOUND : XLSX_OK) << where;
    ASSERT_TRUE(walked.empty() || std::find(walked.begin(), walked.end(), found.element) != walked.end()) << where;
  }
};

TEST_F(CellLookup, EveryFindAndCreateGivesTheCellAWalkOfTheRowFinds) {
  Random random(20261207);
  for (int sheet = 0; sheet < 60 && !HasFatalFailure(); sheet++) {
    SCOPED_TRACE("sheet " + std::to_string(sheet));
    uint32_t max_row = 0;
    load_sheet(random_sheet(random, &max_row));
    uint32_t top = 1 + pick(random, max_row), left = 1 + pick(random, 40);
    for (uint32_t r = top; r < top + 4 && !HasFatalFailure(); r++)
      for (uint32_t c = left; c < left + 30 && !HasFatalFailure(); c++) check(r, c, pick(random, 5) == 0);
    for (int i = 0; i < 300 && !HasFatalFailure(); i++) {
      check(1 + pick(random, max_row), 1 + (pick(random, 2) ? pick(random, 40) : pick(random, 160)),
            pick(random, 4) == 0);
      if (pick(random, 50) == 0) {  // a cell of some row goes behind the index
        XmlNode* row = xml_node_first_element(sheet_data());
        for (uint32_t k = pick(random, 8); k > 0 && xml_node_next_element(row); k--) row = xml_node_next_element(row);
        if (XmlNode* victim = sheet_last_cell(row)) xml_node_remove_child(row, victim);
      }
    }
    expect_ordered();
  }
}

using Texts = std::vector<std::string>;

// A table over a part whose stored text is xml, with its own array of texts; parsed first when asked.
class Table {
 public:
  explicit Table(const std::string& xml, bool parse_first = false) : text_(xml) {
    xlsx_part_init(&part_, nullptr, "xl/sharedStrings.xml", "", XLSX_CT_SHARED_STRINGS);
    auto load = [](void* self, const char*, uint32_t* size, xlsx_status* status) -> const char* {
      const std::string& text = static_cast<Table*>(self)->text_;
      return *status = XLSX_OK, *size = uint32_t(text.size()), text.data();
    };
    xlsx_part_set_loader(&part_, load, this);
    xlsx_part_set_release(&part_, [](void* context, const char*) { static_cast<Table*>(context)->releases_++; });
    dynarray_init(&strings_, sizeof(char*), nullptr);
    xlsx_sst_init(&table_, &part_, &strings_);
    if (parse_first) xlsx_part_load(&part_);
  }
  ~Table() {
    for (uint32_t i = 0; i < strings_.count; i++) xlsx_free(*static_cast<char**>(dynarray_get(&strings_, i)));
    dynarray_free(&strings_);
    xlsx_sst_release(&table_);
    xlsx_part_free(&part_);
  }
  Texts texts() {
    Texts out;
    for (uint32_t i = 0, n = xlsx_sst_count(&table_); i < n; i++) out.emplace_back(xlsx_sst_get(&table_, i));
    return out;
  }
  // Whether the texts were read without parsing the part.
  bool read_directly() const { return table_.loaded && !part_.loaded; }
  std::string text_;
  uint32_t releases_ = 0;
  XlsxSharedStrings table_{};
  XlsxPart part_{};
  DynArray strings_{};
};

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"9\" uniqueCount=\"9\">";

std::string table_of(const std::string& items) { return kHead + items + "</sst>"; }

// Each item form is read directly and gives the tree's texts; whole tables of other forms go to the tree.
TEST_F(SharedStrings, EveryKnownFormGivesTheTextsOfTheTree) {
  for (const auto& c : cases("items")) {
    Table direct(table_of(c[1])), tree(table_of(c[1]), true);
    Texts expected(c.fields.begin() + 2, c.fields.end());
    EXPECT_EQ(direct.texts(), expected) << c.where;
    EXPECT_TRUE(direct.read_directly()) << c.where;
    EXPECT_EQ(direct.releases_, 1u) << "the inflated text is dropped once read: " << c.where;
    EXPECT_EQ(tree.texts(), expected) << c.where;
  }
  for (const auto& c : cases("table")) {
    std::string xml = c[0];
    if (xml.find("HEAD") != std::string::npos) xml.replace(xml.find("HEAD"), 4, kHead);
    Table direct(xml), tree(xml, true);
    EXPECT_EQ(direct.texts(), tree.texts()) << c.where;
    EXPECT_TRUE(c[1] == "-" || direct.read_directly() == (c[1] == "1")) << c.where;
    EXPECT_TRUE(c.fields.size() < 3 || direct.texts().size() == std::stoul(c[2])) << c.where;
    EXPECT_TRUE(c.fields.size() < 4 || direct.texts() == Texts(c.fields.begin() + 3, c.fields.end())) << c.where;
  }
}

// Appends after a direct reading save the same bytes as after a tree reading; the counts follow, edge
// spaces are preserved, the empty text is a bare item; a file without `count` gets none.
TEST_F(SharedStrings, AppendsKeepTheXmlAndTheArrayInStep) {
  const std::string xml = table_of("<si><t>one</t></si><si><r><t>t</t></r><r><t>wo</t></r></si>");
  Table direct(xml), tree(xml, true);
  ASSERT_EQ(xlsx_sst_ensure_loaded(&direct.table_), XLSX_OK);
  EXPECT_TRUE(direct.read_directly());
  for (Table* table : {&direct, &tree}) {
    EXPECT_EQ(xlsx_sst_find_or_append(&table->table_, "two"), 1);
    EXPECT_EQ(xlsx_sst_find_or_append(&table->table_, " lead"), 2);
    int32_t index = 3;
    for (const char* text : {"trail ", "mid dle", "", static_cast<const char*>(nullptr)})
      EXPECT_EQ(xlsx_sst_append(&table->table_, text), index++);
    EXPECT_EQ(xlsx_sst_find(&table->table_, ""), 5);
  }
  EXPECT_EQ(direct.texts(), tree.texts());
  EXPECT_EQ(part_text(&direct.part_), part_text(&tree.part_));
  EXPECT_TRUE(has(part_text(&direct.part_), "count=\"7\" uniqueCount=\"7\""));
  EXPECT_TRUE(holds(part_text(&direct.part_), named("appended-texts")));
  Table no_count("<sst uniqueCount=\"1\"><si><t>x</t></si></sst>");
  ASSERT_EQ(xlsx_sst_append(&no_count.table_, "y"), 1);
  EXPECT_TRUE(has(part_text(&no_count.part_), "<sst uniqueCount=\"2\">"));
}

// Lookups find the first of duplicates and scale to many texts; a table without part or array refuses.
TEST_F(SharedStrings, LookupsFindTheFirstOfDuplicatesAndScaleToManyTexts) {
  Table dup(table_of("<si><t>a</t></si><si><t>dup</t></si><si><t>b</t></si><si><t>dup</t></si>"));
  EXPECT_EQ(xlsx_sst_find(&dup.table_, "dup"), 1);
  EXPECT_EQ(xlsx_sst_find(&dup.table_, "DUP") + xlsx_sst_find(&dup.table_, nullptr) + xlsx_sst_find(nullptr, "a"), -3);
  EXPECT_TRUE(xlsx_sst_contains(&dup.table_, "b") && !xlsx_sst_contains(&dup.table_, "c"));
  EXPECT_STREQ(xlsx_sst_get(&dup.table_, 4), "");
  EXPECT_STREQ(xlsx_sst_get(nullptr, 0), "");
  std::string items;
  Texts expected;
  for (int i = 0; i < 5000; i++) {
    std::string text = i % 7 == 0 ? "a &amp; " + std::to_string(i) : "name-" + std::to_string(i);
    items += i % 11 == 0 ? "<si><r><t>" + text + "</t></r></si>" : "<si><t>" + text + "</t></si>";
    expected.push_back(i % 7 == 0 ? "a & " + std::to_string(i) : text);
  }
  Table large(table_of(items));
  EXPECT_EQ(large.texts(), expected);
  EXPECT_TRUE(large.read_directly());
  for (int i = 5000; i < 6000; i++)
    ASSERT_EQ(xlsx_sst_find_or_append(&large.table_, ("t-" + std::to_string(i)).c_str()), i);
  for (int i = 0; i < 6000; i += 7)
    ASSERT_EQ(xlsx_sst_find(&large.table_, (i < 5000 ? expected[i] : "t-" + std::to_string(i)).c_str()), i);
  XlsxSharedStrings none;
  xlsx_sst_init(&none, nullptr, nullptr);
  EXPECT_EQ(xlsx_sst_append(&none, "x") + xlsx_sst_find(&none, "x"), -2) << "a table without part or array";
  EXPECT_EQ(xlsx_sst_count(&none), 0u);
  xlsx_sst_release(&none);
  EXPECT_EQ(xlsx_sst_ensure_loaded(nullptr), XLSX_ERR_INVALID_ARG);
}

// A reading that runs out of memory leaves the table empty and readable; a failed append changes nothing.
TEST_F(SharedStrings, RunningOutOfMemoryChangesNothing) {
  const std::string xml =
      table_of("<si><t>a</t></si><si><r><t>b</t></r><r><t>&amp;c</t></r></si><si><t>d\r\n</t></si>");
  for (uint32_t fail_at = 1, parsed = 0; parsed < 2; fail_at++) {  // read directly, then from the tree
    ASSERT_LT(fail_at, 200u) << "the reading never completed";
    Table table(xml, parsed);
    xlsx_test::FaultAllocation fault(fail_at);
    xlsx_status status = xlsx_sst_ensure_loaded(&table.table_);
    bool failed = fault.failures() > 0;
    fault.fail_after(1, true);  // a reader that cannot load the table reads ""
    EXPECT_TRUE(!failed || *xlsx_sst_get(&table.table_, 0) == 0);
    fault.fail_after(0);
    EXPECT_TRUE(!failed || (status == XLSX_ERR_NO_MEMORY && table.strings_.count == 0 && !table.table_.loaded));
    EXPECT_EQ(table.texts(), (Texts{"a", "b&c", "d\n"}));
    if (!failed) fail_at = 0, parsed++;
  }
  // Appends to a table read directly, and to a parsed one with its free slots and text arena used up to
  // each of several levels (a page or a chunk runs out at each step, the second count among them).
  std::string items;
  for (int i = 0; i < 12; i++) items += "<si><t>" + std::to_string(i) + "</t></si>";
  for (int32_t room = -16; room <= 64; room += 8) {
    for (uint32_t n = 1;; n++) {  // a fresh table each time: what a failed run leaves allocated stays
      Table table(table_of(items), room > -16);
      if (room >= 0) use_up(xlsx_part_root(&table.part_), room);
      xlsx_sst_find(&table.table_, "a");  // read and indexed outside the failing run
      const std::string before = part_text(&table.part_);
      xlsx_test::FaultAllocation fault(n);
      int32_t index = xlsx_sst_append(&table.table_, " spaced text ");
      bool failed = fault.failures() > 0;
      fault.fail_after(0);
      if (!failed) {
        EXPECT_STREQ(xlsx_sst_get(&table.table_, uint32_t(index)), " spaced text ");
        break;
      }
      EXPECT_EQ(index, -1);
      EXPECT_EQ(xlsx_sst_count(&table.table_), 12u);
      EXPECT_EQ(part_text(&table.part_), before) << room << ", allocation " << n;
    }
  }
}

// The sheet names in order, joined by ",".
std::string names(XlsxWorkbook* wb) {
  std::string result;
  for (uint32_t i = 1; i <= xlsx_workbook_sheet_count(wb); i++)
    result += (i > 1 ? "," : "") + std::string(xlsx_workbook_sheet_name_at(wb, i));
  return result;
}

std::string rid(XlsxWorkbook* wb, const char* name) { return xlsx_workbook_sheet_rid(wb, name); }

// Names applications refuse are refused, compared whatever the case, quoted when they read as references.
TEST(SheetNameRules, NamesApplicationsRefuseAreRefusedAndReferenceLikeNamesQuoted) {
  for (const auto& c : cases("sheet-name")) EXPECT_EQ(xlsx_sheet_name_is_valid(c[0].c_str()), c[1] == "1") << c.where;
  for (const auto& c : cases("same-name"))
    EXPECT_EQ(xlsx_sheet_names_equal(c[0].c_str(), c[1].c_str()), c[2] == "1") << c.where;
  char prefix[64];
  for (const auto& c : cases("prefix")) {
    uint32_t size = c.fields.size() > 2 ? std::stoul(c[2]) : sizeof prefix;
    EXPECT_STREQ(xlsx_sheet_ref_prefix(c[0].c_str(), prefix, size), c[1].c_str()) << c.where;
  }
  EXPECT_FALSE(xlsx_sheet_name_is_valid(nullptr) || xlsx_sheet_names_equal(nullptr, "a") ||
               xlsx_sheet_names_equal("a", nullptr) || xlsx_sheet_ref_prefix("a", nullptr, 9));
  EXPECT_STREQ(xlsx_sheet_ref_prefix(nullptr, prefix, sizeof prefix), "");
  EXPECT_TRUE(xlsx_sheet_ref_prefix("a", prefix, 0) == prefix && !*prefix) << "no room: the buffer is left alone";
}

class ThreeSheets : public SheetTest {
 protected:
  void SetUp() override {
    SheetTest::SetUp();
    ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "Two") + xlsx_workbook_add_sheet(wb_, "Three"), XLSX_OK);
  }
  // Replaces definedNames and bookViews of the workbook, keeping its sheets; indented when asked.
  void with_names_and_view(const std::string& defined, const std::string& view, const char* indent = "") {
    std::string xml = workbook_xml();
    size_t sheets = xml.find("<sheets>"), sheets_end = xml.find("</sheets>") + 9;
    load_workbook(part_with("workbook", indent + ("<bookViews>" + view + "</bookViews>") + indent +
                                            xml.substr(sheets, sheets_end - sheets) + indent + "<definedNames>" +
                                            defined + "</definedNames>"));
  }
  const std::string local_names = named("local-names");
};

// An addition registers the sheet in every record and lookups follow it; a refused name or a taken part name
// changes nothing; a sheet list of other elements holds no sheets and takes additions, a missing one refuses.
TEST_F(Workbook, AddingASheetRegistersEveryRecord) {
  XlsxWorksheet ws;
  EXPECT_EQ(xlsx_workbook_worksheet_at(wb_, 2, &ws), XLSX_ERR_NOT_FOUND);
  std::string before = part_xml("[Content_Types].xml") + workbook_xml();
  for (const char* name :
       {"Sheet1", "SHEET1", static_cast<const char*>(nullptr), "", "a/b", "1234567890123456789012345678901x"})
    EXPECT_EQ(xlsx_workbook_add_sheet(wb_, name), XLSX_ERR_INVALID_ARG) << (name ? name : "null");
  EXPECT_EQ(part_xml("[Content_Types].xml") + workbook_xml(), before);
  ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "Sales"), XLSX_OK);
  EXPECT_EQ(names(wb_), "Sheet1,Sales");
  EXPECT_TRUE(has(workbook_xml(), "<sheet name=\"Sales\" sheetId=\"2\" r:id=\"rId5\"/>"));
  EXPECT_TRUE(has(part_xml("xl/_rels/workbook.xml.rels"), "Id=\"rId5\""));
  EXPECT_TRUE(has(part_xml("[Content_Types].xml"), "/xl/worksheets/sheet2.xml"));
  EXPECT_TRUE(has(part_xml("docProps/app.xml"), "<vt:lpstr>Sales</vt:lpstr>"));
  XlsxWorksheet sales;
  ASSERT_EQ(xlsx_workbook_worksheet(wb_, "Sales", &sales), XLSX_OK);
  EXPECT_STREQ(xlsx_part_path(sales.part), "xl/worksheets/sheet2.xml");
  ASSERT_EQ(xlsx_workbook_worksheet_at(wb_, 2, &ws), XLSX_OK);
  EXPECT_EQ(ws.part, sales.part);
  EXPECT_EQ(xlsx_workbook_worksheet_at(wb_, 3, &ws), XLSX_ERR_NOT_FOUND);
  EXPECT_EQ(xlsx_workbook_worksheet_count(wb_) + xlsx_worksheet_index(&sales), 4u);
  EXPECT_STREQ(xlsx_worksheet_name(&sales), "Sales");
  xlsx_archive_put_entry(xlsx_package_archive(pkg_), "xl/worksheets/sheet3.xml", "x", 1);
  ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "New"), XLSX_OK);
  ASSERT_EQ(xlsx_workbook_worksheet(wb_, "New", &ws), XLSX_OK);
  EXPECT_STREQ(xlsx_part_path(ws.part), "xl/worksheets/sheet4.xml");
  DynArray list;
  dynarray_init(&list, sizeof(char*), nullptr);
  ASSERT_EQ(xlsx_workbook_sheet_names(wb_, &list), XLSX_OK);
  ASSERT_EQ(list.count, 3u);
  EXPECT_STREQ(*static_cast<char**>(dynarray_get(&list, 2)), "New");
  for (uint32_t i = 0; i < list.count; i++) xlsx_free(*static_cast<char**>(dynarray_get(&list, i)));
  dynarray_free(&list);
  EXPECT_EQ(xlsx_workbook_sheet_index(wb_, "New") * 10 + xlsx_workbook_sheet_index(wb_, "new"), 30u);
  EXPECT_TRUE(xlsx_workbook_sheet_exists(wb_, "New") && !xlsx_workbook_sheet_exists(wb_, "None"));
  ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "\xC3\xA4"), XLSX_OK);
  EXPECT_EQ(xlsx_workbook_add_sheet(wb_, "\xC3\x84"), XLSX_ERR_INVALID_ARG) << "taken whatever the case";
  EXPECT_EQ(xlsx_workbook_rename_sheet(wb_, rid(wb_, "Sheet1").c_str(), "\xC3\x84"), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_workbook_rename_sheet(wb_, rid(wb_, "Sheet1").c_str(), "SHEET1"), XLSX_OK)
      << "its own, in another case";
  load_workbook(part_with("workbook", ""));
  EXPECT_EQ(xlsx_workbook_sheet_count(wb_), 0u);
  EXPECT_EQ(xlsx_workbook_add_sheet(wb_, "Costs"), XLSX_ERR_INTERNAL);
  EXPECT_EQ(workbook_xml().find("<sheet"), std::string::npos);
  load_workbook(part_with("workbook", "<sheets> <other sheetId=\"7\"/></sheets>"));
  EXPECT_EQ(xlsx_workbook_sheet_count(wb_), 0u) << "only sheet elements are sheets";
  ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "Sales"), XLSX_OK);
  EXPECT_EQ(names(wb_), "Sales");
  EXPECT_TRUE(holds(workbook_xml(), "<sheets> <other sheetId=\"7\"/><sheet name=\"Sales\" sheetId=\"8\""));
}

// Deleting drops the sheet's part and records, keeps ids unused and sheet-local names and the active tab
// in step; the only worksheet and the last visible sheet stay.
TEST_F(ThreeSheets, DeletingKeepsIdsNamesAndTheActiveTabInStep) {
  with_names_and_view(local_names, "<workbookView activeTab=\"2\" firstSheet=\"2\"/>");
  ASSERT_EQ(xlsx_workbook_delete_sheet(wb_, "Two"), XLSX_OK);
  EXPECT_EQ(names(wb_), "Sheet1,Three");
  EXPECT_EQ(xlsx_package_find_part(pkg_, "xl/worksheets/sheet2.xml"), nullptr);
  EXPECT_FALSE(has(part_xml("[Content_Types].xml"), "sheet2.xml") || has(part_xml("docProps/app.xml"), ">Two<"));
  EXPECT_EQ(xlsx_workbook_next_sheet_id(wb_), 4u) << "deleted ids are not reused";
  EXPECT_EQ(xlsx_workbook_delete_sheet(wb_, "Two"), XLSX_ERR_NOT_FOUND);
  std::string xml = workbook_xml();
  EXPECT_FALSE(has(xml, "name=\"b\"")) << xml;
  EXPECT_TRUE(has(xml, "name=\"c\" localSheetId=\"1\"") && has(xml, "activeTab=\"1\" firstSheet=\"1\"")) << xml;
  ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "Four"), XLSX_OK);
  ASSERT_EQ(xlsx_workbook_set_sheet_state(wb_, rid(wb_, "Four").c_str(), "hidden"), XLSX_OK);
  ASSERT_EQ(xlsx_workbook_delete_sheet(wb_, "Three"), XLSX_OK);
  EXPECT_TRUE(xlsx_workbook_is_active(wb_, rid(wb_, "Sheet1").c_str())) << "the active sheet went: a visible one is";
  EXPECT_EQ(xlsx_workbook_set_sheet_state(wb_, rid(wb_, "Sheet1").c_str(), "hidden"), XLSX_ERR_INVALID_ARG);
  EXPECT_STREQ(xlsx_workbook_sheet_state(wb_, rid(wb_, "Sheet1").c_str()), "");
  ASSERT_EQ(xlsx_workbook_delete_sheet(wb_, "Four"), XLSX_OK);
  EXPECT_EQ(xlsx_workbook_delete_sheet(wb_, "Sheet1"), XLSX_ERR_INVALID_ARG);
}

// Moves reorder the list (0 and beyond the end: to the ends); local names and the active tab follow.
TEST_F(ThreeSheets, MovingKeepsLocalNamesWithTheirSheets) {
  with_names_and_view(local_names + "<definedName name=\"g\">Two!$B$2</definedName>", "<workbookView activeTab=\"1\"/>",
                      "\n  ");
  ASSERT_EQ(xlsx_workbook_move_sheet(wb_, "Three", 1), XLSX_OK);
  std::string xml = workbook_xml();
  for (const char* part : {"name=\"a\" localSheetId=\"1\"", "name=\"b\" localSheetId=\"2\"",
                           "name=\"c\" localSheetId=\"0\"", "<definedName name=\"g\">"})
    EXPECT_TRUE(holds(xml, part));
  EXPECT_TRUE(xlsx_workbook_is_active(wb_, rid(wb_, "Two").c_str()));
  const std::tuple<const char*, uint32_t, const char*> moves[] = {
      {"Sheet1", 3, "Three,Two,Sheet1"}, {"Three", 5, "Two,Sheet1,Three"}, {"Three", 0, "Three,Two,Sheet1"}};
  for (auto [name, position, order] : moves) {
    ASSERT_EQ(xlsx_workbook_move_sheet(wb_, name, position), XLSX_OK) << name;
    EXPECT_EQ(names(wb_), order) << name << " to " << position;
  }
  EXPECT_EQ(xlsx_workbook_move_sheet(wb_, "None", 1), XLSX_ERR_NOT_FOUND);
  EXPECT_EQ(xlsx_workbook_sheet_count(wb_), 3u) << "an indented workbook counts only its sheets";
}

// Renaming rewrites the sheet's references, not other books'; hiding moves the active tab away for good.
TEST_F(ThreeSheets, RenamingRewritesReferencesAndHidingMovesTheActiveTab) {
  with_names_and_view(named("sheet-references"), "<workbookView/>");
  ASSERT_EQ(xlsx_workbook_rename_sheet(wb_, rid(wb_, "Sheet1").c_str(), "My Data"), XLSX_OK);
  ASSERT_EQ(xlsx_workbook_rename_sheet(wb_, rid(wb_, "Two").c_str(), "R1C1"), XLSX_OK);
  std::string xml = workbook_xml();
  for (const char* part : {">'My Data'!$A$1<", ">[1]Sheet1!$A$1<", ">MySheet1!$A$1+'My Data'!B2<", ">'R1C1'!$A$1<"})
    EXPECT_TRUE(holds(xml, part));
  EXPECT_TRUE(has(part_xml("docProps/app.xml"), "<vt:lpstr>My Data</vt:lpstr>"));
  EXPECT_EQ(xlsx_workbook_rename_sheet(wb_, rid(wb_, "R1C1").c_str(), "THREE"), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_workbook_rename_sheet(wb_, "rId99", "X"), XLSX_ERR_NOT_FOUND);
  xlsx_workbook_set_active(wb_, rid(wb_, "R1C1").c_str());
  EXPECT_TRUE(has(workbook_xml(), "activeTab=\"1\""));
  ASSERT_EQ(xlsx_workbook_set_sheet_state(wb_, rid(wb_, "R1C1").c_str(), "hidden"), XLSX_OK);
  EXPECT_TRUE(xlsx_workbook_is_active(wb_, rid(wb_, "Three").c_str()));
  xlsx_workbook_set_active(wb_, rid(wb_, "R1C1").c_str());  // hidden: no change
  EXPECT_TRUE(xlsx_workbook_is_active(wb_, rid(wb_, "Three").c_str()));
  xlsx_workbook_set_active(wb_, rid(wb_, "My Data").c_str());
  EXPECT_FALSE(has(workbook_xml(), "activeTab"));
  EXPECT_EQ(xlsx_workbook_set_sheet_state(wb_, rid(wb_, "R1C1").c_str(), "bogus"), XLSX_ERR_INVALID_ARG);
  ASSERT_EQ(xlsx_workbook_set_sheet_state(wb_, rid(wb_, "R1C1").c_str(), "veryHidden"), XLSX_OK);
  EXPECT_STREQ(xlsx_workbook_sheet_state(wb_, rid(wb_, "R1C1").c_str()), "veryHidden");
}

// A lookup splits its column out of a range; a missing column gets the default width; disorder is kept.
TEST_F(Workbook, ColumnsAreSplitMadeAndFound) {
  load_empty(named("ranged-columns"));
  ASSERT_EQ(xlsx_workbook_worksheet(wb_, "Sheet1", &ws_), XLSX_OK);
  EXPECT_TRUE(sheet_has(named("ranged-columns"))) << "ranges stay ranges until a column of them changes";
  XlsxColumn c{};
  auto column = [&](uint32_t k) { return xlsx_sheet_column(&ws_, k, &c) == XLSX_OK ? xlsx_column_width(&c) : -1; };
  ASSERT_EQ(column(3), 20.0f);
  EXPECT_EQ(xlsx_column_set_width(&c, 12.5f), XLSX_OK);
  EXPECT_FLOAT_EQ(xlsx_column_width(&c), 12.5f);
  EXPECT_TRUE(sheet_has("<col min=\"3\" max=\"3\" width=\"12.5\" style=\"1\" customWidth=\"1\"/>"));
  EXPECT_FLOAT_EQ(column(16384), 3.0f);
  load_empty("<cols><col min=\"5\" max=\"5\" width=\"5\"/><col min=\"2\" max=\"2\" width=\"2\"/></cols>");
  EXPECT_FLOAT_EQ(column(2), 2.0f);
  EXPECT_FLOAT_EQ(column(3), 9.8f);
  EXPECT_FALSE(xlsx_column_is_hidden(&c));
  EXPECT_EQ(xlsx_column_set_hidden(&c, 1), XLSX_OK);
  EXPECT_TRUE(xlsx_column_is_hidden(&c) && sheet_has("<col min=\"5\" max=\"5\" width=\"5\"/>"));
  EXPECT_EQ(xlsx_sheet_column(&ws_, 0, &c) + xlsx_sheet_column(&ws_, 16385, &c), 2 * XLSX_ERR_INVALID_ARG);
}

// Row height and hiding; selecting adds the attribute or the view it needs; the tab colour's byte order.
TEST_F(Workbook, RowAttributesSheetViewAndTabColour) {
  XlsxRow r4, r6, none = {};
  ASSERT_EQ(xlsx_sheet_row(&ws_, 4, &r4) + xlsx_sheet_row(&ws_, 6, &r6), XLSX_OK);
  EXPECT_DOUBLE_EQ(xlsx_row_height(&r6), 15.0);
  EXPECT_EQ(xlsx_row_set_hidden(&r4, 1) + xlsx_row_set_height(&r6, 20.0f), XLSX_OK);
  EXPECT_TRUE(xlsx_row_is_hidden(&r4) && xlsx_row_height(&r6) == 20.0);
  EXPECT_EQ(sheet_data_xml(), named("row-attributes"));
  EXPECT_EQ(xlsx_row_set_height(&none, 1.0f), XLSX_ERR_INVALID_ARG);
  EXPECT_FALSE(xlsx_row_is_hidden(&none));
  auto select = [this](int on) { EXPECT_EQ(xlsx_sheet_set_selected(&ws_, on), XLSX_OK) << on; return sheet_xml(); };
  load_empty("<dimension ref=\"A1\"/><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>");
  EXPECT_FALSE(xlsx_sheet_is_selected(&ws_));
  EXPECT_TRUE(holds(select(1), "<sheetView workbookViewId=\"0\" tabSelected=\"1\"/>"));
  select(0);
  EXPECT_FALSE(xlsx_sheet_is_selected(&ws_));
  load_empty("\n <sheetViews>\n  <sheetView tabSelected=\"1\" workbookViewId=\"0\"/>\n </sheetViews>\n");
  EXPECT_TRUE(xlsx_sheet_is_selected(&ws_));
  load_empty("<dimension ref=\"A1\"/>");
  EXPECT_EQ(select(0).find("sheetViews"), std::string::npos);
  EXPECT_TRUE(
      holds(select(1), "<dimension ref=\"A1\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"/>"));
  XlsxColor color;
  ASSERT_EQ(xlsx_sheet_tab_color(&ws_, &color), XLSX_OK);
  EXPECT_EQ(color.alpha * 1000 + color.red + color.green + color.blue, 255000);
  load_empty("<sheetPr codeName=\"X\"><pageSetUpPr fitToPage=\"1\"/></sheetPr>");
  XlsxColor orange = {255, 255, 128, 0};
  ASSERT_EQ(xlsx_sheet_set_tab_color(&ws_, &orange), XLSX_OK);
  EXPECT_TRUE(sheet_has("<sheetPr codeName=\"X\"><tabColor rgb=\"ffff8000\"/><pageSetUpPr"));
  load_empty("<sheetPr><tabColor theme=\"4\" tint=\"0.5\" rgb=\"FF00B050\"/></sheetPr>");
  ASSERT_EQ(xlsx_sheet_tab_color(&ws_, &color), XLSX_OK);
  EXPECT_TRUE(color.alpha == 255 && color.red == 0 && color.green == 176 && color.blue == 80);
  ASSERT_EQ(xlsx_sheet_set_tab_color(&ws_, nullptr), XLSX_OK);
  EXPECT_TRUE(sheet_has("<sheetPr><tabColor rgb=\"ff000000\"/></sheetPr>"));
  EXPECT_EQ(xlsx_color_from_text("00B050", &color), XLSX_OK);
  EXPECT_EQ(color.alpha, 255);
  EXPECT_EQ(xlsx_color_from_text("12345", &color) + xlsx_color_from_text("zz000000", &color), 2 * XLSX_ERR_INVALID_ARG);
}

// Adding a sheet, or splitting a column on a sheet not yet edited, out of memory: everything stays as it was.
TEST_F(Workbook, EditsUnderAllocationFailureLeaveEverythingAsItWas) {
  std::string rels = part_xml("xl/_rels/workbook.xml.rels") + part_xml("[Content_Types].xml");
  xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
    xlsx_status status = xlsx_workbook_add_sheet(wb_, "Extra");
    fault.fail_after(0);
    EXPECT_EQ(status == XLSX_OK, fault.failures() == 0u) << "added although an allocation failed, or failed without";
    if (status == XLSX_OK) return;
    EXPECT_EQ(xlsx_workbook_sheet_count(wb_), 1u);
    EXPECT_EQ(part_xml("xl/_rels/workbook.xml.rels") + part_xml("[Content_Types].xml"), rels);
    EXPECT_FALSE(xlsx_archive_has_entry(xlsx_package_archive(pkg_), "xl/worksheets/sheet2.xml"));
  });
  EXPECT_EQ(xlsx_workbook_sheet_count(wb_), 2u);
  // A column split out of a range on a sheet edited for the first time: the split allocates the journal.
  ASSERT_EQ(xlsx_workbook_worksheet(wb_, "Extra", &ws_), XLSX_OK);
  load_empty("<cols><col min=\"1\" max=\"6\" width=\"7\"/></cols>");
  const std::string before = sheet_xml();
  for_each_allocation_failure([&](FaultAllocation& fault) {
    XlsxColumn c;
    xlsx_status status = xlsx_sheet_column(&ws_, 4, &c);
    fault.fail_after(0);
    EXPECT_TRUE(status == XLSX_OK || sheet_xml() == before);
  });
}

const char kRels[] = "xl/worksheets/_rels/sheet1.xml.rels";

XlsxCellArea area(const char* text) {
  XlsxCellArea a{};
  EXPECT_TRUE(xlsx_area_read(text, &a)) << text;
  return a;
}

// Merges refuse overlaps and single cells; any cell of a merge unmerges it; a file's count is kept up.
TEST_F(Layout, MergedAreasRefuseOverlapsAndUnmergeByAnyCell) {
  load_sheet(worksheet_with("<sheetData/><mergeCells count=\"1\">\n  <mergeCell ref=\"E5:F6\"/>\n</mergeCells>"));
  EXPECT_EQ(xlsx_sheet_merged_count(&ws_), 1u);
  for (const auto& c : cases("merge")) {
    XlsxCellArea a = area(c[0].c_str());
    EXPECT_EQ(xlsx_sheet_merge(&ws_, &a), c[1] == "1" ? XLSX_OK : XLSX_ERR_INVALID_ARG) << c.where;
  }
  EXPECT_EQ(xlsx_sheet_merged_count(&ws_), 3u);
  EXPECT_STREQ(xlsx_sheet_merged_ref(&ws_, 2), "A1:C1");
  EXPECT_STREQ(xlsx_sheet_merged_ref(&ws_, 4), "");
  EXPECT_TRUE(sheet_has("<mergeCells count=\"3\">"));
  XlsxCellArea b4 = area("B4"), all = area("A1:Z99");
  EXPECT_EQ(xlsx_sheet_unmerge(&ws_, &b4), XLSX_OK);
  EXPECT_EQ(xlsx_sheet_merged_count(&ws_), 2u);
  EXPECT_EQ(xlsx_sheet_unmerge(&ws_, &all), XLSX_OK);
  EXPECT_FALSE(has(sheet_xml(), "mergeCell"));
}

// Frozen panes are written with the pane and selections applications write; other writers' splits read.
TEST_F(Layout, FrozenPanesWrittenAsApplicationsWriteThem) {
  auto view = [this](const std::string& v) {
    load_empty("<sheetViews><sheetView workbookViewId=\"0\">" + v + "</sheetView></sheetViews>"); };
  auto frozen = [this] {
    uint32_t columns = 9, rows = 9;
    xlsx_sheet_frozen(&ws_, &columns, &rows);
    return std::to_string(columns) + "," + std::to_string(rows);
  };
  for (const auto& c : cases("freeze")) {
    view("<selection activeCell=\"C3\" sqref=\"C3\"/>");
    ASSERT_EQ(xlsx_sheet_freeze(&ws_, std::stoul(c[0]), std::stoul(c[1])), XLSX_OK) << c.where;
    EXPECT_TRUE(sheet_has("<sheetView workbookViewId=\"0\">" + c[2] + "</sheetView>")) << c.where;
    EXPECT_EQ(frozen(), c[0] + "," + c[1]) << c.where;
    ASSERT_EQ(xlsx_sheet_freeze(&ws_, 0, 0), XLSX_OK);
    EXPECT_TRUE(sheet_has("<sheetView workbookViewId=\"0\"/>")) << c.where;
  }
  EXPECT_EQ(xlsx_sheet_freeze(&ws_, XLSX_CELLREF_MAX_COLUMN, 0), XLSX_ERR_INVALID_ARG);
  for (const auto& c : cases("frozen")) {
    view(c[0]);
    EXPECT_EQ(frozen(), c[1]) << c.where;
  }
}

// The filter's hidden defined name names its sheet's area and goes with the filter.
TEST_F(Layout, FilterNameGoesWithTheFilter) {
  ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "My Data"), XLSX_OK);
  XlsxWorksheet data{};
  ASSERT_EQ(xlsx_workbook_worksheet(wb_, "My Data", &data), XLSX_OK);
  XlsxCellArea first = area("A1:C5"), second = area("A1:D9");
  ASSERT_EQ(xlsx_sheet_set_autofilter(&data, &first), XLSX_OK);
  ASSERT_EQ(xlsx_sheet_set_autofilter(&data, &second), XLSX_OK);
  EXPECT_STREQ(xlsx_sheet_autofilter_ref(&data), "A1:D9");
  EXPECT_TRUE(holds(workbook_xml(), named("filter-name")));
  ASSERT_EQ(xlsx_sheet_clear_autofilter(&data), XLSX_OK);
  EXPECT_FALSE(has(workbook_xml(), "definedName") || has(part_xml("xl/worksheets/sheet2.xml"), "autoFilter"));
}

// Links to addresses get a relationship, links into the book a location; replacing or clearing drops it.
TEST_F(Layout, HyperlinksAndTheirRelationships) {
  ASSERT_EQ(xlsx_sheet_set_hyperlink(&ws_, 1, 1, "https://example.com/a?b=1&c=2", "Open it"), XLSX_OK);
  ASSERT_EQ(xlsx_sheet_set_hyperlink(&ws_, 2, 1, "#Sheet2!B3", nullptr), XLSX_OK);
  EXPECT_EQ(xlsx_sheet_set_hyperlink(&ws_, 3, 1, "", nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_TRUE(sheet_has(named("hyperlinks")));
  EXPECT_TRUE(holds(part_xml(kRels), named("link-relationship")));
  XlsxHyperlink link{};
  ASSERT_TRUE(xlsx_sheet_hyperlink(&ws_, 1, 1, &link));
  EXPECT_EQ(std::string(link.target) + "|" + link.tooltip, "https://example.com/a?b=1&c=2|Open it");
  ASSERT_TRUE(xlsx_sheet_hyperlink(&ws_, 2, 1, &link));
  EXPECT_STREQ(link.location, "Sheet2!B3");
  EXPECT_FALSE(xlsx_sheet_hyperlink(&ws_, 9, 9, &link));
  ASSERT_EQ(xlsx_sheet_set_hyperlink(&ws_, 1, 1, "mailto:a@example.com", nullptr), XLSX_OK);
  EXPECT_FALSE(has(part_xml(kRels), "example.com/a"));
  EXPECT_TRUE(has(part_xml(kRels), "Target=\"mailto:a@example.com\""));
  ASSERT_EQ(xlsx_sheet_clear_hyperlink(&ws_, 1, 1) + xlsx_sheet_clear_hyperlink(&ws_, 2, 1), XLSX_OK);
  EXPECT_FALSE(has(sheet_xml(), "hyperlink") || has(part_xml(kRels), "<Relationship "));
}

// An edit of the failure table on a worksheet holding extra before sheetData, a text the sheet holds once
// the edit is made, and the largest arena room it is tried with (-8: free slots and arena left alone).
struct SheetEdit {
  std::string extra, holds;
  std::function<xlsx_status(XlsxWorksheet*)> apply;
  int32_t top_room = -8;
};

// Each edit out of memory, also with the sheet's slots and arena used up, changes no part; with memory it holds.
TEST_F(Layout, EditsThatRunOutOfMemoryChangeNothing) {
  auto column = [](uint32_t k) { return [k](XlsxWorksheet* s) { XlsxColumn c; return xlsx_sheet_column(s, k, &c); }; };
  const SheetEdit edits[] = {
      {"<sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>",
       "<sheetView workbookViewId=\"0\" tabSelected=\"0\"/>",
       [](XlsxWorksheet* s) { return xlsx_sheet_set_selected(s, 0); }, 56},
      {"<cols><col min=\"1\" max=\"6\" width=\"7\"/></cols>", named("column-4-split"), column(4), 56},
      {"<cols><col min=\"2\" max=\"2\" width=\"2\"/></cols>", named("column-5-made"), column(5), 56},
      {"", "", [](XlsxWorksheet* s) { XlsxCellArea a{1, 1, 1, 3}; return xlsx_sheet_merge(s, &a); }, 8},
      {"", "", [](XlsxWorksheet* s) { return xlsx_sheet_freeze(s, 0, 1); }},
      {"", "", [](XlsxWorksheet* s) { XlsxCellArea a{1, 1, 9, 3}; return xlsx_sheet_set_autofilter(s, &a); }},
      {"", "", [](XlsxWorksheet* s) { XlsxColor c{255, 1, 2, 3}; return xlsx_sheet_set_tab_color(s, &c); }},
      {"", "", [](XlsxWorksheet* s) { return xlsx_sheet_set_hyperlink(s, 2, 2, "https://example.com", "tip"); }},
  };
  uint32_t failed_runs = 0;
  for (const SheetEdit& edit : edits) {
    for (int32_t room = -8; room <= edit.top_room; room += 16) {
      load_empty("<dimension ref=\"A1\"/>" + edit.extra);
      use_up(xlsx_part_root(ws_.part), room);
      std::string sheet = sheet_xml(), book = workbook_xml();
      bool rels_before = xlsx_archive_has_entry(xlsx_package_archive(pkg_), kRels);
      std::string rels = rels_before ? part_xml(kRels) : "";
      xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
        xlsx_status status = edit.apply(&ws_);
        bool failed = fault.failures() > 0;
        fault.fail_after(0);
        EXPECT_FALSE(status == XLSX_OK && failed) << "success although an allocation failed: " << edit.extra << room;
        if (status == XLSX_OK) return;
        failed_runs++;
        EXPECT_EQ(sheet_xml(), sheet) << edit.extra << room;
        EXPECT_EQ(workbook_xml(), book);
        EXPECT_EQ(xlsx_archive_has_entry(xlsx_package_archive(pkg_), kRels), rels_before);
        EXPECT_TRUE(!rels_before || part_xml(kRels) == rels);
      });
      EXPECT_TRUE(sheet_has(edit.holds));
    }
  }
  EXPECT_GT(failed_runs, 5u);
}

// Each cell of a shared group reads its own formula; changing one leaves the others theirs, ungrouped.
TEST_F(SharedFormulas, ChangingTheFirstCellLeavesTheOthersTheirFormulas) {
  auto all = [this] {  // the formulas of B1:B4, A6:C6 and D1:D2
    const uint32_t cells[][2] = {{1, 2}, {2, 2}, {3, 2}, {4, 2}, {6, 1}, {6, 2}, {6, 3}, {1, 4}, {2, 4}};
    std::string out;
    for (const auto& rc : cells) out += formula_at(rc[0], rc[1]) + "|";
    return out;
  };
  load_sheet(worksheet_with(cases("groups")[0][0]));
  EXPECT_EQ(all(), "A1*2+$A$1|A2*2+$A$1|A3*2+$A$1|A4*2+$A$1|SUM(A1:A$5)&\"A1\"|SUM(B1:B$5)&\"A1\"|"
                   "SUM(C1:C$5)&\"A1\"|A1:A2*10|<none>|");
  EXPECT_EQ(formula_at(4, 3) + "|" + value_at(3, 2), "|integer:7");
  XlsxCell b1 = cell(1, 2), a6 = cell(6, 1), b3 = cell(3, 2);
  ASSERT_EQ(xlsx_cell_set_formula(&b1, "=A1*3") + xlsx_cell_clear_formula(&a6), XLSX_OK);
  ASSERT_EQ(xlsx_cell_set_formula(&b3, "0"), XLSX_OK);  // a later cell changes alone
  EXPECT_EQ(all(), "A1*3|A2*2+$A$1|0|A4*2+$A$1|<none>|SUM(B1:B$5)&\"A1\"|SUM(C1:C$5)&\"A1\"|A1:A2*10|<none>|");
  EXPECT_FALSE(has(sheet_data_xml(), "si=\"0\"") || has(sheet_data_xml(), "si=\"1\""));
  EXPECT_TRUE(has(sheet_data_xml(), "<c r=\"B2\"><f>A2*2+$A$1</f><v>5</v></c>"));
}

}  // namespace
