// Allocation failure at every step of opening, editing and saving: a clean status, nothing leaked, and
// the object unchanged and still usable.
#include <cstdio>

#include "lib/base/alloc.h"
#include "lib/package/properties.h"
#include "tests/package/package_fixture.h"
#include "tests/support/fault_alloc.h"

namespace {

using xlsx_test::FaultAllocation;

std::string part_text(XlsxPart* part) {
  char* text = nullptr;
  uint32_t length = 0;
  EXPECT_EQ(xlsx_part_serialize(part, &text, &length), XLSX_OK);
  std::string out(text ? text : "", length);
  xlsx_free(text);
  return out;
}

TEST_F(PackageTest, OpenUnderAllocationFailureFailsCleanly) {
  pkg_test::write_bytes(path("in.xlsx"), pkg_test::make_zip(pkg_test::minimal_workbook_parts()));
  uint32_t runs = 0;
  xlsx_test::for_each_allocation_failure([&](FaultAllocation& fault) {
    runs++;
    uint32_t at_start = xlsx_live_allocations();
    xlsx_status status = xlsx_package_open(pkg_, path("in.xlsx").c_str());
    if (fault.failures() > 0) {
      EXPECT_EQ(status, XLSX_ERR_NO_MEMORY);
      EXPECT_FALSE(xlsx_package_is_open(pkg_));
    } else {
      EXPECT_EQ(status, XLSX_OK);
      fault.fail_after(0);
      EXPECT_NE(xlsx_part_root(xlsx_package_find_part(pkg_, "xl/sharedStrings.xml")), nullptr);
    }
    xlsx_package_close(pkg_);
    EXPECT_EQ(xlsx_live_allocations(), at_start) << "failing allocation " << runs;
  });
  EXPECT_GT(runs, 20u);
}

TEST_F(PackageTest, FailedSaveForLackOfMemoryKeepsTheFileAndALaterSaveWorks) {
  ASSERT_EQ(open_parts(pkg_test::minimal_workbook_parts(), "book.xlsx"), XLSX_OK);
  std::string original = pkg_test::read_bytes(path("book.xlsx"));
  std::string title;
  for (uint32_t n = 1;; n++) {
    ASSERT_LT(n, 2000u);
    title = "run " + std::to_string(n);
    ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_TITLE, title.c_str()), XLSX_OK);
    FaultAllocation fault(n);
    xlsx_status status = xlsx_package_save(pkg_);
    if (fault.failures() == 0) {
      ASSERT_EQ(status, XLSX_OK);
      break;
    }
    ASSERT_EQ(status, XLSX_ERR_NO_MEMORY) << "allocation " << n;
    ASSERT_EQ(pkg_test::read_bytes(path("book.xlsx")), original) << "allocation " << n;
    ASSERT_TRUE(xlsx_package_is_open(pkg_));
  }
  XlsxPackage again;
  xlsx_package_init(&again);
  ASSERT_EQ(xlsx_package_open(&again, path("book.xlsx").c_str()), XLSX_OK);
  EXPECT_EQ(xlsx_package_get_property(&again, XLSX_PROP_TITLE), title);
  xlsx_package_close(&again);
}

TEST_F(PackageTest, PropertyEditsUnderAllocationFailureChangeNothing) {
  ASSERT_EQ(xlsx_package_create(pkg_, path("t.xlsx").c_str()), XLSX_OK);
  std::string core = part_text(xlsx_package_core_properties(pkg_));
  std::string app = part_text(xlsx_package_app_properties(pkg_));
  xlsx_test::for_each_allocation_failure([&](FaultAllocation& fault) {
    xlsx_status a = xlsx_package_set_property(pkg_, XLSX_PROP_KEYWORDS, "a fairly long keyword text");
    xlsx_status b = xlsx_app_add_title(xlsx_package_app_properties(pkg_), "Another sheet with a long name");
    if (fault.failures() == 0) return;
    fault.fail_after(0);
    if (a != XLSX_OK) {
      EXPECT_EQ(a, XLSX_ERR_NO_MEMORY);
      EXPECT_EQ(part_text(xlsx_package_core_properties(pkg_)), core);
    } else {
      EXPECT_EQ(xlsx_package_delete_property(pkg_, XLSX_PROP_KEYWORDS), XLSX_OK);
    }
    if (b != XLSX_OK) {
      EXPECT_EQ(b, XLSX_ERR_NO_MEMORY);
      EXPECT_EQ(part_text(xlsx_package_app_properties(pkg_)), app);
    } else {
      EXPECT_EQ(xlsx_app_remove_title(xlsx_package_app_properties(pkg_), "Another sheet with a long name"), XLSX_OK);
    }
  });
}

TEST_F(PackageTest, ArchivePutUnderAllocationFailureKeepsTheOldEntry) {
  ASSERT_EQ(open_parts(pkg_test::minimal_workbook_parts()), XLSX_OK);
  XlsxArchive* archive = xlsx_package_archive(pkg_);
  xlsx_test::for_each_allocation_failure([&](FaultAllocation& fault) {
    xlsx_status put = xlsx_archive_put_entry(archive, "xl/new.xml", "<new/>", 6);
    fault.fail_after(0);
    if (put != XLSX_OK) {
      EXPECT_EQ(put, XLSX_ERR_NO_MEMORY);
      EXPECT_FALSE(xlsx_archive_has_entry(archive, "xl/new.xml"));
    } else {
      EXPECT_EQ(xlsx_archive_delete_entry(archive, "xl/new.xml"), 1);
    }
  });
}

}  // namespace
