// Faults found by the hostile corpus and the fuzz targets, each kept as the smallest case that showed it.
#include <gtest/gtest.h>

#include <string>

#include "lib/document/document.h"
#include "lib/sheet/shared_strings.h"
#include "lib/sheet/cell.h"
#include "lib/sheet/workbook.h"
#include "lib/sheet/worksheet.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"

namespace {

std::string corpus_file(const char* name) { return std::string(HOSTILE_CORPUS_DIR) + "/" + name + ".xlsx"; }

class Findings : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    document_ = xlsx_document_new();
    ASSERT_NE(document_, nullptr);
  }
  void TearDown() override {
    xlsx_document_free(document_);
    CountedTest::TearDown();
  }

  // The first worksheet of the open document.
  XlsxWorksheet first_sheet() {
    XlsxWorksheet sheet{};
    EXPECT_EQ(xlsx_workbook_worksheet_at(xlsx_document_workbook(document_), 1, &sheet), XLSX_OK);
    return sheet;
  }

  // Sets a string at (row, column) of the first sheet and gives the status.
  xlsx_status set_text(uint32_t row, uint32_t column, const char* text) {
    XlsxWorksheet sheet = first_sheet();
    XlsxCell cell;
    xlsx_status status = xlsx_sheet_cell(&sheet, row, column, &cell);
    if (status != XLSX_OK) return status;
    XlsxCellValue value;
    xlsx_value_init(&value);
    xlsx_value_set_string(&value, text);
    status = xlsx_cell_set_value(&cell, &value);
    xlsx_value_reset(&value);
    return status;
  }

  std::string get_text(uint32_t row, uint32_t column) {
    XlsxWorksheet sheet = first_sheet();
    XlsxCell cell;
    if (xlsx_sheet_find_cell(&sheet, row, column, &cell) != XLSX_OK) return "<no cell>";
    XlsxCellValue value;
    xlsx_value_init(&value);
    std::string text = "<not a text>";
    const char* got = nullptr;
    if (xlsx_cell_get_value(&cell, &value) == XLSX_OK && xlsx_value_get_text(&value, &got) == XLSX_OK) text = got;
    xlsx_value_reset(&value);
    return text;
  }

  XlsxDocument* document_ = nullptr;
  xlsx_test::TempDir dir_;
};

// A workbook whose shared strings part cannot be read (not XML, or inflating past the cap) took no new
// string: setting one reported "out of memory" and emptied the cell. The text is now kept in the cell
// itself, and survives a save.
TEST_F(Findings, StringIntoWorkbookWithUnreadableSharedStringsIsStoredInTheCell) {
  for (const char* name : {"shared_strings_not_xml", "deflate_bomb_shared_strings"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(xlsx_document_open(document_, corpus_file(name).c_str()), XLSX_OK);
    EXPECT_EQ(set_text(7, 2, "kept"), XLSX_OK);
    EXPECT_EQ(get_text(7, 2), "kept");
    std::string saved = dir_.file("saved.xlsx");
    ASSERT_EQ(xlsx_document_save_as(document_, saved.c_str()), XLSX_OK);
    ASSERT_EQ(xlsx_document_open(document_, saved.c_str()), XLSX_OK);
    EXPECT_EQ(get_text(7, 2), "kept");
    xlsx_document_close(document_);
  }
}

// Rows numbered beyond the sheet (r="1048577", r="4294967297") were indexed under those numbers, so the
// row count was 4294967295 and a script walking the rows up to it never ended. Such a row is numbered
// like a row without `r`: one after the row before it.
TEST_F(Findings, RowNumbersBeyondTheSheetAreNotCounted) {
  ASSERT_EQ(xlsx_document_open(document_, corpus_file("row_numbers_beyond_sheet").c_str()), XLSX_OK);
  XlsxWorksheet sheet = first_sheet();
  uint32_t rows = xlsx_sheet_row_count(&sheet);
  EXPECT_LE(rows, XLSX_CELLREF_MAX_ROW);
  EXPECT_EQ(rows, 5u);
  for (uint32_t row = 1; row <= rows && row <= 10; ++row) {
    XlsxRow handle;
    EXPECT_EQ(xlsx_sheet_row(&sheet, row, &handle), XLSX_OK) << row;
  }
}

// An archive with an encrypted entry opened, but every save then failed with XLSX_ERR_INTERNAL, so the
// document could never be saved. Encrypted entries have no place in a workbook package: such a file is
// refused when opened.
TEST_F(Findings, ArchiveWithEncryptedEntryIsRefused) {
  for (const char* name : {"encrypted_entry", "encrypted_content_types"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(xlsx_document_open(document_, corpus_file(name).c_str()), XLSX_ERR_PARSE);
    EXPECT_FALSE(xlsx_document_is_open(document_));
  }
}

// A content type override for a part that is not in the archive made the save write an entry holding
// only an XML declaration, which readers reject, so a workbook that other readers opened could no longer
// be read after a save. Such a part gets no entry; the sheets that are there keep theirs and their cells.
TEST_F(Findings, PartMissingFromTheArchiveIsNotWrittenAsABareDeclaration) {
  ASSERT_EQ(xlsx_document_open(document_, corpus_file("missing_sheet_part").c_str()), XLSX_OK);
  uint32_t sheets = xlsx_workbook_sheet_count(xlsx_document_workbook(document_));
  std::string saved = dir_.file("saved.xlsx");
  ASSERT_EQ(xlsx_document_save_as(document_, saved.c_str()), XLSX_OK);
  ASSERT_EQ(xlsx_document_open(document_, saved.c_str()), XLSX_OK);
  XlsxArchive* archive = xlsx_package_archive(xlsx_document_package(document_));
  EXPECT_FALSE(xlsx_archive_has_entry(archive, "xl/worksheets/sheet1.xml"));
  EXPECT_TRUE(xlsx_archive_has_entry(archive, "xl/worksheets/sheet2.xml"));
  EXPECT_EQ(xlsx_workbook_sheet_count(xlsx_document_workbook(document_)), sheets);
  for (uint32_t i = 0; i < xlsx_archive_entry_count(archive); i++) {
    const XlsxArchiveEntry* entry = xlsx_archive_entry_at(archive, i);
    const char* data = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(xlsx_archive_get_entry(archive, entry->name, &data, &size), XLSX_OK) << entry->name;
    EXPECT_NE(std::string(data, size).find('<', 1), std::string::npos) << entry->name << " holds no element";
  }
}

// Both hash tables hashed with an unkeyed FNV-1a, so texts made to share one value were cheap to compute:
// 131,072 such shared strings made the first text written (which indexes the table) take a minute, and
// as many such entry names made the open take minutes. With a keyed hash they cost what any texts cost
// (the test's time limit catches the old behaviour).
TEST_F(Findings, SharedStringsMadeToCollideAreIndexedInLinearTime) {
  ASSERT_EQ(xlsx_document_open(document_, corpus_file("colliding_shared_strings").c_str()), XLSX_OK);
  XlsxSharedStrings* table = xlsx_document_shared_strings(document_);
  ASSERT_EQ(xlsx_sst_count(table), 131072u);
  EXPECT_EQ(set_text(9, 9, "new text"), XLSX_OK);
  EXPECT_EQ(xlsx_sst_find(table, "new text"), 131072);
  for (uint32_t i : {0u, 1u, 77777u, 131071u}) EXPECT_EQ(xlsx_sst_find(table, xlsx_sst_get(table, i)), int32_t(i));
}

TEST_F(Findings, EntryNamesMadeToCollideOpenInLinearTime) {
  ASSERT_EQ(xlsx_document_open(document_, corpus_file("colliding_entry_names").c_str()), XLSX_OK);
  XlsxArchive* archive = xlsx_package_archive(xlsx_document_package(document_));
  ASSERT_EQ(xlsx_archive_entry_count(archive), 10u + 131072u);
  for (uint32_t i : {10u, 65546u, 131081u})
    EXPECT_TRUE(xlsx_archive_has_entry(archive, xlsx_archive_entry_at(archive, i)->name));
}

// The ZIP reader files entry names in a hash table of its own, with an unkeyed hash: 65,000 names made to
// share its value took it minutes to list. Such a directory is refused before the reader sees it.
TEST_F(Findings, EntryNamesMadeToCollideInTheZipReaderAreRefused) {
  EXPECT_EQ(xlsx_document_open(document_, corpus_file("colliding_reader_entry_names").c_str()), XLSX_ERR_PARSE);
}

// Finding a sheet by position, name or relationship id scanned the sheet list, the relationships and
// the parts: touching every sheet of a workbook of 100,000 sheets took minutes. Each lookup is now O(1).
TEST_F(Findings, EverySheetOfAHundredThousandIsFoundInConstantTime) {
  ASSERT_EQ(xlsx_document_open(document_, corpus_file("hundred_thousand_sheets").c_str()), XLSX_OK);
  XlsxWorkbook* workbook = xlsx_document_workbook(document_);
  ASSERT_EQ(xlsx_workbook_sheet_count(workbook), 100000u);
  for (uint32_t p = 1; p <= 100000; p++) {
    std::string name = "S" + std::to_string(p);
    std::string rel_id = "rId" + std::to_string(p <= 2 ? p : p + 4);
    ASSERT_EQ(xlsx_workbook_sheet_name_at(workbook, p), name);
    ASSERT_EQ(xlsx_workbook_sheet_index(workbook, name.c_str()), p);
    ASSERT_EQ(xlsx_workbook_sheet_rid(workbook, name.c_str()), rel_id);
    ASSERT_EQ(xlsx_workbook_sheet_name(workbook, rel_id.c_str()), name);
    XlsxWorksheet sheet{};
    ASSERT_EQ(xlsx_workbook_worksheet_at(workbook, p, &sheet), XLSX_OK) << p;
  }
}

}  // namespace
