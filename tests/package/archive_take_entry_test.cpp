// Handing a block over to the archive: the entry takes the caller's block without a copy, the written
// archive holds its bytes, and the block is freed by the archive on every path, failures included.
#include <cstring>

#include "lib/base/alloc.h"
#include "tests/package/archive_fixture.h"
#include "tests/support/fault_alloc.h"

namespace {

// A counted block holding text followed by a NUL, as the serialiser hands it over.
char* block_of(const std::string& text) {
  char* block = static_cast<char*>(xlsx_malloc(static_cast<uint32_t>(text.size()) + 1));
  if (block) memcpy(block, text.c_str(), text.size() + 1);
  return block;
}

class ArchiveTakeEntryTest : public ArchiveTest {
 protected:
  void SetUp() override {
    ArchiveTest::SetUp();
    ASSERT_EQ(open_bytes(pkg_test::make_zip({{"a.xml", "<a/>"}, {"b.xml", "<b>old</b>"}})), XLSX_OK);
  }
};

TEST_F(ArchiveTakeEntryTest, ReplacesOrAppendsWithTheCallersOwnBlockAndWritesIt) {
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

  ASSERT_EQ(xlsx_archive_take_entry(archive_, "c.xml", block_of("<c/>"), 4), XLSX_OK);
  ASSERT_EQ(xlsx_archive_take_entry(archive_, "empty.xml", nullptr, 0), XLSX_OK);
  EXPECT_EQ(names(), (Names{"a.xml", "b.xml", "c.xml", "empty.xml"}));
  EXPECT_EQ(entry("c.xml"), "<c/>");
  EXPECT_EQ(entry("empty.xml"), "");

  std::string written = write();
  EXPECT_EQ(pkg_test::zip_names(written), (Names{"a.xml", "b.xml", "c.xml", "empty.xml"}));
  for (const auto& [name, bytes] : {std::pair<const char*, const char*>{"a.xml", "<a/>"}, {"b.xml", "<b>new</b>"},
                                    {"c.xml", "<c/>"}, {"empty.xml", ""}}) {
    EXPECT_EQ(pkg_test::zip_entry(written, name), bytes) << name;
  }
}

TEST_F(ArchiveTakeEntryTest, EarlierAndRefusedBlocksAreFreed) {
  uint32_t live = xlsx_live_allocations();
  ASSERT_EQ(xlsx_archive_take_entry(archive_, "b.xml", block_of("first"), 5), XLSX_OK);
  ASSERT_EQ(xlsx_archive_take_entry(archive_, "b.xml", block_of("second"), 6), XLSX_OK);
  EXPECT_EQ(entry("b.xml"), "second");
  EXPECT_EQ(xlsx_live_allocations(), live + 1);  // only the block in use is alive
  EXPECT_EQ(xlsx_archive_take_entry(nullptr, "b.xml", block_of("x"), 1), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_archive_take_entry(archive_, nullptr, block_of("x"), 1), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_archive_take_entry(archive_, "b.xml", nullptr, 3), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_live_allocations(), live + 1);
  EXPECT_EQ(entry("b.xml"), "second");
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
