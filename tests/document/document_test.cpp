// The document: failures leave the model in step with its package; what a saved workbook says of itself.
#include "lib/document/document.h"
#include "lib/package/properties.h"
#include "tests/support/book.h"
#include "tests/support/cases.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"
#include "tests/support/part_text.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip.h"

namespace {

using namespace xlsx_test;

int64_t g_now = 0;

class DocumentTest : public CountedTest {
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    XlsxHostOps ops = *xlsx_default_host_ops();
    ops.current_time = [] { return g_now; };
    xlsx_set_host_ops(&ops);
    g_now = 1709208000;  // 2024-02-29T12:00:00Z
    doc_ = xlsx_document_new();
    ASSERT_NE(doc_, nullptr);
  }
  void TearDown() override { xlsx_document_free(doc_); xlsx_set_host_ops(nullptr); CountedTest::TearDown(); }
  // Writes the parts (the base workbook's unless given) as a package and opens it.
  xlsx_status open_parts(const std::vector<ZipInput>& parts = workbook_parts()) {
    write_bytes(dir_.file("in.xlsx"), make_zip(parts));
    return xlsx_document_open(doc_, dir_.file("in.xlsx").c_str());
  }
  // Saves under name and gives the file's bytes.
  std::string save_as(const char* name) {
    EXPECT_EQ(xlsx_document_save_as(doc_, dir_.file(name).c_str()), XLSX_OK);
    return read_bytes(dir_.file(name));
  }
  std::string property(uint32_t number) { return xlsx_document_get_property(doc_, number); }
  void set_a1(int64_t number) {
    XlsxWorksheet sheet{};
    ASSERT_EQ(xlsx_workbook_worksheet_at(xlsx_document_workbook(doc_), 1, &sheet), XLSX_OK);
    ASSERT_EQ(put_cell(&sheet, 1, 1, [number](XlsxCellValue* v) { return xlsx_value_set_int(v, number); }), XLSX_OK);
  }
  TempDir dir_;
  XlsxDocument* doc_ = nullptr;
};

// A failed open leaves no model behind a closed package; a create that fails on the file leaves an open
// document as it was; an open with any allocation failing reports it and leaves nothing.
TEST_F(DocumentTest, FailuresLeaveTheModelInStepWithThePackage) {
  ASSERT_EQ(open_parts(), XLSX_OK);
  EXPECT_EQ(xlsx_document_create(doc_, dir_.file("no/such/folder/new.xlsx").c_str()), XLSX_ERR_IO);
  EXPECT_EQ(xlsx_workbook_sheet_count(xlsx_document_workbook(doc_)), 2u);
  EXPECT_EQ(xlsx_document_open(doc_, dir_.file("missing.xlsx").c_str()), XLSX_ERR_IO);
  EXPECT_TRUE(!xlsx_document_is_open(doc_) && !xlsx_document_workbook(doc_));
  EXPECT_EQ(xlsx_document_save(doc_), XLSX_ERR_INVALID_ARG);
  ASSERT_EQ(xlsx_document_create(doc_, dir_.file("new.xlsx").c_str()), XLSX_OK);
  EXPECT_EQ(xlsx_workbook_sheet_count(xlsx_document_workbook(doc_)), 1u);
  xlsx_document_close(doc_);
  EXPECT_TRUE(!xlsx_document_workbook(doc_) && !*xlsx_document_path(doc_));
  for_each_allocation_failure([&](FaultAllocation& fault) {
    uint32_t live = xlsx_live_allocations();
    xlsx_status status = xlsx_document_open(doc_, dir_.file("in.xlsx").c_str());
    fault.fail_after(0);
    EXPECT_EQ(status, fault.failures() ? XLSX_ERR_NO_MEMORY : XLSX_OK);
    EXPECT_EQ(xlsx_document_workbook(doc_) != nullptr, status == XLSX_OK);
    EXPECT_TRUE(status != XLSX_OK || std::string(xlsx_sst_get(xlsx_document_shared_strings(doc_), 0)) == "Name");
    xlsx_document_close(doc_);
    EXPECT_EQ(xlsx_live_allocations(), live);
  });
  EXPECT_EQ(xlsx_document_open(nullptr, "x") + xlsx_document_open(doc_, nullptr) + xlsx_document_create(nullptr, "x") +
                xlsx_document_save_as(nullptr, "x") + xlsx_document_set_property(nullptr, 0, "x"),
            5 * XLSX_ERR_INVALID_ARG);
  xlsx_document_close(nullptr);
  xlsx_document_free(nullptr);
  EXPECT_EQ(std::string(xlsx_document_path(nullptr)) + xlsx_document_get_property(nullptr, 0), "");
  EXPECT_TRUE(!xlsx_document_is_open(nullptr) && !xlsx_document_package(nullptr) && !xlsx_document_workbook(nullptr) &&
              !xlsx_document_workbook_rels(nullptr) && !xlsx_document_shared_strings(nullptr));
}

// A created workbook is ours and dated by its creation; a changed one is dated by its save unless a date
// was given (and dates given must be dates), an unchanged one keeps its date.
TEST_F(DocumentTest, ACreatedWorkbookIsOursAndDatedByItsCreationOrItsSave) {
  ASSERT_EQ(xlsx_document_create(doc_, dir_.file("new.xlsx").c_str()), XLSX_OK);
  std::string file = read_bytes(dir_.file("new.xlsx")), core = zip_entry(file, "docProps/core.xml");
  EXPECT_TRUE(has(core, "<dcterms:created xsi:type=\"dcterms:W3CDTF\">2024-02-29T12:00:00Z</dcterms:created>")) << core;
  EXPECT_TRUE(has(core, ">2024-02-29T12:00:00Z</dcterms:modified>")) << core;
  EXPECT_EQ(property(XLSX_PROP_APPLICATION), "xlsx.kvp");
  for (const std::string& name : zip_names(file))
    for (const char* origin : {"2019", "revisionPtr", "xr:uid", "calcId", "AppVersion", "lastEdited"})
      EXPECT_FALSE(has(zip_entry(file, name), origin)) << name << " holds " << origin;
  g_now += 3600;
  ASSERT_EQ(xlsx_document_save(doc_), XLSX_OK);
  EXPECT_EQ(property(XLSX_PROP_MODIFIED), "2024-02-29T12:00:00Z");
  set_a1(5);
  ASSERT_EQ(xlsx_document_save(doc_), XLSX_OK);
  EXPECT_EQ(property(XLSX_PROP_MODIFIED) + " " + property(XLSX_PROP_CREATED),
            "2024-02-29T13:00:00Z 2024-02-29T12:00:00Z");
  ASSERT_EQ(xlsx_document_set_property(doc_, XLSX_PROP_MODIFIED, "2000-01-01"), XLSX_OK);
  set_a1(6);
  g_now += 3600;
  ASSERT_EQ(xlsx_document_save(doc_), XLSX_OK);
  EXPECT_EQ(property(XLSX_PROP_MODIFIED), "2000-01-01");
  for (const Case& c : read_cases("document/document.cases", "date"))
    for (uint32_t number : {XLSX_PROP_CREATED, XLSX_PROP_MODIFIED, XLSX_PROP_LAST_PRINTED})
      EXPECT_EQ(xlsx_document_set_property(doc_, number, c[0].c_str()), c[1] == "1" ? XLSX_OK : XLSX_ERR_INVALID_ARG)
          << c.where;
}

// Adding a property part with its n-th allocation failing saves the file as it was.
TEST_F(DocumentTest, AddingAPropertyPartIsWholeOrNothing) {
  auto parts = workbook_parts();
  remove_part(&parts, "docProps/core.xml");
  auto entries = [](const std::string& file) {
    std::string out;
    for (const std::string& name : zip_names(file)) out += name + "=" + zip_entry(file, name) + "\n";
    return out;
  };
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  std::string unedited = entries(save_as("unedited.xlsx"));
  for (uint32_t n = 1;; n++) {
    ASSERT_LT(n, 1000u);
    ASSERT_EQ(open_parts(parts), XLSX_OK);
    FaultAllocation fault(n);
    xlsx_status status = xlsx_document_set_property(doc_, XLSX_PROP_TITLE, "Title \x01");
    bool failed = fault.failures() > 0;
    fault.fail_after(0);
    std::string saved = entries(save_as("run.xlsx"));
    if (!failed) {
      // A character XML cannot carry is written escaped and reads back as it was.
      EXPECT_EQ(status, XLSX_OK);
      EXPECT_TRUE(has(saved, "<dc:title>Title _x0001_</dc:title>"));
      ASSERT_EQ(xlsx_document_open(doc_, dir_.file("run.xlsx").c_str()), XLSX_OK);
      char* title = xlsx_package_property_text(xlsx_document_package(doc_), XLSX_PROP_TITLE);
      EXPECT_STREQ(title, "Title \x01");
      xlsx_free(title);
      break;
    }
    EXPECT_EQ(status, XLSX_ERR_NO_MEMORY) << n;
    EXPECT_EQ(saved, unedited) << "allocation " << n;
  }
}

}  // namespace
