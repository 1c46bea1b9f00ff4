// Sheet layout on the library: areas, merged cells, frozen panes, the filter with its defined name,
// hyperlinks with their relationships, the worksheet's child order, and edits that fail for want of
// memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "lib/package/part.h"
#include "lib/sheet/autofilter.h"
#include "lib/sheet/cell_area.h"
#include "lib/sheet/hyperlinks.h"
#include "lib/sheet/merged_cells.h"
#include "lib/sheet/panes.h"
#include "lib/sheet/sheet_children.h"
#include "lib/sheet/sheet_view.h"
#include "tests/sheet/sheet_test_util.h"
#include "tests/support/fault_alloc.h"

namespace sheet_test {
namespace {

using Layout = SheetTest;

const char kRels[] = "xl/worksheets/_rels/sheet1.xml.rels";

XlsxCellArea area(const char* text) {
  XlsxCellArea a{};
  EXPECT_TRUE(xlsx_area_read(text, &a)) << text;
  return a;
}

// The names of the root's element children, blank-separated.
std::string child_names(XmlNode* root) {
  std::string names;
  for (XmlNode* x = xml_node_first_element(root); x; x = xml_node_next_element(x))
    names += (names.empty() ? "" : " ") + std::string(xml_node_name(x));
  return names;
}

TEST(CellArea, TextsReadAndWritten) {
  struct Case {
    const char* text;
    const char* plain;  // null: names no area
    const char* absolute;
  } cases[] = {
      {"A1:C3", "A1:C3", "$A$1:$C$3"},   {"c3:a1", "A1:C3", "$A$1:$C$3"}, {"C1:A3", "A1:C3", "$A$1:$C$3"},
      {"$B$2", "B2", "$B$2"},            {"B2:B2", "B2", "$B$2"},         {"XFD1048576:A1", "A1:XFD1048576", nullptr},
      {"A1:B2:C3", nullptr, nullptr},    {"A0", nullptr, nullptr},        {"", nullptr, nullptr},
      {"A1:", nullptr, nullptr},         {"XFE1", nullptr, nullptr},      {"A1 B2", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    XlsxCellArea a{};
    ASSERT_EQ(xlsx_area_read(c.text, &a), c.plain != nullptr) << c.text;
    if (!c.plain) continue;
    char buffer[XLSX_AREA_TEXT_SIZE];
    EXPECT_STREQ(xlsx_area_format(&a, false, buffer), c.plain);
    if (c.absolute) {
      EXPECT_STREQ(xlsx_area_format(&a, true, buffer), c.absolute);
    }
  }
}

TEST_F(Layout, MergedAreasRefuseOverlapsAndUnmergeByAnyCell) {
  // Written by another program: indented, with a count.
  load_sheet(worksheet_with("<sheetData/><mergeCells count=\"1\">\n  <mergeCell ref=\"E5:F6\"/>\n</mergeCells>"));
  EXPECT_EQ(xlsx_sheet_merged_count(&ws_), 1u);
  XlsxCellArea title = area("A1:C1"), overlap = area("B1:B2"), single = area("D4"), other = area("A3:B4"), corner = area("F6:G7");
  EXPECT_EQ(xlsx_sheet_merge(&ws_, &title), XLSX_OK);
  EXPECT_EQ(xlsx_sheet_merge(&ws_, &overlap), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_sheet_merge(&ws_, &corner), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_sheet_merge(&ws_, &single), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_sheet_merge(&ws_, &other), XLSX_OK);
  EXPECT_EQ(xlsx_sheet_merged_count(&ws_), 3u);
  EXPECT_STREQ(xlsx_sheet_merged_ref(&ws_, 2), "A1:C1");
  EXPECT_STREQ(xlsx_sheet_merged_ref(&ws_, 4), "");
  EXPECT_NE(sheet_xml().find("<mergeCells count=\"3\">"), std::string::npos);
  XlsxCellArea b4 = area("B4"), all = area("A1:Z99");
  EXPECT_EQ(xlsx_sheet_unmerge(&ws_, &b4), XLSX_OK);
  EXPECT_EQ(xlsx_sheet_merged_count(&ws_), 2u);
  EXPECT_EQ(xlsx_sheet_unmerge(&ws_, &all), XLSX_OK);
  EXPECT_EQ(sheet_xml().find("mergeCell"), std::string::npos);
}

TEST_F(Layout, FrozenPanesWrittenAsApplicationsWriteThem) {
  struct Case {
    uint32_t columns, rows;
    const char* view;
  } cases[] = {
      {0, 1, "<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>"
             "<selection pane=\"bottomLeft\" activeCell=\"A2\" sqref=\"A2\"/>"},
      {2, 0, "<pane xSplit=\"2\" topLeftCell=\"C1\" activePane=\"topRight\" state=\"frozen\"/>"
             "<selection pane=\"topRight\" activeCell=\"C1\" sqref=\"C1\"/>"},
      {1, 3, "<pane xSplit=\"1\" ySplit=\"3\" topLeftCell=\"B4\" activePane=\"bottomRight\" state=\"frozen\"/>"
             "<selection pane=\"topRight\" activeCell=\"B1\" sqref=\"B1\"/>"
             "<selection pane=\"bottomLeft\" activeCell=\"A4\" sqref=\"A4\"/>"
             "<selection pane=\"bottomRight\" activeCell=\"B4\" sqref=\"B4\"/>"},
  };
  for (const Case& c : cases) {
    load_sheet(worksheet_with("<sheetData/>", "<sheetViews><sheetView workbookViewId=\"0\"><selection activeCell=\"C3\" sqref=\"C3\"/></sheetView></sheetViews>"));
    ASSERT_EQ(xlsx_sheet_freeze(&ws_, c.columns, c.rows), XLSX_OK);
    EXPECT_NE(sheet_xml().find(std::string("<sheetView workbookViewId=\"0\">") + c.view + "</sheetView>"), std::string::npos)
        << sheet_xml();
    uint32_t columns = 9, rows = 9;
    xlsx_sheet_frozen(&ws_, &columns, &rows);
    EXPECT_EQ(columns, c.columns);
    EXPECT_EQ(rows, c.rows);
    ASSERT_EQ(xlsx_sheet_freeze(&ws_, 0, 0), XLSX_OK);
    EXPECT_NE(sheet_xml().find("<sheetView workbookViewId=\"0\"/>"), std::string::npos);
  }
  EXPECT_EQ(xlsx_sheet_freeze(&ws_, XLSX_CELLREF_MAX_COLUMN, 0), XLSX_ERR_INVALID_ARG);
  // Other writers: a split written as "2.0", and a split that is not frozen.
  const char* views[] = {"<pane xSplit=\"2.0\" topLeftCell=\"C1\" state=\"frozen\"/>", "<pane xSplit=\"2000\" state=\"split\"/>"};
  for (uint32_t i = 0; i < 2; i++) {
    load_sheet(worksheet_with("<sheetData/>", std::string("<sheetViews><sheetView workbookViewId=\"0\">") + views[i] + "</sheetView></sheetViews>"));
    uint32_t columns = 9, rows = 9;
    xlsx_sheet_frozen(&ws_, &columns, &rows);
    EXPECT_EQ(columns, i == 0 ? 2u : 0u);
    EXPECT_EQ(rows, 0u);
  }
}

TEST_F(Layout, FilterNameFollowsItsSheet) {
  ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "My Data"), XLSX_OK);
  XlsxWorksheet data{};
  ASSERT_EQ(xlsx_workbook_worksheet(wb_, "My Data", &data), XLSX_OK);
  XlsxCellArea first = area("A1:C5"), second = area("A1:D9");
  ASSERT_EQ(xlsx_sheet_set_autofilter(&data, &first), XLSX_OK);
  ASSERT_EQ(xlsx_sheet_set_autofilter(&data, &second), XLSX_OK);
  EXPECT_STREQ(xlsx_sheet_autofilter_ref(&data), "A1:D9");
  EXPECT_NE(workbook_xml().find("<definedNames><definedName name=\"_xlnm._FilterDatabase\" localSheetId=\"1\" "
                                "hidden=\"1\">'My Data'!$A$1:$D$9</definedName></definedNames>"),
            std::string::npos)
      << workbook_xml();
  ASSERT_EQ(xlsx_workbook_move_sheet(wb_, "My Data", 1), XLSX_OK);
  ASSERT_EQ(xlsx_workbook_rename_sheet(wb_, xlsx_workbook_sheet_rid(wb_, "My Data"), "Data"), XLSX_OK);
  EXPECT_NE(workbook_xml().find("localSheetId=\"0\" hidden=\"1\">Data!$A$1:$D$9<"), std::string::npos);
  ASSERT_EQ(xlsx_workbook_worksheet(wb_, "Data", &data), XLSX_OK);
  ASSERT_EQ(xlsx_sheet_clear_autofilter(&data), XLSX_OK);
  EXPECT_EQ(workbook_xml().find("definedName"), std::string::npos);
  EXPECT_EQ(part_xml("xl/worksheets/sheet2.xml").find("autoFilter"), std::string::npos);
  ASSERT_EQ(xlsx_sheet_set_autofilter(&data, &first), XLSX_OK);
  ASSERT_EQ(xlsx_workbook_delete_sheet(wb_, "Data"), XLSX_OK);
  EXPECT_EQ(workbook_xml().find("_FilterDatabase"), std::string::npos);
}

TEST_F(Layout, HyperlinksAndTheirRelationships) {
  ASSERT_EQ(xlsx_sheet_set_hyperlink(&ws_, 1, 1, "https://example.com/a?b=1&c=2", "Open it"), XLSX_OK);
  ASSERT_EQ(xlsx_sheet_set_hyperlink(&ws_, 2, 1, "#Sheet2!B3", nullptr), XLSX_OK);
  EXPECT_EQ(xlsx_sheet_set_hyperlink(&ws_, 3, 1, "", nullptr), XLSX_ERR_INVALID_ARG);
  std::string sheet = sheet_xml(), rels = part_xml(kRels);
  EXPECT_NE(sheet.find("<hyperlinks><hyperlink ref=\"A1\" r:id=\"rId1\" tooltip=\"Open it\"/>"
                       "<hyperlink ref=\"A2\" location=\"Sheet2!B3\"/></hyperlinks>"),
            std::string::npos)
      << sheet;
  EXPECT_NE(rels.find("Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink\" "
                      "Target=\"https://example.com/a?b=1&amp;c=2\" TargetMode=\"External\"/>"),
            std::string::npos)
      << rels;
  XlsxHyperlink link{};
  ASSERT_TRUE(xlsx_sheet_hyperlink(&ws_, 1, 1, &link));
  EXPECT_STREQ(link.target, "https://example.com/a?b=1&c=2");
  EXPECT_STREQ(link.tooltip, "Open it");
  ASSERT_TRUE(xlsx_sheet_hyperlink(&ws_, 2, 1, &link));
  EXPECT_STREQ(link.location, "Sheet2!B3");
  EXPECT_FALSE(xlsx_sheet_hyperlink(&ws_, 9, 9, &link));
  // Replacing and clearing take the relationship with the link.
  ASSERT_EQ(xlsx_sheet_set_hyperlink(&ws_, 1, 1, "mailto:a@example.com", nullptr), XLSX_OK);
  EXPECT_EQ(part_xml(kRels).find("example.com/a"), std::string::npos);
  EXPECT_NE(part_xml(kRels).find("Target=\"mailto:a@example.com\""), std::string::npos);
  ASSERT_EQ(xlsx_sheet_clear_hyperlink(&ws_, 1, 1), XLSX_OK);
  ASSERT_EQ(xlsx_sheet_clear_hyperlink(&ws_, 2, 1), XLSX_OK);
  EXPECT_EQ(sheet_xml().find("hyperlink"), std::string::npos);
  EXPECT_EQ(part_xml(kRels).find("<Relationship "), std::string::npos);
  // A link another program put on an area holds each of its cells.
  load_sheet(worksheet_with("<sheetData/><hyperlinks><hyperlink ref=\"B2:C3\" location=\"'My Data'!A1\" display=\"x\"/></hyperlinks>"));
  ASSERT_TRUE(xlsx_sheet_hyperlink(&ws_, 3, 3, &link));
  EXPECT_STREQ(link.location, "'My Data'!A1");
  // A deleted sheet takes its relationships part along.
  ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "Links"), XLSX_OK);
  XlsxWorksheet links{};
  ASSERT_EQ(xlsx_workbook_worksheet(wb_, "Links", &links), XLSX_OK);
  ASSERT_EQ(xlsx_sheet_set_hyperlink(&links, 1, 1, "https://example.com", nullptr), XLSX_OK);
  ASSERT_NE(xlsx_package_find_part(pkg_, "xl/worksheets/_rels/sheet2.xml.rels"), nullptr);
  ASSERT_EQ(xlsx_workbook_delete_sheet(wb_, "Links"), XLSX_OK);
  EXPECT_EQ(xlsx_package_find_part(pkg_, "xl/worksheets/_rels/sheet2.xml.rels"), nullptr);
  EXPECT_FALSE(xlsx_archive_has_entry(xlsx_package_archive(pkg_), "xl/worksheets/_rels/sheet2.xml.rels"));
}

// The layout edits, each a step a test can run in any order.
std::vector<std::function<xlsx_status(XlsxWorksheet*)>> layout_edits() {
  return {
      [](XlsxWorksheet* s) { XlsxCellArea a{1, 1, 1, 3}; return xlsx_sheet_merge(s, &a); },
      [](XlsxWorksheet* s) { return xlsx_sheet_freeze(s, 0, 1); },
      [](XlsxWorksheet* s) { XlsxCellArea a{1, 1, 9, 3}; return xlsx_sheet_set_autofilter(s, &a); },
      [](XlsxWorksheet* s) { XlsxColor c{255, 1, 2, 3}; return xlsx_sheet_set_tab_color(s, &c); },
      [](XlsxWorksheet* s) { return xlsx_sheet_set_hyperlink(s, 2, 2, "https://example.com", "tip"); },
  };
}

TEST_F(Layout, ChildrenKeepTheirOrderWhateverTheOrderOfEdits) {
  // What another program wrote: children before and after every place the edits fill.
  const std::string start = worksheet_with(
      "<sheetData/><sheetProtection sheet=\"1\"/><conditionalFormatting sqref=\"A1\"/><printOptions/><pageMargins left=\"1\"/>"
      "<pageSetup/><drawing r:id=\"rId9\"/><tableParts count=\"0\"/><extLst/>",
      "<dimension ref=\"A1\"/><sheetFormatPr defaultRowHeight=\"15\"/><cols><col min=\"1\" max=\"1\" width=\"9\"/></cols>");
  const std::string expected =
      "sheetPr dimension sheetViews sheetFormatPr cols sheetData sheetProtection autoFilter mergeCells "
      "conditionalFormatting hyperlinks printOptions pageMargins pageSetup drawing tableParts extLst";
  auto edits = layout_edits();
  std::vector<size_t> order{0, 1, 2, 3, 4};
  do {
    load_sheet(start);
    for (size_t i : order) ASSERT_EQ(edits[i](&ws_), XLSX_OK);
    EXPECT_EQ(child_names(xlsx_part_root(ws_.part)), expected);
  } while (std::next_permutation(order.begin(), order.end()));
  // And on the default sheet.
  ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "Fresh"), XLSX_OK);
  XlsxWorksheet fresh{};
  ASSERT_EQ(xlsx_workbook_worksheet(wb_, "Fresh", &fresh), XLSX_OK);
  for (size_t i = edits.size(); i > 0; i--) ASSERT_EQ(edits[i - 1](&fresh), XLSX_OK);
  EXPECT_EQ(child_names(xlsx_part_root(fresh.part)),
            "sheetPr dimension sheetViews sheetFormatPr sheetData autoFilter mergeCells hyperlinks pageMargins");
}

TEST_F(Layout, EditsThatRunOutOfMemoryChangeNothing) {
  auto edits = layout_edits();
  uint32_t failed_runs = 0;
  for (auto& edit : edits) {
    load_sheet(worksheet_with("<sheetData/>", "<dimension ref=\"A1\"/>"));
    std::string sheet = sheet_xml(), book = workbook_xml();
    bool rels_before = xlsx_archive_has_entry(xlsx_package_archive(pkg_), kRels);
    std::string rels = rels_before ? part_xml(kRels) : "";
    xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
      xlsx_status status = edit(&ws_);
      bool failed = fault.failures() > 0;
      fault.fail_after(0);
      if (status == XLSX_OK) {
        EXPECT_FALSE(failed) << "success reported although an allocation failed";
        return;
      }
      failed_runs++;
      EXPECT_EQ(sheet_xml(), sheet);
      EXPECT_EQ(workbook_xml(), book);
      EXPECT_EQ(xlsx_archive_has_entry(xlsx_package_archive(pkg_), kRels), rels_before);
      if (rels_before) {
        EXPECT_EQ(part_xml(kRels), rels);
      }
    });
  }
  EXPECT_GT(failed_runs, 5u);
}

}  // namespace
}  // namespace sheet_test
