// The workbook's sheet list (adding, deleting, moving, renaming, hiding, activating, with every record
// that names a sheet kept in step), column and row attributes, the sheet view, and edits under
// allocation failure.
#include "lib/sheet/columns.h"
#include "lib/sheet/sheet_view.h"
#include "tests/sheet/sheet_test_util.h"
#include "tests/support/fault_alloc.h"

namespace sheet_test {
namespace {

using Workbook = SheetTest;

std::vector<std::string> names(XlsxWorkbook* wb) {
  std::vector<std::string> result;
  for (uint32_t i = 1; i <= xlsx_workbook_sheet_count(wb); i++) result.push_back(xlsx_workbook_sheet_name_at(wb, i));
  return result;
}

std::string rid(XlsxWorkbook* wb, const char* name) { return xlsx_workbook_sheet_rid(wb, name); }

const char kHead[] =
    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">";

class ThreeSheets : public SheetTest {
 protected:
  void SetUp() override {
    SheetTest::SetUp();
    ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "Two"), XLSX_OK);
    ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "Three"), XLSX_OK);
  }
  // Replaces definedNames and bookViews of the workbook, keeping its sheets; indented when asked.
  void with_names_and_view(const std::string& defined, const std::string& view, const char* indent = "") {
    std::string xml = workbook_xml();
    size_t sheets = xml.find("<sheets>"), sheets_end = xml.find("</sheets>") + 9;
    load_workbook(std::string(kHead) + indent + "<bookViews>" + view + "</bookViews>" + indent +
                  xml.substr(sheets, sheets_end - sheets) + indent + "<definedNames>" + defined +
                  "</definedNames></workbook>");
  }
};

// An addition registers the sheet in the workbook, its relationships, the content types and the
// titles; lookups answer from caches that follow it; a refused name or a taken part name changes nothing.
TEST_F(Workbook, AddingASheetRegistersEveryRecord) {
  XlsxWorksheet ws;
  EXPECT_EQ(xlsx_workbook_worksheet_at(wb_, 2, &ws), XLSX_ERR_NOT_FOUND);
  std::string before = part_xml("[Content_Types].xml") + workbook_xml();
  for (const char* name : {"Sheet1", static_cast<const char*>(nullptr), "", "a/b", "1234567890123456789012345678901x"})
    EXPECT_EQ(xlsx_workbook_add_sheet(wb_, name), XLSX_ERR_INVALID_ARG) << (name ? name : "null");
  EXPECT_EQ(part_xml("[Content_Types].xml") + workbook_xml(), before);
  EXPECT_TRUE(xlsx_sheet_name_is_valid("My Data"));
  ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "Sales"), XLSX_OK);
  EXPECT_EQ(names(wb_), (std::vector<std::string>{"Sheet1", "Sales"}));
  EXPECT_NE(workbook_xml().find("<sheet name=\"Sales\" sheetId=\"2\" r:id=\"rId5\"/>"), std::string::npos);
  EXPECT_NE(part_xml("xl/_rels/workbook.xml.rels").find("Id=\"rId5\""), std::string::npos);
  EXPECT_NE(part_xml("[Content_Types].xml").find("/xl/worksheets/sheet2.xml"), std::string::npos);
  EXPECT_NE(part_xml("docProps/app.xml").find("<vt:lpstr>Sales</vt:lpstr>"), std::string::npos);
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
  XlsxWorksheet added;
  ASSERT_EQ(xlsx_workbook_worksheet(wb_, "New", &added), XLSX_OK);
  EXPECT_STREQ(xlsx_part_path(added.part), "xl/worksheets/sheet4.xml");
  DynArray list;
  dynarray_init(&list, sizeof(char*), nullptr);
  ASSERT_EQ(xlsx_workbook_sheet_names(wb_, &list), XLSX_OK);
  ASSERT_EQ(list.count, 3u);
  EXPECT_STREQ(*static_cast<char**>(dynarray_get(&list, 2)), "New");
  for (uint32_t i = 0; i < list.count; i++) xlsx_free(*static_cast<char**>(dynarray_get(&list, i)));
  dynarray_free(&list);
  EXPECT_EQ(xlsx_workbook_sheet_index(wb_, "New"), 3u);
  EXPECT_EQ(xlsx_workbook_sheet_index(wb_, "new"), 0u);
}

TEST_F(ThreeSheets, DeletingKeepsIdsNamesAndTheActiveTabInStep) {
  with_names_and_view("<definedName name=\"a\" localSheetId=\"0\">Sheet1!$A$1</definedName>"
                      "<definedName name=\"b\" localSheetId=\"1\">Two!$A$1</definedName>"
                      "<definedName name=\"c\" localSheetId=\"2\">Three!$A$1</definedName>",
                      "<workbookView activeTab=\"2\" firstSheet=\"2\"/>");
  ASSERT_EQ(xlsx_workbook_delete_sheet(wb_, "Two"), XLSX_OK);
  EXPECT_EQ(names(wb_), (std::vector<std::string>{"Sheet1", "Three"}));
  EXPECT_EQ(xlsx_package_find_part(pkg_, "xl/worksheets/sheet2.xml"), nullptr);
  EXPECT_EQ(part_xml("[Content_Types].xml").find("sheet2.xml"), std::string::npos);
  EXPECT_EQ(part_xml("docProps/app.xml").find(">Two<"), std::string::npos);
  EXPECT_EQ(xlsx_workbook_next_sheet_id(wb_), 4u) << "deleted ids are not reused";
  EXPECT_EQ(xlsx_workbook_delete_sheet(wb_, "Two"), XLSX_ERR_NOT_FOUND);
  std::string xml = workbook_xml();
  EXPECT_EQ(xml.find("name=\"b\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("name=\"c\" localSheetId=\"1\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("activeTab=\"1\" firstSheet=\"1\""), std::string::npos) << xml;
  // Deleting the active sheet activates a visible one; the only worksheet and the last visible sheet stay.
  ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "Four"), XLSX_OK);
  ASSERT_EQ(xlsx_workbook_set_sheet_state(wb_, rid(wb_, "Four").c_str(), "hidden"), XLSX_OK);
  ASSERT_EQ(xlsx_workbook_delete_sheet(wb_, "Three"), XLSX_OK);
  EXPECT_TRUE(xlsx_workbook_is_active(wb_, rid(wb_, "Sheet1").c_str()));
  EXPECT_EQ(xlsx_workbook_set_sheet_state(wb_, rid(wb_, "Sheet1").c_str(), "hidden"), XLSX_ERR_INVALID_ARG);
  EXPECT_STREQ(xlsx_workbook_sheet_state(wb_, rid(wb_, "Sheet1").c_str()), "");
  ASSERT_EQ(xlsx_workbook_delete_sheet(wb_, "Four"), XLSX_OK);
  EXPECT_EQ(xlsx_workbook_delete_sheet(wb_, "Sheet1"), XLSX_ERR_INVALID_ARG);
}

// Moves reorder the list (0 and positions beyond the end move to the ends); sheet-local names follow
// their sheets, the active sheet stays the same sheet.
TEST_F(ThreeSheets, MovingKeepsLocalNamesWithTheirSheets) {
  with_names_and_view("<definedName name=\"a\" localSheetId=\"0\">Sheet1!$A$1</definedName>"
                      "<definedName name=\"b\" localSheetId=\"1\">Two!$A$1</definedName>"
                      "<definedName name=\"c\" localSheetId=\"2\">Three!$A$1</definedName>"
                      "<definedName name=\"g\">Two!$B$2</definedName>",
                      "<workbookView activeTab=\"1\"/>", "\n  ");
  ASSERT_EQ(xlsx_workbook_move_sheet(wb_, "Three", 1), XLSX_OK);
  std::string xml = workbook_xml();
  for (const char* part : {"name=\"a\" localSheetId=\"1\"", "name=\"b\" localSheetId=\"2\"", "name=\"c\" localSheetId=\"0\"",
                           "<definedName name=\"g\">"}) {
    EXPECT_NE(xml.find(part), std::string::npos) << part << " in " << xml;
  }
  EXPECT_TRUE(xlsx_workbook_is_active(wb_, rid(wb_, "Two").c_str()));
  const struct {
    const char* name;
    uint32_t position;
    std::vector<std::string> order;
  } moves[] = {{"Sheet1", 3, {"Three", "Two", "Sheet1"}}, {"Three", 5, {"Two", "Sheet1", "Three"}},
               {"Three", 0, {"Three", "Two", "Sheet1"}}};
  for (const auto& m : moves) {
    ASSERT_EQ(xlsx_workbook_move_sheet(wb_, m.name, m.position), XLSX_OK);
    EXPECT_EQ(names(wb_), m.order) << m.name << " to " << m.position;
  }
  EXPECT_EQ(xlsx_workbook_move_sheet(wb_, "None", 1), XLSX_ERR_NOT_FOUND);
  EXPECT_EQ(xlsx_workbook_sheet_count(wb_), 3u) << "an indented workbook counts only its sheets";
}

TEST_F(ThreeSheets, RenamingRewritesReferencesAndHidingMovesTheActiveTab) {
  with_names_and_view("<definedName name=\"a\">Sheet1!$A$1</definedName><definedName name=\"b\">[1]Sheet1!$A$1</definedName>"
                      "<definedName name=\"c\">MySheet1!$A$1+'Sheet1'!B2</definedName>",
                      "<workbookView/>");
  ASSERT_EQ(xlsx_workbook_rename_sheet(wb_, rid(wb_, "Sheet1").c_str(), "My Data"), XLSX_OK);
  std::string xml = workbook_xml();
  EXPECT_NE(xml.find(">'My Data'!$A$1<"), std::string::npos) << xml;
  EXPECT_NE(xml.find(">[1]Sheet1!$A$1<"), std::string::npos) << xml;
  EXPECT_NE(xml.find(">MySheet1!$A$1+'My Data'!B2<"), std::string::npos) << xml;
  EXPECT_NE(part_xml("docProps/app.xml").find("<vt:lpstr>My Data</vt:lpstr>"), std::string::npos);
  EXPECT_EQ(xlsx_workbook_rename_sheet(wb_, rid(wb_, "Two").c_str(), "Three"), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_workbook_rename_sheet(wb_, "rId99", "X"), XLSX_ERR_NOT_FOUND);
  char prefix[32];
  EXPECT_STREQ(xlsx_sheet_ref_prefix("it's", prefix, sizeof prefix), "'it''s'!");
  EXPECT_STREQ(xlsx_sheet_ref_prefix("Data", prefix, sizeof prefix), "Data!");
  xlsx_workbook_set_active(wb_, rid(wb_, "Two").c_str());
  EXPECT_NE(workbook_xml().find("activeTab=\"1\""), std::string::npos);
  ASSERT_EQ(xlsx_workbook_set_sheet_state(wb_, rid(wb_, "Two").c_str(), "hidden"), XLSX_OK);
  EXPECT_TRUE(xlsx_workbook_is_active(wb_, rid(wb_, "Three").c_str()));
  xlsx_workbook_set_active(wb_, rid(wb_, "Two").c_str());  // hidden: no change
  EXPECT_TRUE(xlsx_workbook_is_active(wb_, rid(wb_, "Three").c_str()));
  xlsx_workbook_set_active(wb_, rid(wb_, "My Data").c_str());
  EXPECT_EQ(workbook_xml().find("activeTab"), std::string::npos);
  EXPECT_EQ(xlsx_workbook_set_sheet_state(wb_, rid(wb_, "Two").c_str(), "bogus"), XLSX_ERR_INVALID_ARG);
  ASSERT_EQ(xlsx_workbook_set_sheet_state(wb_, rid(wb_, "Two").c_str(), "veryHidden"), XLSX_OK);
  EXPECT_STREQ(xlsx_workbook_sheet_state(wb_, rid(wb_, "Two").c_str()), "veryHidden");
}

std::string cols_xml(const std::string& xml) {
  size_t start = xml.find("<cols>"), end = xml.find("</cols>");
  return start == std::string::npos ? "" : xml.substr(start, end + 7 - start);
}

// Column ranges are kept until a column of them is looked up, which splits it out (not beyond the last
// column); a missing column is made before sheetData with the default width; columns out of order keep
// their elements.
TEST_F(Workbook, ColumnsAreSplitMadeAndFound) {
  const std::string ranged =
      worksheet_with("<sheetData/>", "<cols><col min=\"2\" max=\"4\" width=\"20\" style=\"1\"/>"
                                     "<col min=\"16383\" max=\"2000000000\" width=\"3\"/></cols>");
  load_sheet(ranged);
  ASSERT_EQ(xlsx_workbook_worksheet(wb_, "Sheet1", &ws_), XLSX_OK);
  EXPECT_EQ(cols_xml(sheet_xml()), cols_xml(ranged)) << "ranges stay ranges until a column of them changes";
  XlsxColumn c;
  ASSERT_EQ(xlsx_sheet_column(&ws_, 3, &c), XLSX_OK);
  EXPECT_EQ(xlsx_column_set_width(&c, 12.5f), XLSX_OK);
  EXPECT_FLOAT_EQ(xlsx_column_width(&c), 12.5f);
  EXPECT_NE(sheet_xml().find("<col min=\"3\" max=\"3\" width=\"12.5\" style=\"1\" customWidth=\"1\"/>"), std::string::npos);
  ASSERT_EQ(xlsx_sheet_column(&ws_, 16384, &c), XLSX_OK);
  EXPECT_FLOAT_EQ(xlsx_column_width(&c), 3.0f);
  load_sheet(worksheet_with("<sheetData/>", "<cols><col min=\"5\" max=\"5\" width=\"5\"/><col min=\"2\" max=\"2\" width=\"2\"/></cols>"));
  ASSERT_EQ(xlsx_sheet_column(&ws_, 2, &c), XLSX_OK);
  EXPECT_FLOAT_EQ(xlsx_column_width(&c), 2.0f);
  ASSERT_EQ(xlsx_sheet_column(&ws_, 3, &c), XLSX_OK);
  EXPECT_FLOAT_EQ(xlsx_column_width(&c), 9.8f);
  EXPECT_FALSE(xlsx_column_is_hidden(&c));
  EXPECT_EQ(xlsx_column_set_hidden(&c, 1), XLSX_OK);
  EXPECT_TRUE(xlsx_column_is_hidden(&c));
  EXPECT_NE(sheet_xml().find("<col min=\"5\" max=\"5\" width=\"5\"/>"), std::string::npos);
  load_sheet(worksheet_with("<sheetData/>"));
  ASSERT_EQ(xlsx_sheet_column(&ws_, 5, &c), XLSX_OK);
  EXPECT_NE(sheet_xml().find("<cols><col min=\"5\" max=\"5\" width=\"9.8000000000000007\" customWidth=\"0\"/></cols><sheetData"),
            std::string::npos);
  for (uint32_t k = 200; k >= 1; k--) {
    ASSERT_EQ(xlsx_sheet_column(&ws_, k, &c), XLSX_OK);
    ASSERT_EQ(xlsx_column_set_width(&c, static_cast<float>(k)), XLSX_OK);
  }
  for (uint32_t k = 1; k <= 200; k += 7) {
    ASSERT_EQ(xlsx_sheet_column(&ws_, k, &c), XLSX_OK);
    EXPECT_FLOAT_EQ(xlsx_column_width(&c), static_cast<float>(k));
  }
  std::string cols = cols_xml(sheet_xml());
  EXPECT_LT(cols.find("min=\"99\""), cols.find("min=\"100\""));
  EXPECT_EQ(xlsx_sheet_column(&ws_, 0, &c) + xlsx_sheet_column(&ws_, 16385, &c), 2 * XLSX_ERR_INVALID_ARG);
}

TEST_F(Workbook, RowAttributesSheetViewAndTabColour) {
  XlsxRow r4, r6;
  ASSERT_EQ(xlsx_sheet_row(&ws_, 4, &r4) + xlsx_sheet_row(&ws_, 6, &r6), XLSX_OK);
  EXPECT_EQ(xlsx_row_set_hidden(&r4, 1), XLSX_OK);
  EXPECT_TRUE(xlsx_row_is_hidden(&r4));
  EXPECT_DOUBLE_EQ(xlsx_row_height(&r6), 15.0);
  EXPECT_EQ(xlsx_row_set_height(&r6, 20.0f), XLSX_OK);
  EXPECT_DOUBLE_EQ(xlsx_row_height(&r6), 20.0);
  EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"4\" hidden=\"1\"/><row r=\"6\" ht=\"20\" customHeight=\"1\"/></sheetData>");
  XlsxRow none = {};
  EXPECT_EQ(xlsx_row_set_height(&none, 1.0f), XLSX_ERR_INVALID_ARG);
  EXPECT_FALSE(xlsx_row_is_hidden(&none));
  // Selecting a view without the attribute adds it; a sheet without views gets one.
  load_sheet(worksheet_with("<sheetData/>", "<dimension ref=\"A1\"/><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>"));
  EXPECT_FALSE(xlsx_sheet_is_selected(&ws_));
  EXPECT_EQ(xlsx_sheet_set_selected(&ws_, 1), XLSX_OK);
  EXPECT_NE(sheet_xml().find("<sheetView workbookViewId=\"0\" tabSelected=\"1\"/>"), std::string::npos);
  EXPECT_EQ(xlsx_sheet_set_selected(&ws_, 0), XLSX_OK);
  EXPECT_FALSE(xlsx_sheet_is_selected(&ws_));
  load_sheet(worksheet_with("<sheetData/>", "\n <sheetViews>\n  <sheetView tabSelected=\"1\" workbookViewId=\"0\"/>\n </sheetViews>\n"));
  EXPECT_TRUE(xlsx_sheet_is_selected(&ws_));
  load_sheet(worksheet_with("<sheetData/>", "<dimension ref=\"A1\"/>"));
  EXPECT_EQ(xlsx_sheet_set_selected(&ws_, 0), XLSX_OK);
  EXPECT_EQ(sheet_xml().find("sheetViews"), std::string::npos);
  EXPECT_EQ(xlsx_sheet_set_selected(&ws_, 1), XLSX_OK);
  EXPECT_NE(sheet_xml().find("<dimension ref=\"A1\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"/>"),
            std::string::npos);
  XlsxColor color;
  ASSERT_EQ(xlsx_sheet_tab_color(&ws_, &color), XLSX_OK);
  EXPECT_EQ(color.alpha * 1000 + color.red + color.green + color.blue, 255000);
  load_sheet(worksheet_with("<sheetData/>", "<sheetPr codeName=\"X\"><pageSetUpPr fitToPage=\"1\"/></sheetPr>"));
  XlsxColor orange = {255, 255, 128, 0};
  ASSERT_EQ(xlsx_sheet_set_tab_color(&ws_, &orange), XLSX_OK);
  EXPECT_NE(sheet_xml().find("<sheetPr codeName=\"X\"><tabColor rgb=\"ffff8000\"/><pageSetUpPr"), std::string::npos);
  load_sheet(worksheet_with("<sheetData/>", "<sheetPr><tabColor theme=\"4\" tint=\"0.5\" rgb=\"FF00B050\"/></sheetPr>"));
  ASSERT_EQ(xlsx_sheet_tab_color(&ws_, &color), XLSX_OK);
  EXPECT_TRUE(color.alpha == 255 && color.red == 0 && color.green == 176 && color.blue == 80);
  ASSERT_EQ(xlsx_sheet_set_tab_color(&ws_, nullptr), XLSX_OK);
  EXPECT_NE(sheet_xml().find("<sheetPr><tabColor rgb=\"ff000000\"/></sheetPr>"), std::string::npos);
  EXPECT_EQ(xlsx_color_from_text("00B050", &color), XLSX_OK);
  EXPECT_EQ(color.alpha, 255);
  EXPECT_EQ(xlsx_color_from_text("12345", &color) + xlsx_color_from_text("zz000000", &color), 2 * XLSX_ERR_INVALID_ARG);
}

// Edits with their n-th allocation failing: each leaves the sheet, the workbook and the package as they
// were (a column split out of a range is made whole or not at all), and the edit made with memory back
// holds.
TEST_F(Workbook, EditsUnderAllocationFailureLeaveEverythingAsItWas) {
  set_int(1, 1, 1);
  set_int(3, 3, 3);
  xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
    xlsx_status status = xlsx_test::put_text(&ws_, 2, 2, "text value");
    fault.fail_after(0);
    std::string xml = sheet_data_xml();
    EXPECT_NE(xml.find("<c r=\"A1\"><v>1</v></c>"), std::string::npos);
    EXPECT_LT(xml.find("<row r=\"1\">"), xml.find("<row r=\"3\">"));
    if (status != XLSX_OK) {
      EXPECT_GT(fault.failures(), 0u);
    }
  });
  EXPECT_EQ(value_at(2, 2), "string:text value");
  std::string rels = part_xml("xl/_rels/workbook.xml.rels") + part_xml("[Content_Types].xml");
  xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
    xlsx_status status = xlsx_workbook_add_sheet(wb_, "Extra");
    fault.fail_after(0);
    if (status == XLSX_OK) {
      EXPECT_EQ(fault.failures(), 0u) << "an allocation failed and the sheet was still added";
      return;
    }
    EXPECT_EQ(xlsx_workbook_sheet_count(wb_), 1u);
    EXPECT_EQ(part_xml("xl/_rels/workbook.xml.rels") + part_xml("[Content_Types].xml"), rels);
    EXPECT_FALSE(xlsx_archive_has_entry(xlsx_package_archive(pkg_), "xl/worksheets/sheet2.xml"));
  });
  EXPECT_EQ(xlsx_workbook_sheet_count(wb_), 2u);
  const std::string whole = "<cols><col min=\"1\" max=\"6\" width=\"7\"/></cols>";
  load_sheet(worksheet_with("<sheetData/>", whole));
  xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
    XlsxColumn c;
    if (xlsx_sheet_column(&ws_, 4, &c) == XLSX_OK) return;
    fault.fail_after(0);
    std::string cols = cols_xml(sheet_xml());
    EXPECT_EQ(cols, whole);
  });
  EXPECT_EQ(cols_xml(sheet_xml()), "<cols><col min=\"1\" max=\"3\" width=\"7\"/><col min=\"4\" max=\"4\" width=\"7\"/>"
                                   "<col min=\"5\" max=\"6\" width=\"7\"/></cols>");
}

}  // namespace
}  // namespace sheet_test
