// Texts and numbers of files other programs wrote read as those programs meant them: texts split over
// several nodes read whole, escapes decode, a shared-string position that is no whole number inside the
// table reads as the empty text, and number texts are read by the format's rules. Texts written with
// characters XML cannot carry come back the same after a save.
#include <gtest/gtest.h>

#include <string>

#include "lib/sheet/cell.h"
#include "lib/sheet/workbook.h"
#include "tests/document/document_fixture.h"

namespace {

class TextReading : public DocumentTest {
 protected:
  // Opens a package whose shared strings hold items and whose sheet holds the cells A1, B1, ... given.
  void open_with(const std::string& items, const std::vector<std::string>& cells) {
    auto parts = pkg_test::minimal_workbook_parts();
    std::string row = "<row r=\"1\">";
    for (size_t i = 0; i < cells.size(); i++) {
      std::string ref = std::string(1, static_cast<char>('A' + i)) + "1";
      row += "<c r=\"" + ref + "\"" + cells[i] + "</c>";
    }
    pkg_test::replace_part(&parts, "xl/worksheets/sheet1.xml",
                           "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                           "<sheetData>" + row + "</row></sheetData></worksheet>");
    pkg_test::replace_part(&parts, "xl/sharedStrings.xml",
                           "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" + items + "</sst>");
    ASSERT_EQ(open_parts(parts), XLSX_OK);
  }
  // The value of the cell in column `column` of row 1 as "type:text".
  std::string value(uint32_t column) {
    XlsxWorksheet sheet{};
    XlsxCell cell{};
    EXPECT_EQ(xlsx_workbook_worksheet_at(xlsx_document_workbook(doc_), 1, &sheet), XLSX_OK);
    EXPECT_EQ(xlsx_sheet_cell(&sheet, 1, column, &cell), XLSX_OK);
    XlsxCellValue v;
    xlsx_value_init(&v);
    EXPECT_EQ(xlsx_cell_get_value(&cell, &v), XLSX_OK);
    const char* text = "";
    int64_t integer = 0;
    double number = 0;
    std::string out = xlsx_value_type_name(&v);
    if (xlsx_value_get_text(&v, &text) == XLSX_OK) out += ":" + std::string(text);
    if (xlsx_value_get_int(&v, &integer) == XLSX_OK) out += ":" + std::to_string(integer);
    if (xlsx_value_type(&v) == XLSX_VALUE_FLOAT && xlsx_value_get_float(&v, &number) == XLSX_OK)
      out += ":" + std::to_string(number);
    xlsx_value_reset(&v);
    return out;
  }
  void expect_row(const std::vector<std::string>& expected) {
    for (size_t i = 0; i < expected.size(); i++) EXPECT_EQ(value(static_cast<uint32_t>(i + 1)), expected[i]) << i;
  }
};

// Plain items (read without building the table's tree) and items split by CDATA sections and comments
// (read through the tree): both ways give the whole texts with their escapes decoded.
TEST_F(TextReading, SharedStringsReadWholeAndDecoded) {
  for (const char* split : {"<t>abc</t>", "<t>a<![CDATA[b]]>c</t>", "<t>a<!-- note -->bc</t>"}) {
    open_with(std::string("<si><t>first</t></si><si>") + split + "</si><si><t>line_x000D_feed_x0041_</t></si>"
                  "<si><t>lit _x005F_x0041_</t></si><si><r><t>ri</t></r><r><t>ch</t></r></si>",
              {" t=\"s\"><v>1</v>", " t=\"s\"><v>2</v>", " t=\"s\"><v>3</v>", " t=\"s\"><v>4</v>"});
    expect_row({"string:abc", "string:line\rfeedA", "string:lit _x0041_", "string:rich"});
  }
}

TEST_F(TextReading, PositionsThatAreNoWholeNumberInTheTableReadAsTheEmptyText) {
  open_with("<si><t>first</t></si><si><t>second</t></si>",
            {" t=\"s\"><v>-1</v>", " t=\"s\"><v>x</v>", " t=\"s\"><v></v>", " t=\"s\"><v>1.9</v>",
             " t=\"s\"><v>0x1</v>", " t=\"s\"><v>4294967296</v>", " t=\"s\">", " t=\"s\"><v>2</v>",
             " t=\"s\"><v> 1 </v>"});
  expect_row({"string:", "string:", "string:", "string:", "string:", "string:", "string:", "string:",
              "string:second"});
}

TEST_F(TextReading, CellTextsAndNumbersReadAsTheFormatDefinesThem) {
  open_with("<si><t/></si>",
            {"><v>0x10</v>", "><v>1,5</v>", "><v>1<!-- c -->2</v>", "><v>1<![CDATA[.5]]></v>", "><v>1E3</v>",
             " t=\"str\"><v>a_x001B_b</v>", " t=\"inlineStr\"><is><t>in<![CDATA[line]]>_x0041_</t></is>",
             " t=\"e\"><v>#N/A</v>", "><v>-INF</v>"});
  expect_row({"string:0x10", "string:1,5", "integer:12", "float:1.500000", "float:1000.000000", "string:a\x1b" "b",
              "string:inlineA", "error:#N/A", "error:#NUM!"});
}

TEST_F(TextReading, TextsXmlCannotCarryComeBackAfterASave) {
  const char* texts[] = {"esc\x1b", "cr\r\nlf", "lit _x0041_", "\x01\x1f"};
  XlsxWorksheet sheet{};
  ASSERT_EQ(open_parts(pkg_test::minimal_workbook_parts()), XLSX_OK);
  ASSERT_EQ(xlsx_workbook_worksheet_at(xlsx_document_workbook(doc_), 1, &sheet), XLSX_OK);
  for (uint32_t mode : {0u, 1u}) {
    xlsx_set_shared_strings_mode(mode);
    for (uint32_t i = 0; i < 4; i++) {
      XlsxCell cell{};
      XlsxCellValue v;
      xlsx_value_init(&v);
      ASSERT_EQ(xlsx_value_set_string(&v, texts[i]), XLSX_OK);
      ASSERT_EQ(xlsx_sheet_cell(&sheet, 1, mode * 4 + i + 1, &cell), XLSX_OK);
      ASSERT_EQ(xlsx_cell_set_value(&cell, &v), XLSX_OK);
      xlsx_value_reset(&v);
    }
  }
  xlsx_set_shared_strings_mode(0);
  std::string saved = save_as("saved.xlsx");
  EXPECT_NE(pkg_test::zip_entry(saved, "xl/sharedStrings.xml").find("<t>esc_x001B_</t>"), std::string::npos);
  EXPECT_NE(pkg_test::zip_entry(saved, "xl/worksheets/sheet1.xml").find("<t>lit _x005F_x0041_</t>"), std::string::npos);
  ASSERT_EQ(xlsx_document_open(doc_, path("saved.xlsx").c_str()), XLSX_OK);
  for (uint32_t i = 0; i < 8; i++) EXPECT_EQ(value(i + 1), std::string("string:") + texts[i % 4]) << i;
}

}  // namespace
