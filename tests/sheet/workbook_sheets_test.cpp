// The workbook's sheet list: lookups, adding, deleting, moving, renaming, hiding and activating.
#include <gtest/gtest.h>

#include "lib/base/alloc.h"
#include "lib/package/part.h"
#include "tests/sheet/sheet_test_util.h"

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
  // Replaces definedNames and bookViews of the workbook, keeping its sheets.
  void with_names_and_view(const std::string& defined, const std::string& view) {
    std::string xml = workbook_xml();
    size_t sheets = xml.find("<sheets>");
    size_t sheets_end = xml.find("</sheets>") + 9;
    load_workbook(std::string(kHead) + "<bookViews>" + view + "</bookViews>" + xml.substr(sheets, sheets_end - sheets) +
                  "<definedNames>" + defined + "</definedNames></workbook>");
  }
};

// Lookups answer from caches; the caches follow every addition and deletion.
TEST_F(Workbook, AddingASheetRegistersEveryRecord) {
  XlsxWorksheet at2;
  EXPECT_EQ(xlsx_workbook_worksheet_at(wb_, 2, &at2), XLSX_ERR_NOT_FOUND);
  ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "Sales"), XLSX_OK);
  EXPECT_EQ(names(wb_), (std::vector<std::string>{"Sheet1", "Sales"}));
  EXPECT_NE(workbook_xml().find("<sheet name=\"Sales\" sheetId=\"2\" r:id=\"rId5\"/>"), std::string::npos);
  EXPECT_NE(part_xml("xl/_rels/workbook.xml.rels").find("Id=\"rId5\""), std::string::npos);
  EXPECT_NE(part_xml("[Content_Types].xml").find("/xl/worksheets/sheet2.xml"), std::string::npos);
  EXPECT_NE(part_xml("docProps/app.xml").find("<vt:lpstr>Sales</vt:lpstr>"), std::string::npos);
  XlsxWorksheet sales;
  ASSERT_EQ(xlsx_workbook_worksheet(wb_, "Sales", &sales), XLSX_OK);
  EXPECT_STREQ(xlsx_part_path(sales.part), "xl/worksheets/sheet2.xml");
  ASSERT_EQ(xlsx_workbook_worksheet_at(wb_, 2, &at2), XLSX_OK);
  EXPECT_EQ(at2.part, sales.part);
  EXPECT_EQ(xlsx_workbook_worksheet_at(wb_, 3, &at2), XLSX_ERR_NOT_FOUND);
  EXPECT_EQ(xlsx_workbook_worksheet_count(wb_), 2u);
  EXPECT_EQ(xlsx_workbook_sheet_count(wb_), 2u);
  EXPECT_EQ(xlsx_worksheet_index(&sales), 2u);
  EXPECT_STREQ(xlsx_worksheet_name(&sales), "Sales");
}

TEST_F(Workbook, RefusedNamesChangeNothing) {
  std::string before = part_xml("[Content_Types].xml") + workbook_xml();
  for (const char* name : {"Sheet1", static_cast<const char*>(nullptr), "", "a/b", "1234567890123456789012345678901x"})
    EXPECT_EQ(xlsx_workbook_add_sheet(wb_, name), XLSX_ERR_INVALID_ARG) << (name ? name : "null");
  EXPECT_EQ(part_xml("[Content_Types].xml") + workbook_xml(), before);
  EXPECT_TRUE(xlsx_sheet_name_is_valid("My Data"));
}

TEST_F(Workbook, ExistingPartNameIsNotReused) {
  xlsx_archive_put_entry(xlsx_package_archive(pkg_), "xl/worksheets/sheet2.xml", "x", 1);
  ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "New"), XLSX_OK);
  XlsxWorksheet added;
  ASSERT_EQ(xlsx_workbook_worksheet(wb_, "New", &added), XLSX_OK);
  EXPECT_STREQ(xlsx_part_path(added.part), "xl/worksheets/sheet3.xml");
  EXPECT_NE(workbook_xml().find("<sheet name=\"New\" sheetId=\"2\""), std::string::npos);
}

TEST_F(ThreeSheets, DeletedIdsAreNotReused) {
  ASSERT_EQ(xlsx_workbook_delete_sheet(wb_, "Two"), XLSX_OK);
  EXPECT_EQ(names(wb_), (std::vector<std::string>{"Sheet1", "Three"}));
  EXPECT_EQ(xlsx_package_find_part(pkg_, "xl/worksheets/sheet2.xml"), nullptr);
  EXPECT_EQ(part_xml("[Content_Types].xml").find("sheet2.xml"), std::string::npos);
  EXPECT_EQ(part_xml("docProps/app.xml").find(">Two<"), std::string::npos);
  EXPECT_EQ(xlsx_workbook_next_sheet_id(wb_), 4u);
  EXPECT_EQ(xlsx_workbook_delete_sheet(wb_, "Two"), XLSX_ERR_NOT_FOUND);
  XlsxWorksheet ws;
  EXPECT_EQ(xlsx_workbook_worksheet_at(wb_, 3, &ws), XLSX_ERR_NOT_FOUND);
  EXPECT_EQ(xlsx_workbook_sheet_count(wb_), 2u);
}

TEST_F(Workbook, TheOnlyWorksheetAndTheLastVisibleSheetStay) {
  EXPECT_EQ(xlsx_workbook_delete_sheet(wb_, "Sheet1"), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_workbook_set_sheet_state(wb_, rid(wb_, "Sheet1").c_str(), "hidden"), XLSX_ERR_INVALID_ARG);
  EXPECT_STREQ(xlsx_workbook_sheet_state(wb_, rid(wb_, "Sheet1").c_str()), "");
}

TEST_F(ThreeSheets, MovingReordersSheets) {
  const struct {
    const char* name;
    uint32_t position;
    std::vector<std::string> order;
  } moves[] = {{"Sheet1", 2, {"Two", "Sheet1", "Three"}},
               {"Two", 5, {"Sheet1", "Three", "Two"}},  // beyond the end: last
               {"Two", 0, {"Two", "Sheet1", "Three"}}};  // 0: first
  for (const auto& m : moves) {
    ASSERT_EQ(xlsx_workbook_move_sheet(wb_, m.name, m.position), XLSX_OK);
    EXPECT_EQ(names(wb_), m.order) << m.name << " to " << m.position;
  }
  EXPECT_EQ(xlsx_workbook_move_sheet(wb_, "None", 1), XLSX_ERR_NOT_FOUND);
}

TEST_F(ThreeSheets, SheetLocalNamesFollowTheirSheetsOnMove) {
  with_names_and_view(
      "<definedName name=\"a\" localSheetId=\"0\">Sheet1!$A$1</definedName>"
      "<definedName name=\"b\" localSheetId=\"1\">Two!$A$1</definedName>"
      "<definedName name=\"c\" localSheetId=\"2\">Three!$A$1</definedName><definedName name=\"g\">Two!$B$2</definedName>",
      "<workbookView activeTab=\"1\"/>");
  ASSERT_EQ(xlsx_workbook_move_sheet(wb_, "Three", 1), XLSX_OK);
  std::string xml = workbook_xml();
  EXPECT_NE(xml.find("name=\"a\" localSheetId=\"1\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("name=\"b\" localSheetId=\"2\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("name=\"c\" localSheetId=\"0\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("<definedName name=\"g\">"), std::string::npos);
  EXPECT_TRUE(xlsx_workbook_is_active(wb_, rid(wb_, "Two").c_str()));
}

TEST_F(ThreeSheets, DeletingKeepsNamesAndActiveTabInRange) {
  with_names_and_view(
      "<definedName name=\"a\" localSheetId=\"0\">Sheet1!$A$1</definedName>"
      "<definedName name=\"b\" localSheetId=\"1\">Two!$A$1</definedName>"
      "<definedName name=\"c\" localSheetId=\"2\">Three!$A$1</definedName>",
      "<workbookView activeTab=\"2\" firstSheet=\"2\"/>");
  ASSERT_EQ(xlsx_workbook_delete_sheet(wb_, "Two"), XLSX_OK);
  std::string xml = workbook_xml();
  EXPECT_EQ(xml.find("name=\"b\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("name=\"a\" localSheetId=\"0\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("name=\"c\" localSheetId=\"1\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("activeTab=\"1\" firstSheet=\"1\""), std::string::npos) << xml;
  ASSERT_EQ(xlsx_workbook_delete_sheet(wb_, "Three"), XLSX_OK);
  EXPECT_NE(workbook_xml().find("activeTab=\"0\" firstSheet=\"0\""), std::string::npos);
}

TEST_F(ThreeSheets, DeletingTheActiveSheetActivatesAVisibleOne) {
  with_names_and_view("", "<workbookView activeTab=\"1\"/>");
  ASSERT_EQ(xlsx_workbook_set_sheet_state(wb_, rid(wb_, "Three").c_str(), "hidden"), XLSX_OK);
  ASSERT_EQ(xlsx_workbook_delete_sheet(wb_, "Two"), XLSX_OK);
  EXPECT_TRUE(xlsx_workbook_is_active(wb_, rid(wb_, "Sheet1").c_str()));
}

TEST_F(ThreeSheets, RenamingRewritesDefinedNames) {
  with_names_and_view(
      "<definedName name=\"a\">Sheet1!$A$1</definedName><definedName name=\"b\">[1]Sheet1!$A$1</definedName>"
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
}

TEST_F(ThreeSheets, HidingTheActiveSheetMovesTheActiveTab) {
  xlsx_workbook_set_active(wb_, rid(wb_, "Two").c_str());
  EXPECT_NE(workbook_xml().find("activeTab=\"1\""), std::string::npos);
  ASSERT_EQ(xlsx_workbook_set_sheet_state(wb_, rid(wb_, "Two").c_str(), "hidden"), XLSX_OK);
  EXPECT_TRUE(xlsx_workbook_is_active(wb_, rid(wb_, "Three").c_str()));
  xlsx_workbook_set_active(wb_, rid(wb_, "Two").c_str());  // hidden: no change
  EXPECT_TRUE(xlsx_workbook_is_active(wb_, rid(wb_, "Three").c_str()));
  xlsx_workbook_set_active(wb_, rid(wb_, "Sheet1").c_str());
  EXPECT_EQ(workbook_xml().find("activeTab"), std::string::npos);
  EXPECT_EQ(xlsx_workbook_set_sheet_state(wb_, rid(wb_, "Two").c_str(), "bogus"), XLSX_ERR_INVALID_ARG);
  ASSERT_EQ(xlsx_workbook_set_sheet_state(wb_, rid(wb_, "Two").c_str(), ""), XLSX_OK);
  EXPECT_STREQ(xlsx_workbook_sheet_state(wb_, rid(wb_, "Two").c_str()), "");
}

TEST_F(Workbook, IndentedWorkbookCountsOnlySheets) {
  std::string xml = workbook_xml();
  size_t sheets = xml.find("<sheets>");
  size_t end = xml.find("</sheets>") + 9;
  load_workbook(std::string(kHead) + "\n  <bookViews>\n    <workbookView activeTab=\"0\"/>\n  </bookViews>\n  " +
                xml.substr(sheets, 8) + "\n    " + xml.substr(sheets + 8, end - 9 - sheets - 8) + "\n  </sheets>\n</workbook>");
  EXPECT_EQ(xlsx_workbook_sheet_count(wb_), 1u);
  EXPECT_EQ(xlsx_workbook_next_sheet_id(wb_), 2u);
  ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "B"), XLSX_OK);
  EXPECT_EQ(names(wb_), (std::vector<std::string>{"Sheet1", "B"}));
  xlsx_workbook_set_active(wb_, rid(wb_, "B").c_str());
  EXPECT_TRUE(xlsx_workbook_is_active(wb_, rid(wb_, "B").c_str()));
  ASSERT_EQ(xlsx_workbook_move_sheet(wb_, "B", 1), XLSX_OK);
  EXPECT_EQ(names(wb_), (std::vector<std::string>{"B", "Sheet1"}));
}

TEST_F(Workbook, SheetNamesAreCopiedForTheCaller) {
  ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "Second"), XLSX_OK);
  DynArray list;
  dynarray_init(&list, sizeof(char*), nullptr);
  ASSERT_EQ(xlsx_workbook_sheet_names(wb_, &list), XLSX_OK);
  ASSERT_EQ(list.count, 2u);
  EXPECT_STREQ(*static_cast<char**>(dynarray_get(&list, 1)), "Second");
  for (uint32_t i = 0; i < list.count; i++) xlsx_free(*static_cast<char**>(dynarray_get(&list, i)));
  dynarray_free(&list);
  EXPECT_EQ(xlsx_workbook_sheet_index(wb_, "Second"), 2u);
  EXPECT_EQ(xlsx_workbook_sheet_index(wb_, "second"), 0u);
}

}  // namespace
}  // namespace sheet_test
