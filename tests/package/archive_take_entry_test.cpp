// Handing a block over to the archive: the entry takes the caller's block without a copy, the written
// archive holds its bytes, and the block is freed by the archive on every path, failures included.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lib/base/alloc.h"
#include "lib/package/archive.h"
#include "tests/package/package_test_util.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"

namespace {

// A counted block holding text followed by a NUL, as the serialiser hands it over.
char* block_of(const std::string& text) {
  char* block = static_cast<char*>(xlsx_malloc(static_cast<uint32_t>(text.size()) + 1));
  if (block) memcpy(block, text.c_str(), text.size() + 1);
  return block;
}

class ArchiveTakeEntryTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    archive_ = xlsx_archive_new();
    ASSERT_NE(archive_, nullptr);
    std::string path = dir_.file("in.zip");
    pkg_test::write_bytes(path, pkg_test::make_zip({{"a.xml", "<a/>"}, {"b.xml", "<b>old</b>"}}));
    ASSERT_EQ(xlsx_archive_open(archive_, path.c_str()), XLSX_OK);
  }
  void TearDown() override {
    xlsx_archive_free(archive_);
    CountedTest::TearDown();
  }
  std::string entry(const char* name) {
    const char* data = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(xlsx_archive_get_entry(archive_, name, &data, &size), XLSX_OK) << name;
    return data ? std::string(data, size) : "";
  }

  xlsx_test::TempDir dir_;
  XlsxArchive* archive_ = nullptr;
};

TEST_F(ArchiveTakeEntryTest, ReplacesAnEntryWithTheCallersOwnBlock) {
  char* block = block_of("<b>new</b>");
  ASSERT_NE(block, nullptr);
  uint32_t live = xlsx_live_allocations();
  ASSERT_EQ(xlsx_archive_take_entry(archive_, "b.xml", block, 10), XLSX_OK);
  // No copy was made: the entry's bytes are the very block, and no block was added for them.
  const char* data = nullptr;
  uint32_t size = 0;
  ASSERT_EQ(xlsx_archive_get_entry(archive_, "b.xml", &data, &size), XLSX_OK);
  EXPECT_EQ(data, block);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(xlsx_live_allocations(), live);
  EXPECT_EQ(xlsx_archive_entry_at(archive_, 1)->modified, 1u);

  std::string path = dir_.file("out.zip");
  ASSERT_EQ(xlsx_archive_write(archive_, path.c_str()), XLSX_OK);
  std::string written = pkg_test::read_bytes(path);
  EXPECT_EQ(pkg_test::zip_entry(written, "a.xml"), "<a/>");
  EXPECT_EQ(pkg_test::zip_entry(written, "b.xml"), "<b>new</b>");
}

TEST_F(ArchiveTakeEntryTest, AppendsANewEntryAndTakesAnEmptyOne) {
  ASSERT_EQ(xlsx_archive_take_entry(archive_, "c.xml", block_of("<c/>"), 4), XLSX_OK);
  ASSERT_EQ(xlsx_archive_take_entry(archive_, "empty.xml", nullptr, 0), XLSX_OK);
  ASSERT_EQ(xlsx_archive_entry_count(archive_), 4u);
  EXPECT_STREQ(xlsx_archive_entry_at(archive_, 2)->name, "c.xml");
  EXPECT_EQ(entry("c.xml"), "<c/>");
  EXPECT_EQ(entry("empty.xml"), "");

  std::string path = dir_.file("out.zip");
  ASSERT_EQ(xlsx_archive_write(archive_, path.c_str()), XLSX_OK);
  std::string written = pkg_test::read_bytes(path);
  EXPECT_EQ(pkg_test::zip_names(written), (std::vector<std::string>{"a.xml", "b.xml", "c.xml", "empty.xml"}));
  EXPECT_EQ(pkg_test::zip_entry(written, "c.xml"), "<c/>");
  EXPECT_EQ(pkg_test::zip_entry(written, "empty.xml"), "");
}

TEST_F(ArchiveTakeEntryTest, TakingAgainFreesTheEarlierBlock) {
  uint32_t live = xlsx_live_allocations();
  ASSERT_EQ(xlsx_archive_take_entry(archive_, "b.xml", block_of("first"), 5), XLSX_OK);
  ASSERT_EQ(xlsx_archive_take_entry(archive_, "b.xml", block_of("second"), 6), XLSX_OK);
  EXPECT_EQ(entry("b.xml"), "second");
  EXPECT_EQ(xlsx_live_allocations(), live + 1);  // only the block in use is alive
}

TEST_F(ArchiveTakeEntryTest, RefusedArgumentsStillFreeTheBlock) {
  uint32_t live = xlsx_live_allocations();
  EXPECT_EQ(xlsx_archive_take_entry(nullptr, "b.xml", block_of("x"), 1), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_archive_take_entry(archive_, nullptr, block_of("x"), 1), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_archive_take_entry(archive_, "b.xml", nullptr, 3), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_live_allocations(), live);
  EXPECT_EQ(entry("b.xml"), "<b>old</b>");
}

TEST_F(ArchiveTakeEntryTest, AllocationFailureFreesTheBlockAndChangesNothing) {
  // The n-th allocation of the call fails, n = 1, 2, ... until the call makes none fail; the block is
  // made before the failures are armed, so only the archive's own allocations fail.
  uint32_t runs = 0;
  for (uint32_t n = 1; n < 100; n++) {
    xlsx_test::FaultAllocation fault(0);
    char* block = block_of("<d/>");
    ASSERT_NE(block, nullptr);
    uint32_t live = xlsx_live_allocations();
    uint32_t count = xlsx_archive_entry_count(archive_);
    fault.fail_after(n);
    xlsx_status status = xlsx_archive_take_entry(archive_, "new.xml", block, 4);
    runs++;
    if (fault.failures() == 0) {
      ASSERT_EQ(status, XLSX_OK);
      EXPECT_EQ(entry("new.xml"), "<d/>");
      break;
    }
    EXPECT_EQ(status, XLSX_ERR_NO_MEMORY);
    EXPECT_EQ(xlsx_live_allocations(), live - 1) << "the block was not freed";
    EXPECT_EQ(xlsx_archive_entry_count(archive_), count);
    EXPECT_FALSE(xlsx_archive_has_entry(archive_, "new.xml"));
  }
  EXPECT_GE(runs, 2u);  // a new entry allocates its name at least: some failure was met
}

TEST_F(ArchiveTakeEntryTest, PutStillCopiesTheCallersBytes) {
  char bytes[] = "<b>copied</b>";
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "b.xml", bytes, 13), XLSX_OK);
  bytes[1] = 'X';
  EXPECT_EQ(entry("b.xml"), "<b>copied</b>");
  EXPECT_EQ(xlsx_archive_put_entry(archive_, "b.xml", bytes, UINT32_MAX), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(entry("b.xml"), "<b>copied</b>");
}

}  // namespace
