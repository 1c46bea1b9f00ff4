// The failure rule, edit by edit: every edit of the sheet list and every setter runs with the 1st, 2nd,
// ... allocation failing until it succeeds; after each run the document is saved with memory back, and
// the file holds either the edited workbook or the unedited one, entry for entry and byte for byte, and
// the run gives back every block it took.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "lib/base/alloc.h"
#include "lib/base/host_ops.h"
#include "lib/document/document.h"
#include "lib/package/properties.h"
#include "lib/sheet/cell.h"
#include "lib/sheet/columns.h"
#include "lib/sheet/sheet_view.h"
#include "lib/sheet/workbook.h"
#include "tests/support/book.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip.h"

namespace {

using Entries = std::vector<xlsx_test::ZipInput>;

// The entries of a saved file, in order, with their inflated bytes.
Entries entries_of(const std::string& path) { return xlsx_test::zip_entries(xlsx_test::read_bytes(path)); }

// What an edit works on, found before the failing allocations begin (finding may create a cell).
struct Site {
  XlsxDocument* doc = nullptr;
  XlsxWorkbook* workbook = nullptr;
  XlsxWorksheet sheet = {};
  XlsxCell cell = {};
  XlsxRow row = {};
  XlsxColumn column = {};
  std::string rel_id;
};

XlsxWorksheet sheet_at(XlsxDocument* doc, uint32_t position) {
  XlsxWorksheet sheet = {};
  EXPECT_EQ(xlsx_workbook_worksheet_at(xlsx_document_workbook(doc), position, &sheet), XLSX_OK);
  return sheet;
}

using xlsx_test::set_value;
xlsx_status set_text(const XlsxCell& cell, const char* text) {
  return set_value(cell, [text](XlsxCellValue* v) { return xlsx_value_set_string(v, text); });
}

// Marks every part changed, so that the next save writes each with the library's own writer.
void touch_all(XlsxDocument* doc) {
  XlsxPackage* package = xlsx_document_package(doc);
  for (uint32_t i = 0; i < xlsx_package_part_count(package); i++) {
    XlsxPart* part = xlsx_package_part_at(package, i);
    xlsx_part_load(part);
    part->clean_generation = part->xml->generation - 1;  // a value no later edit hands out
  }
}

// The workbook every edit starts from: three sheets with values of every kind, column and row
// attributes, the third sheet active, a defined name that refers to the second sheet and one local to
// the third; every part as the library writes it.
void make_base(const std::string& path) {
  XlsxDocument* doc = xlsx_document_new();
  ASSERT_EQ(xlsx_document_create(doc, path.c_str()), XLSX_OK);
  XlsxWorkbook* workbook = xlsx_document_workbook(doc);
  ASSERT_EQ(xlsx_workbook_add_sheet(workbook, "Two"), XLSX_OK);
  ASSERT_EQ(xlsx_workbook_add_sheet(workbook, "Three"), XLSX_OK);
  XlsxWorksheet first = sheet_at(doc, 1), second = sheet_at(doc, 2);
  const std::pair<uint32_t, const char*> texts[] = {{1, "Name"}, {2, "North"}, {3, "South"}};
  for (const auto& [row, text] : texts) ASSERT_EQ(xlsx_test::put_text(&first, row, 1, text), XLSX_OK);
  ASSERT_EQ(xlsx_test::put_text(&second, 1, 1, "note"), XLSX_OK);
  ASSERT_EQ(xlsx_test::put_cell(&first, 2, 2, [](XlsxCellValue* v) { return xlsx_value_set_float(v, 12.5); }), XLSX_OK);
  XlsxCell cell;
  ASSERT_EQ(xlsx_sheet_cell_by_ref(&first, "C4", &cell), XLSX_OK);
  ASSERT_EQ(xlsx_cell_set_formula(&cell, "B2*2"), XLSX_OK);
  XlsxColumn column;
  ASSERT_EQ(xlsx_sheet_column(&first, 1, &column), XLSX_OK);
  ASSERT_EQ(xlsx_column_set_width(&column, 12), XLSX_OK);
  XlsxRow row;
  ASSERT_EQ(xlsx_sheet_row(&first, 2, &row), XLSX_OK);
  ASSERT_EQ(xlsx_row_set_height(&row, 20), XLSX_OK);
  ASSERT_EQ(xlsx_workbook_set_active(workbook, xlsx_workbook_sheet_rid(workbook, "Three")), XLSX_OK);
  XmlNode* root = xlsx_part_root(workbook->part);
  XmlNode* names = xml_node_insert_child_after(root, "definedNames", xml_node_child(root, "sheets"));
  XmlNode* total = xml_node_append_child(names, "definedName");
  ASSERT_TRUE(xml_node_set_attribute(total, "name", "Total") && xml_node_set_text(total, "Two!$A$1:$A$3"));
  XmlNode* local = xml_node_append_child(names, "definedName");
  ASSERT_TRUE(xml_node_set_attribute(local, "name", "Local") && xml_node_set_attribute(local, "localSheetId", "2") &&
              xml_node_set_text(local, "Three!$B$1"));
  touch_all(doc);
  ASSERT_EQ(xlsx_document_save(doc), XLSX_OK);
  xlsx_document_free(doc);
}

struct Edit {
  const char* name;
  std::function<void(Site&)> prepare;       // runs with memory; finds or creates what the edit needs
  std::function<xlsx_status(Site&)> apply;  // the edit itself, run with the failing allocations
};

std::string rid(Site& s, const char* name) { return xlsx_workbook_sheet_rid(s.workbook, name); }
const XlsxColor kRed = {255, 255, 0, 0};

const Edit kEdits[] = {
    {"AddSheet", nullptr, [](Site& s) { return xlsx_workbook_add_sheet(s.workbook, "Added"); }},
    {"DeleteSheet", nullptr, [](Site& s) { return xlsx_workbook_delete_sheet(s.workbook, "Two"); }},
    {"DeleteActiveSheet", nullptr, [](Site& s) { return xlsx_workbook_delete_sheet(s.workbook, "Three"); }},
    {"RenameSheet", [](Site& s) { s.rel_id = rid(s, "Two"); },
     [](Site& s) { return xlsx_workbook_rename_sheet(s.workbook, s.rel_id.c_str(), "Second sheet"); }},
    {"MoveSheet", nullptr, [](Site& s) { return xlsx_workbook_move_sheet(s.workbook, "Three", 1); }},
    {"HideActiveSheet", [](Site& s) { s.rel_id = rid(s, "Three"); },
     [](Site& s) { return xlsx_workbook_set_sheet_state(s.workbook, s.rel_id.c_str(), "hidden"); }},
    {"SetActiveSheet", [](Site& s) { s.rel_id = rid(s, "Two"); },
     [](Site& s) { return xlsx_workbook_set_active(s.workbook, s.rel_id.c_str()); }},
    {"SelectSheet", [](Site& s) { s.sheet = sheet_at(s.doc, 2); },
     [](Site& s) { return xlsx_sheet_set_selected(&s.sheet, 1); }},
    {"NumberIntoNewCell", [](Site& s) { xlsx_sheet_cell(&s.sheet, 5, 4, &s.cell); },
     [](Site& s) { return set_value(s.cell, [](XlsxCellValue* v) { return xlsx_value_set_float(v, 4711); }); }},
    {"IntegerOverText", [](Site& s) { xlsx_sheet_cell(&s.sheet, 2, 1, &s.cell); },
     [](Site& s) { return set_value(s.cell, [](XlsxCellValue* v) { return xlsx_value_set_int(v, 4711); }); }},
    {"NewTextIntoTable", [](Site& s) { xlsx_sheet_cell(&s.sheet, 2, 2, &s.cell); },
     [](Site& s) { return set_text(s.cell, "a text the table lacks"); }},
    {"KnownTextOverFormula", [](Site& s) { xlsx_sheet_cell(&s.sheet, 4, 3, &s.cell); },
     [](Site& s) { return set_text(s.cell, "North"); }},
    {"InlineTextWithSpaces",
     [](Site& s) {
       xlsx_sheet_cell(&s.sheet, 1, 1, &s.cell);
       xlsx_set_shared_strings_mode(1);
     },
     [](Site& s) { return set_text(s.cell, " spaced "); }},
    {"Formula", [](Site& s) { xlsx_sheet_cell(&s.sheet, 2, 1, &s.cell); },
     [](Site& s) { return xlsx_cell_set_formula(&s.cell, "SUM(B1:B9)"); }},
    {"ClearValue", [](Site& s) { xlsx_sheet_cell(&s.sheet, 3, 1, &s.cell); },
     [](Site& s) { return xlsx_cell_clear_value(&s.cell); }},
    {"ColumnWidth", [](Site& s) { xlsx_sheet_column(&s.sheet, 3, &s.column); },
     [](Site& s) { return xlsx_column_set_width(&s.column, 30.5f); }},
    {"ColumnHidden", [](Site& s) { xlsx_sheet_column(&s.sheet, 1, &s.column); },
     [](Site& s) { return xlsx_column_set_hidden(&s.column, 1); }},
    {"RowHeight", [](Site& s) { xlsx_sheet_row(&s.sheet, 3, &s.row); },
     [](Site& s) { return xlsx_row_set_height(&s.row, 33.25f); }},
    {"RowHidden", [](Site& s) { xlsx_sheet_row(&s.sheet, 2, &s.row); },
     [](Site& s) { return xlsx_row_set_hidden(&s.row, 1); }},
    {"TabColour", nullptr, [](Site& s) { return xlsx_sheet_set_tab_color(&s.sheet, &kRed); }},
    {"CoreProperty", nullptr, [](Site& s) { return xlsx_document_set_property(s.doc, XLSX_PROP_TITLE, "A title"); }},
    {"AppProperty", nullptr, [](Site& s) { return xlsx_document_set_property(s.doc, XLSX_PROP_COMPANY, "A company"); }},
};

class EditFailure : public xlsx_test::CountedTest, public ::testing::WithParamInterface<Edit> {
 protected:
  static void SetUpTestSuite() {
    // Saves date changed workbooks: one clock for every run, so that runs compare byte for byte.
    XlsxHostOps ops = *xlsx_default_host_ops();
    ops.current_time = [] { return int64_t{1700000000}; };
    xlsx_set_host_ops(&ops);
    dir_ = new xlsx_test::TempDir();
    make_base(dir_->file("base.xlsx"));
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
    xlsx_set_host_ops(nullptr);
  }
  void TearDown() override {
    xlsx_set_shared_strings_mode(0);
    CountedTest::TearDown();
  }

  // Opens the base and prepares the edit; runs it with the n-th allocation failing (n = 0: none fails,
  // *failed tells whether one did); saves to target with memory back. The edit's status.
  static xlsx_status run(const Edit& edit, const std::string& target, uint32_t n, bool* failed) {
    xlsx_test::FaultAllocation fault(0);
    Site site;
    site.doc = xlsx_document_new();
    EXPECT_EQ(xlsx_document_open(site.doc, dir_->file("base.xlsx").c_str()), XLSX_OK);
    site.workbook = xlsx_document_workbook(site.doc);
    site.sheet = sheet_at(site.doc, 1);
    if (edit.prepare) edit.prepare(site);
    fault.fail_after(n);
    xlsx_status status = edit.apply(site);
    *failed = fault.failures() > 0;
    fault.fail_after(0);
    EXPECT_EQ(xlsx_document_save_as(site.doc, target.c_str()), XLSX_OK);
    xlsx_document_free(site.doc);
    xlsx_set_shared_strings_mode(0);
    return status;
  }

  static xlsx_test::TempDir* dir_;
};

xlsx_test::TempDir* EditFailure::dir_ = nullptr;

void PrintTo(const Edit& edit, std::ostream* out) { *out << edit.name; }

TEST_P(EditFailure, EachAllocationFailingGivesTheEditedOrTheUneditedWorkbook) {
  const Edit& edit = GetParam();
  Edit nothing = {"nothing", edit.prepare, [](Site&) { return XLSX_OK; }};
  bool failed = false;
  run(nothing, dir_->file("unedited.xlsx"), 0, &failed);
  ASSERT_EQ(run(edit, dir_->file("edited.xlsx"), 0, &failed), XLSX_OK);
  Entries unedited = entries_of(dir_->file("unedited.xlsx"));
  Entries edited = entries_of(dir_->file("edited.xlsx"));
  ASSERT_NE(edited, unedited) << "the edit changes nothing";
  std::string target = dir_->file("run.xlsx");
  uint32_t n = 1;
  for (;; n++) {
    ASSERT_LT(n, 5000u) << "the edit never succeeded";
    uint32_t live = xlsx_live_allocations();
    xlsx_status status = run(edit, target, n, &failed);
    EXPECT_EQ(xlsx_live_allocations(), live) << "blocks left after failing allocation " << n;
    EXPECT_TRUE(status == XLSX_OK || status == XLSX_ERR_NO_MEMORY) << "status " << status << " at allocation " << n;
    if (status == XLSX_OK) {
      EXPECT_EQ(entries_of(target), edited) << "success reported at allocation " << n << " without the edit";
    } else {
      EXPECT_TRUE(failed) << "failure without a failing allocation";
      EXPECT_EQ(entries_of(target), unedited) << "failure at allocation " << n << " left a changed workbook";
    }
    if (!failed || HasFailure()) break;
  }
  EXPECT_GT(n, 1u) << "the edit allocates nothing: no failure was tried";
  RecordProperty("failing_runs", std::to_string(n - 1));
}

INSTANTIATE_TEST_SUITE_P(Edits, EditFailure, ::testing::ValuesIn(kEdits),
                         [](const ::testing::TestParamInfo<Edit>& info) { return std::string(info.param.name); });

}  // namespace
