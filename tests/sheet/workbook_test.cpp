// The workbook's sheet list and the records naming sheets, sheet names, columns, rows and the sheet view.
#include "lib/sheet/columns.h"
#include "lib/sheet/sheet_view.h"
#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

using Workbook = SheetTest;

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
  for (const auto& c : cases("prefix"))
    EXPECT_STREQ(xlsx_sheet_ref_prefix(c[0].c_str(), prefix, sizeof prefix), c[1].c_str()) << c.where;
}

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
    load_workbook(part_with("workbook", indent + ("<bookViews>" + view + "</bookViews>") + indent +
                                            xml.substr(sheets, sheets_end - sheets) + indent + "<definedNames>" +
                                            defined + "</definedNames>"));
  }
  const std::string local_names =
      "<definedName name=\"a\" localSheetId=\"0\">Sheet1!$A$1</definedName>"
      "<definedName name=\"b\" localSheetId=\"1\">Two!$A$1</definedName>"
      "<definedName name=\"c\" localSheetId=\"2\">Three!$A$1</definedName>";
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
  EXPECT_TRUE(has(workbook_xml(), "<sheets> <other sheetId=\"7\"/><sheet name=\"Sales\" sheetId=\"8\""))
      << workbook_xml();
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
    EXPECT_TRUE(has(xml, part)) << part << " in " << xml;
  EXPECT_TRUE(xlsx_workbook_is_active(wb_, rid(wb_, "Two").c_str()));
  const struct {
    const char *name, *order;
    uint32_t position;
  } moves[] = {{"Sheet1", "Three,Two,Sheet1", 3}, {"Three", "Two,Sheet1,Three", 5}, {"Three", "Three,Two,Sheet1", 0}};
  for (const auto& m : moves) {
    ASSERT_EQ(xlsx_workbook_move_sheet(wb_, m.name, m.position), XLSX_OK);
    EXPECT_EQ(names(wb_), m.order) << m.name << " to " << m.position;
  }
  EXPECT_EQ(xlsx_workbook_move_sheet(wb_, "None", 1), XLSX_ERR_NOT_FOUND);
  EXPECT_EQ(xlsx_workbook_sheet_count(wb_), 3u) << "an indented workbook counts only its sheets";
}

// Renaming rewrites the sheet's references, not other books'; hiding moves the active tab away for good.
TEST_F(ThreeSheets, RenamingRewritesReferencesAndHidingMovesTheActiveTab) {
  with_names_and_view(
      "<definedName name=\"a\">Sheet1!$A$1</definedName><definedName name=\"b\">[1]Sheet1!$A$1</definedName>"
      "<definedName name=\"c\">MySheet1!$A$1+'Sheet1'!B2</definedName><definedName name=\"t\">Two!$A$1"
      "</definedName>",
      "<workbookView/>");
  ASSERT_EQ(xlsx_workbook_rename_sheet(wb_, rid(wb_, "Sheet1").c_str(), "My Data"), XLSX_OK);
  ASSERT_EQ(xlsx_workbook_rename_sheet(wb_, rid(wb_, "Two").c_str(), "R1C1"), XLSX_OK);
  std::string xml = workbook_xml();
  for (const char* part : {">'My Data'!$A$1<", ">[1]Sheet1!$A$1<", ">MySheet1!$A$1+'My Data'!B2<", ">'R1C1'!$A$1<"})
    EXPECT_TRUE(has(xml, part)) << part << " in " << xml;
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

std::string cols_xml(const std::string& xml) {
  size_t start = xml.find("<cols>"), end = xml.find("</cols>");
  return start == std::string::npos ? "" : xml.substr(start, end + 7 - start);
}

// A lookup splits its column out of a range; a missing column gets the default width; disorder is kept.
TEST_F(Workbook, ColumnsAreSplitMadeAndFound) {
  const std::string ranged = worksheet_with("<sheetData/>",
                                            "<cols><col min=\"2\" max=\"4\" width=\"20\" style=\"1\"/>"
                                            "<col min=\"16383\" max=\"2000000000\" width=\"3\"/></cols>");
  load_sheet(ranged);
  ASSERT_EQ(xlsx_workbook_worksheet(wb_, "Sheet1", &ws_), XLSX_OK);
  EXPECT_EQ(cols_xml(sheet_xml()), cols_xml(ranged)) << "ranges stay ranges until a column of them changes";
  XlsxColumn c;
  ASSERT_EQ(xlsx_sheet_column(&ws_, 3, &c), XLSX_OK);
  EXPECT_EQ(xlsx_column_set_width(&c, 12.5f), XLSX_OK);
  EXPECT_FLOAT_EQ(xlsx_column_width(&c), 12.5f);
  EXPECT_TRUE(has(sheet_xml(), "<col min=\"3\" max=\"3\" width=\"12.5\" style=\"1\" customWidth=\"1\"/>"));
  ASSERT_EQ(xlsx_sheet_column(&ws_, 16384, &c), XLSX_OK);
  EXPECT_FLOAT_EQ(xlsx_column_width(&c), 3.0f);
  load_sheet(worksheet_with(
      "<sheetData/>", "<cols><col min=\"5\" max=\"5\" width=\"5\"/><col min=\"2\" max=\"2\" width=\"2\"/></cols>"));
  ASSERT_EQ(xlsx_sheet_column(&ws_, 2, &c), XLSX_OK);
  EXPECT_FLOAT_EQ(xlsx_column_width(&c), 2.0f);
  ASSERT_EQ(xlsx_sheet_column(&ws_, 3, &c), XLSX_OK);
  EXPECT_FLOAT_EQ(xlsx_column_width(&c), 9.8f);
  EXPECT_FALSE(xlsx_column_is_hidden(&c));
  EXPECT_EQ(xlsx_column_set_hidden(&c, 1), XLSX_OK);
  EXPECT_TRUE(xlsx_column_is_hidden(&c));
  EXPECT_TRUE(has(sheet_xml(), "<col min=\"5\" max=\"5\" width=\"5\"/>"));
  EXPECT_EQ(xlsx_sheet_column(&ws_, 0, &c) + xlsx_sheet_column(&ws_, 16385, &c), 2 * XLSX_ERR_INVALID_ARG);
}

// Row height and hiding; selecting adds the attribute or the view it needs; the tab colour's byte order.
TEST_F(Workbook, RowAttributesSheetViewAndTabColour) {
  XlsxRow r4, r6, none = {};
  ASSERT_EQ(xlsx_sheet_row(&ws_, 4, &r4) + xlsx_sheet_row(&ws_, 6, &r6), XLSX_OK);
  EXPECT_DOUBLE_EQ(xlsx_row_height(&r6), 15.0);
  EXPECT_EQ(xlsx_row_set_hidden(&r4, 1) + xlsx_row_set_height(&r6, 20.0f), XLSX_OK);
  EXPECT_TRUE(xlsx_row_is_hidden(&r4) && xlsx_row_height(&r6) == 20.0);
  EXPECT_EQ(sheet_data_xml(),
            "<sheetData><row r=\"4\" hidden=\"1\"/><row r=\"6\" ht=\"20\" customHeight=\"1\"/></sheetData>");
  EXPECT_EQ(xlsx_row_set_height(&none, 1.0f), XLSX_ERR_INVALID_ARG);
  EXPECT_FALSE(xlsx_row_is_hidden(&none));
  load_sheet(worksheet_with("<sheetData/>",
                            "<dimension ref=\"A1\"/><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>"));
  EXPECT_FALSE(xlsx_sheet_is_selected(&ws_));
  EXPECT_EQ(xlsx_sheet_set_selected(&ws_, 1), XLSX_OK);
  EXPECT_TRUE(has(sheet_xml(), "<sheetView workbookViewId=\"0\" tabSelected=\"1\"/>"));
  EXPECT_EQ(xlsx_sheet_set_selected(&ws_, 0), XLSX_OK);
  EXPECT_FALSE(xlsx_sheet_is_selected(&ws_));
  load_sheet(worksheet_with(
      "<sheetData/>", "\n <sheetViews>\n  <sheetView tabSelected=\"1\" workbookViewId=\"0\"/>\n </sheetViews>\n"));
  EXPECT_TRUE(xlsx_sheet_is_selected(&ws_));
  load_sheet(worksheet_with("<sheetData/>", "<dimension ref=\"A1\"/>"));
  EXPECT_EQ(xlsx_sheet_set_selected(&ws_, 0), XLSX_OK);
  EXPECT_FALSE(has(sheet_xml(), "sheetViews"));
  EXPECT_EQ(xlsx_sheet_set_selected(&ws_, 1), XLSX_OK);
  EXPECT_TRUE(
      has(sheet_xml(), "<dimension ref=\"A1\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"/>"));
  XlsxColor color;
  ASSERT_EQ(xlsx_sheet_tab_color(&ws_, &color), XLSX_OK);
  EXPECT_EQ(color.alpha * 1000 + color.red + color.green + color.blue, 255000);
  load_sheet(worksheet_with("<sheetData/>", "<sheetPr codeName=\"X\"><pageSetUpPr fitToPage=\"1\"/></sheetPr>"));
  XlsxColor orange = {255, 255, 128, 0};
  ASSERT_EQ(xlsx_sheet_set_tab_color(&ws_, &orange), XLSX_OK);
  EXPECT_TRUE(has(sheet_xml(), "<sheetPr codeName=\"X\"><tabColor rgb=\"ffff8000\"/><pageSetUpPr"));
  load_sheet(
      worksheet_with("<sheetData/>", "<sheetPr><tabColor theme=\"4\" tint=\"0.5\" rgb=\"FF00B050\"/></sheetPr>"));
  ASSERT_EQ(xlsx_sheet_tab_color(&ws_, &color), XLSX_OK);
  EXPECT_TRUE(color.alpha == 255 && color.red == 0 && color.green == 176 && color.blue == 80);
  ASSERT_EQ(xlsx_sheet_set_tab_color(&ws_, nullptr), XLSX_OK);
  EXPECT_TRUE(has(sheet_xml(), "<sheetPr><tabColor rgb=\"ff000000\"/></sheetPr>"));
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
  load_sheet(worksheet_with("<sheetData/>", "<cols><col min=\"1\" max=\"6\" width=\"7\"/></cols>"));
  const std::string before = sheet_xml();
  for_each_allocation_failure([&](FaultAllocation& fault) {
    XlsxColumn c;
    xlsx_status status = xlsx_sheet_column(&ws_, 4, &c);
    fault.fail_after(0);
    EXPECT_TRUE(status == XLSX_OK || sheet_xml() == before);
  });
}

}  // namespace
}  // namespace sheet_test
