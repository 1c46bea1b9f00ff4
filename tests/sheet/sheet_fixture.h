// The fixture and helpers of the spreadsheet model tests (lib/sheet): a new test book, the reference tables
// of sheet.cases, cell and part helpers.
#pragma once

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

// Runs edit with its 1st, 2nd, ... allocation failing until a run fails none: a run in which one failed
// reports failure, and a run that reports failure leaves snapshot() as it was. Gives the failed runs.
template <class Edit, class Snapshot>
uint32_t expect_failed_edits_change_nothing(const Edit& edit, const Snapshot& snapshot) {
  const auto before = snapshot();
  uint32_t failed_runs = 0;
  for_each_allocation_failure([&](FaultAllocation& fault) {
    xlsx_status status = edit();
    bool failed = fault.failures() > 0;
    fault.fail_after(0);  // the checks need memory
    EXPECT_FALSE(status == XLSX_OK && failed) << "success although an allocation failed";
    if (status == XLSX_OK) return;
    failed_runs++;
    EXPECT_EQ(snapshot(), before) << "after a failed run with allocation " << fault.calls();
  });
  return failed_runs;
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

}  // namespace
