// Sheet layout: merges, panes, the filter, hyperlinks, edits out of memory, shared and array formulas.
#include <functional>

#include "lib/sheet/autofilter.h"
#include "lib/sheet/cell_area.h"
#include "lib/sheet/columns.h"
#include "lib/sheet/hyperlinks.h"
#include "lib/sheet/merged_cells.h"
#include "lib/sheet/panes.h"
#include "lib/sheet/sheet_children.h"
#include "lib/sheet/sheet_view.h"
#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

using Layout = SheetTest;

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
  EXPECT_TRUE(has(sheet_xml(), "<mergeCells count=\"3\">"));
  XlsxCellArea b4 = area("B4"), all = area("A1:Z99");
  EXPECT_EQ(xlsx_sheet_unmerge(&ws_, &b4), XLSX_OK);
  EXPECT_EQ(xlsx_sheet_merged_count(&ws_), 2u);
  EXPECT_EQ(xlsx_sheet_unmerge(&ws_, &all), XLSX_OK);
  EXPECT_FALSE(has(sheet_xml(), "mergeCell"));
}

// Frozen panes are written with the pane and selections applications write; other writers' splits read.
TEST_F(Layout, FrozenPanesWrittenAsApplicationsWriteThem) {
  auto view_with = [](const std::string& view) {
    return worksheet_with("<sheetData/>",
                          "<sheetViews><sheetView workbookViewId=\"0\">" + view + "</sheetView></sheetViews>");
  };
  auto frozen = [this] {
    uint32_t columns = 9, rows = 9;
    xlsx_sheet_frozen(&ws_, &columns, &rows);
    return std::to_string(columns) + "," + std::to_string(rows);
  };
  for (const auto& c : cases("freeze")) {
    load_sheet(view_with("<selection activeCell=\"C3\" sqref=\"C3\"/>"));
    ASSERT_EQ(xlsx_sheet_freeze(&ws_, std::stoul(c[0]), std::stoul(c[1])), XLSX_OK) << c.where;
    EXPECT_TRUE(has(sheet_xml(), "<sheetView workbookViewId=\"0\">" + c[2] + "</sheetView>")) << c.where << sheet_xml();
    EXPECT_EQ(frozen(), c[0] + "," + c[1]) << c.where;
    ASSERT_EQ(xlsx_sheet_freeze(&ws_, 0, 0), XLSX_OK);
    EXPECT_TRUE(has(sheet_xml(), "<sheetView workbookViewId=\"0\"/>")) << c.where;
  }
  EXPECT_EQ(xlsx_sheet_freeze(&ws_, XLSX_CELLREF_MAX_COLUMN, 0), XLSX_ERR_INVALID_ARG);
  for (const auto& c : cases("frozen")) {
    load_sheet(view_with(c[0]));
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
  EXPECT_TRUE(has(workbook_xml(),
                  "<definedNames><definedName name=\"_xlnm._FilterDatabase\" localSheetId=\"1\" "
                  "hidden=\"1\">'My Data'!$A$1:$D$9</definedName></definedNames>")) << workbook_xml();
  ASSERT_EQ(xlsx_sheet_clear_autofilter(&data), XLSX_OK);
  EXPECT_FALSE(has(workbook_xml(), "definedName") || has(part_xml("xl/worksheets/sheet2.xml"), "autoFilter"));
}

// Links to addresses get a relationship, links into the book a location; replacing or clearing drops it.
TEST_F(Layout, HyperlinksAndTheirRelationships) {
  ASSERT_EQ(xlsx_sheet_set_hyperlink(&ws_, 1, 1, "https://example.com/a?b=1&c=2", "Open it"), XLSX_OK);
  ASSERT_EQ(xlsx_sheet_set_hyperlink(&ws_, 2, 1, "#Sheet2!B3", nullptr), XLSX_OK);
  EXPECT_EQ(xlsx_sheet_set_hyperlink(&ws_, 3, 1, "", nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_TRUE(has(sheet_xml(),
                  "<hyperlinks><hyperlink ref=\"A1\" r:id=\"rId1\" tooltip=\"Open it\"/>"
                  "<hyperlink ref=\"A2\" location=\"Sheet2!B3\"/></hyperlinks>")) << sheet_xml();
  EXPECT_TRUE(has(part_xml(kRels),
                  "Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                  "hyperlink\" Target=\"https://example.com/a?b=1&amp;c=2\" TargetMode=\"External\"/>"))
      << part_xml(kRels);
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

std::vector<SheetEdit> failing_edits() {
  auto column = [](uint32_t k) {
    return [k](XlsxWorksheet* s) { XlsxColumn c; return xlsx_sheet_column(s, k, &c); };
  };
  return {
      {"<sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>",
       "<sheetView workbookViewId=\"0\" tabSelected=\"0\"/>",
       [](XlsxWorksheet* s) { return xlsx_sheet_set_selected(s, 0); }, 56},
      {"<cols><col min=\"1\" max=\"6\" width=\"7\"/></cols>",
       "<cols><col min=\"1\" max=\"3\" width=\"7\"/><col min=\"4\" max=\"4\" width=\"7\"/>"
       "<col min=\"5\" max=\"6\" width=\"7\"/></cols>",
       column(4), 56},
      {"<cols><col min=\"2\" max=\"2\" width=\"2\"/></cols>",
       "<cols><col min=\"2\" max=\"2\" width=\"2\"/><col min=\"5\" max=\"5\" width=\"9.8000000000000007\" "
       "customWidth=\"0\"/></cols>",
       column(5), 56},
      {"", "", [](XlsxWorksheet* s) { XlsxCellArea a{1, 1, 1, 3}; return xlsx_sheet_merge(s, &a); }, 8},
      {"", "", [](XlsxWorksheet* s) { return xlsx_sheet_freeze(s, 0, 1); }},
      {"", "", [](XlsxWorksheet* s) { XlsxCellArea a{1, 1, 9, 3}; return xlsx_sheet_set_autofilter(s, &a); }},
      {"", "", [](XlsxWorksheet* s) { XlsxColor c{255, 1, 2, 3}; return xlsx_sheet_set_tab_color(s, &c); }},
      {"", "", [](XlsxWorksheet* s) { return xlsx_sheet_set_hyperlink(s, 2, 2, "https://example.com", "tip"); }},
  };
}

// Each edit out of memory, also with the sheet's slots and arena used up, changes no part; with memory it holds.
TEST_F(Layout, EditsThatRunOutOfMemoryChangeNothing) {
  uint32_t failed_runs = 0;
  for (const SheetEdit& edit : failing_edits()) {
    for (int32_t room = -8; room <= edit.top_room; room += 16) {
      load_sheet(worksheet_with("<sheetData/>", "<dimension ref=\"A1\"/>" + edit.extra));
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
      EXPECT_TRUE(has(sheet_xml(), edit.holds)) << edit.holds << " in " << sheet_xml();
    }
  }
  EXPECT_GT(failed_runs, 5u);
}

class SharedFormulas : public SheetTest {
 protected:
  // The formulas of B1:B4, A6:C6 and D1:D2.
  std::string all() {
    const uint32_t cells[][2] = {{1, 2}, {2, 2}, {3, 2}, {4, 2}, {6, 1}, {6, 2}, {6, 3}, {1, 4}, {2, 4}};
    std::string out;
    for (const auto& rc : cells) out += formula_at(rc[0], rc[1]) + "|";
    return out;
  }
};

// Each cell of a shared group reads its own formula; changing one leaves the others theirs, ungrouped.
TEST_F(SharedFormulas, ChangingTheFirstCellLeavesTheOthersTheirFormulas) {
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
}  // namespace sheet_test
