// The sheet list, sheet names, columns, rows, views, merges, panes, filters, hyperlinks and shared
// formulas (lib/sheet), and their edits that run out of memory.
#include "tests/sheet/sheet_fixture.h"

namespace {

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
  auto records = [&] {
    return std::to_string(xlsx_workbook_sheet_count(wb_)) + part_xml("xl/_rels/workbook.xml.rels") +
           part_xml("[Content_Types].xml") +
           (xlsx_archive_has_entry(xlsx_package_archive(pkg_), "xl/worksheets/sheet2.xml") ? "+" : "-");
  };
  expect_failed_edits_change_nothing([&] { return xlsx_workbook_add_sheet(wb_, "Extra"); }, records);
  EXPECT_EQ(xlsx_workbook_sheet_count(wb_), 2u);
  // A column split out of a range on a sheet edited for the first time: the split allocates the journal.
  ASSERT_EQ(xlsx_workbook_worksheet(wb_, "Extra", &ws_), XLSX_OK);
  load_empty("<cols><col min=\"1\" max=\"6\" width=\"7\"/></cols>");
  XlsxColumn c;
  auto split = [&] { return xlsx_sheet_column(&ws_, 4, &c); };
  EXPECT_GT(expect_failed_edits_change_nothing(split, [&] { return sheet_xml(); }), 0u);
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
      auto parts = [&] {
        bool rels = xlsx_archive_has_entry(xlsx_package_archive(pkg_), kRels);
        return sheet_xml() + workbook_xml() + (rels ? part_xml(kRels) : "no relationships");
      };
      SCOPED_TRACE(edit.extra + std::to_string(room));
      failed_runs += expect_failed_edits_change_nothing([&] { return edit.apply(&ws_); }, parts);
      EXPECT_TRUE(sheet_has(edit.holds));
    }
  }
  EXPECT_GT(failed_runs, 5u);
}

// Each cell of a shared group reads its own formula; changing one leaves the others theirs, ungrouped; a
// formula is stored without a cached value or type, and a value written later keeps it.
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
  EXPECT_TRUE(has(sheet_data_xml(), "<c r=\"B1\" s=\"1\"><f>A1*3</f></c>")) << "no cached value or type is kept";
  set(1, 2, "integer:2");
  EXPECT_TRUE(has(sheet_data_xml(), "<c r=\"B1\" s=\"1\"><f>A1*3</f><v>2</v></c>")) << "a value keeps the formula";
  ASSERT_EQ(xlsx_cell_set_formula(&b3, "0"), XLSX_OK);  // a later cell changes alone
  EXPECT_EQ(all(), "A1*3|A2*2+$A$1|0|A4*2+$A$1|<none>|SUM(B1:B$5)&\"A1\"|SUM(C1:C$5)&\"A1\"|A1:A2*10|<none>|");
  XlsxCell e1 = cell(1, 5);
  ASSERT_EQ(xlsx_cell_set_formula(&e1, nullptr), XLSX_OK);
  EXPECT_EQ(formula_at(1, 5), "") << "null is the empty formula";
  EXPECT_FALSE(has(sheet_data_xml(), "si=\"0\"") || has(sheet_data_xml(), "si=\"1\""));
  EXPECT_TRUE(has(sheet_data_xml(), "<c r=\"B2\"><f>A2*2+$A$1</f><v>5</v></c>"));
}

}  // namespace
