// Reads that lend a cell's text instead of copying it.
#include <gtest/gtest.h>

#include <string>

#include "lib/base/alloc.h"
#include "lib/sheet/shared_strings.h"
#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

using LentReads = SheetTest;

// The peeked value in the "type:text" form of value_of; a lent text must not cost a block.
std::string peeked(const XlsxCell& c, bool* lent) {
  XlsxCellValue v{};
  const char* text = nullptr;
  uint32_t live = xlsx_live_allocations();
  EXPECT_EQ(xlsx_cell_peek_value(&c, &v, &text), XLSX_OK);
  *lent = text != nullptr;
  if (text) {
    EXPECT_EQ(xlsx_live_allocations(), live) << "a lent text was copied";
  }
  std::string result = xlsx_value_type_name(&v);
  result += ":";
  switch (xlsx_value_type(&v)) {
    case XLSX_VALUE_BOOLEAN: result += v.boolean ? "1" : "0"; break;
    case XLSX_VALUE_INTEGER: result += std::to_string(v.integer); break;
    case XLSX_VALUE_FLOAT: result += std::to_string(v.number); break;
    default: result += text ? text : v.text ? v.text : ""; break;
  }
  xlsx_value_reset(&v);
  return result;
}

std::string copied_number_form(std::string value) {
  // value_of prints floats with %.17g; compare floats by the same printing as peeked.
  if (value.rfind("float:", 0) != 0) return value;
  return "float:" + std::to_string(std::stod(value.substr(6)));
}

TEST_F(LentReads, PeekGivesWhatTheCopyingReadGivesInEveryForm) {
  set_text(2, 1, "shared text");
  load_sheet(worksheet_with(
      "<sheetData><row r=\"1\"><c r=\"A1\"><v>5</v></c><c r=\"B1\"><v>0.5</v></c><c r=\"C1\" t=\"b\"><v>1</v></c>"
      "<c r=\"D1\" t=\"e\"><v>#DIV/0!</v></c><c r=\"E1\" t=\"str\"><v>plain</v></c>"
      "<c r=\"F1\" t=\"inlineStr\"><is><t>inline</t></is></c><c r=\"G1\" s=\"3\"/>"
      "<c r=\"H1\" t=\"inlineStr\"><is><r><t>rich </t></r><r><t>text</t></r></is></c>"
      "<c r=\"I1\" t=\"s\"><v>" +
      std::to_string(xlsx_sst_find(xlsx_document_shared_strings(doc_), "shared text")) +
      "</v></c><c r=\"J1\" t=\"s\"><v>999999</v></c></row></sheetData>"));
  // Lent: error, plain and inline texts and shared strings (an index beyond the table reads as "").
  const bool expect_lent[] = {false, false, false, true, true, true, false, false, true, true};
  for (uint32_t column = 1; column <= 10; column++) {
    bool lent = false;
    std::string peek = peeked(cell(1, column), &lent);
    EXPECT_EQ(peek, copied_number_form(value_at(1, column))) << "column " << column;
    EXPECT_EQ(lent, expect_lent[column - 1]) << "column " << column;
  }
  bool lent = false;
  EXPECT_EQ(peeked(cell(1, 9), &lent), "string:shared text");
  EXPECT_EQ(peeked(cell(1, 4), &lent), "error:#DIV/0!");
  // An inline text with a single `t` is lent as well; only rich runs are joined into an owned copy.
  EXPECT_EQ(peeked(cell(1, 6), &lent), "string:inline");
  EXPECT_TRUE(lent);
  EXPECT_EQ(peeked(cell(1, 8), &lent), "string:rich text");
  EXPECT_FALSE(lent);
}

TEST_F(LentReads, PeekRefusesInvalidArgumentsAndClearsTheLentText) {
  XlsxCellValue v{};
  const char* text = "stale";
  XlsxCell none{nullptr, nullptr, nullptr};
  EXPECT_EQ(xlsx_cell_peek_value(&none, &v, &text), XLSX_ERR_INTERNAL);
  EXPECT_EQ(text, nullptr);
  text = "stale";
  XlsxCell c = cell(1, 1);
  EXPECT_EQ(xlsx_cell_peek_value(&c, nullptr, &text), XLSX_ERR_INTERNAL);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(xlsx_cell_peek_value(&c, &v, nullptr), XLSX_ERR_INTERNAL);
  // An empty cell reads as empty without a text of its own.
  EXPECT_EQ(xlsx_cell_peek_value(&c, &v, &text), XLSX_OK);
  EXPECT_EQ(xlsx_value_type(&v), XLSX_VALUE_EMPTY);
  EXPECT_EQ(v.text, nullptr);
  EXPECT_EQ(text, nullptr);
}

}  // namespace
}  // namespace sheet_test
