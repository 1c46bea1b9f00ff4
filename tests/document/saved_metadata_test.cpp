// What a workbook says of itself: a created workbook is dated by its creation under our application's
// name and keeps nothing of the template's origin; a changed workbook is dated by its save unless the
// script gave the date, and asks for recalculation when a value or formula changed; dates must be dates;
// a property of a package without property parts gets the part.
#include <gtest/gtest.h>

#include <string>

#include "lib/base/host_ops.h"
#include "lib/package/properties.h"
#include "lib/sheet/cell.h"
#include "lib/sheet/workbook.h"
#include "tests/document/document_fixture.h"
#include "tests/support/fault_alloc.h"

namespace {

int64_t g_now = 0;

class SavedMetadata : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    XlsxHostOps ops = *xlsx_default_host_ops();
    ops.current_time = [] { return g_now; };
    xlsx_set_host_ops(&ops);
    g_now = 1709208000;  // 2024-02-29T12:00:00Z
  }
  void TearDown() override {
    xlsx_set_host_ops(nullptr);
    DocumentTest::TearDown();
  }
  std::string property(uint32_t number) { return xlsx_document_get_property(doc_, number); }
  void set_number(uint32_t row, uint32_t column, int64_t number) {
    XlsxWorksheet sheet{};
    XlsxCell cell{};
    XlsxCellValue value;
    xlsx_value_init(&value);
    xlsx_value_set_int(&value, number);
    ASSERT_EQ(xlsx_workbook_worksheet_at(xlsx_document_workbook(doc_), 1, &sheet), XLSX_OK);
    ASSERT_EQ(xlsx_sheet_cell(&sheet, row, column, &cell), XLSX_OK);
    ASSERT_EQ(xlsx_cell_set_value(&cell, &value), XLSX_OK);
  }
};

TEST_F(SavedMetadata, ACreatedWorkbookIsOursAndDatedByItsCreation) {
  ASSERT_EQ(xlsx_document_create(doc_, path("new.xlsx").c_str()), XLSX_OK);
  std::string file = pkg_test::read_bytes(path("new.xlsx"));
  std::string core = pkg_test::zip_entry(file, "docProps/core.xml");
  EXPECT_NE(core.find("<dcterms:created xsi:type=\"dcterms:W3CDTF\">2024-02-29T12:00:00Z</dcterms:created>"),
            std::string::npos) << core;
  EXPECT_NE(core.find(">2024-02-29T12:00:00Z</dcterms:modified>"), std::string::npos) << core;
  EXPECT_EQ(property(XLSX_PROP_APPLICATION), "xlsx.kvp");
  for (const std::string& name : pkg_test::zip_names(file)) {
    std::string text = pkg_test::zip_entry(file, name);
    for (const char* origin : {"2019", "Microsoft", "revisionPtr", "xr:uid", "calcId", "AppVersion", "lastEdited"})
      EXPECT_EQ(text.find(origin), std::string::npos) << name << " holds " << origin;
  }
}

TEST_F(SavedMetadata, AChangedWorkbookIsDatedByItsSaveUnlessTheScriptGaveTheDate) {
  ASSERT_EQ(xlsx_document_create(doc_, path("book.xlsx").c_str()), XLSX_OK);
  g_now += 3600;
  ASSERT_EQ(xlsx_document_save(doc_), XLSX_OK);  // nothing changed: the date stays
  EXPECT_EQ(property(XLSX_PROP_MODIFIED), "2024-02-29T12:00:00Z");
  set_number(1, 1, 5);
  ASSERT_EQ(xlsx_document_save(doc_), XLSX_OK);
  EXPECT_EQ(property(XLSX_PROP_MODIFIED), "2024-02-29T13:00:00Z");
  EXPECT_EQ(property(XLSX_PROP_CREATED), "2024-02-29T12:00:00Z");
  ASSERT_EQ(xlsx_document_set_property(doc_, XLSX_PROP_MODIFIED, "2000-01-01"), XLSX_OK);
  set_number(1, 1, 6);
  g_now += 3600;
  ASSERT_EQ(xlsx_document_save(doc_), XLSX_OK);
  EXPECT_EQ(property(XLSX_PROP_MODIFIED), "2000-01-01");
}

TEST_F(SavedMetadata, AChangedValueAsksForRecalculation) {
  auto parts = pkg_test::minimal_workbook_parts();
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  std::string unchanged = save_as("unchanged.xlsx");
  EXPECT_EQ(pkg_test::zip_entry(unchanged, "xl/workbook.xml").find("calcPr"), std::string::npos);
  set_number(2, 2, 7);
  std::string workbook = pkg_test::zip_entry(save_as("changed.xlsx"), "xl/workbook.xml");
  EXPECT_NE(workbook.find("</sheets><calcPr fullCalcOnLoad=\"1\"/></workbook>"), std::string::npos) << workbook;
}

TEST_F(SavedMetadata, DatesMustBeDatesInTheFormatsForm) {
  ASSERT_EQ(xlsx_document_create(doc_, path("dates.xlsx").c_str()), XLSX_OK);
  const struct {
    const char* text;
    bool valid;
  } cases[] = {
      {"2024-02-29", true}, {"2024-02-29T23:59Z", true}, {"2024-02-29T23:59:59.5+02:00", true}, {"", true},
      {"yesterday", false}, {"2023-02-29", false}, {"2024-13-01", false}, {"2024-01-01T24:00Z", false},
      {"2024-01-01T10:00", false}, {"2024", false}, {"2024-01-01T10:00:00Zx", false}, {"1900-02-29", false},
  };
  for (const auto& c : cases) {
    for (uint32_t number : {XLSX_PROP_CREATED, XLSX_PROP_MODIFIED, XLSX_PROP_LAST_PRINTED}) {
      EXPECT_EQ(xlsx_document_set_property(doc_, number, c.text), c.valid ? XLSX_OK : XLSX_ERR_INVALID_ARG) << c.text;
    }
  }
}

TEST_F(SavedMetadata, APropertyOfAPackageWithoutPropertyPartsGetsThePart) {
  auto parts = pkg_test::minimal_workbook_parts();
  pkg_test::remove_part(&parts, "docProps/core.xml");
  pkg_test::remove_part(&parts, "docProps/app.xml");
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  ASSERT_EQ(xlsx_document_set_property(doc_, XLSX_PROP_TITLE, "Title \x01"), XLSX_OK);
  ASSERT_EQ(xlsx_document_set_property(doc_, XLSX_PROP_COMPANY, "Company"), XLSX_OK);
  std::string saved = save_as("saved.xlsx");
  EXPECT_NE(pkg_test::zip_entry(saved, "docProps/core.xml").find("<dc:title>Title _x0001_</dc:title>"), std::string::npos);
  EXPECT_NE(pkg_test::zip_entry(saved, "[Content_Types].xml").find("PartName=\"/docProps/app.xml\""), std::string::npos);
  EXPECT_NE(pkg_test::zip_entry(saved, "_rels/.rels").find("Target=\"docProps/core.xml\""), std::string::npos);
  ASSERT_EQ(xlsx_document_open(doc_, path("saved.xlsx").c_str()), XLSX_OK);
  char* title = xlsx_package_property_text(xlsx_document_package(doc_), XLSX_PROP_TITLE);
  EXPECT_STREQ(title, "Title \x01");
  xlsx_free(title);
  EXPECT_EQ(property(XLSX_PROP_COMPANY), "Company");
}

// Every entry of a saved file with its content.
std::string entries(const std::string& file) {
  std::string out;
  for (const std::string& name : pkg_test::zip_names(file)) out += name + "=" + pkg_test::zip_entry(file, name) + "\n";
  return out;
}

TEST_F(SavedMetadata, AddingAPropertyPartIsWholeOrNothing) {
  auto parts = pkg_test::minimal_workbook_parts();
  pkg_test::remove_part(&parts, "docProps/core.xml");
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  std::string unedited = entries(save_as("unedited.xlsx"));
  for (uint32_t n = 1;; n++) {
    ASSERT_LT(n, 1000u);
    ASSERT_EQ(open_parts(parts), XLSX_OK);
    xlsx_status status;
    bool failed;
    {
      xlsx_test::FaultAllocation fault(n);
      status = xlsx_document_set_property(doc_, XLSX_PROP_TITLE, "Title");
      failed = fault.failures() > 0;
    }
    std::string saved = entries(save_as("run.xlsx"));
    if (!failed) {
      EXPECT_EQ(status, XLSX_OK);
      EXPECT_NE(saved.find("<dc:title>Title</dc:title>"), std::string::npos);
      break;
    }
    EXPECT_EQ(status, XLSX_ERR_NO_MEMORY) << n;
    EXPECT_EQ(saved, unedited) << "allocation " << n;
  }
}

}  // namespace
