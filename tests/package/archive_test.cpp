// The in-memory ZIP archive: listing, inflating on demand, put/delete, and writing with untouched
// records copied as they are.
#include "tests/package/archive_fixture.h"

namespace {

const std::string kEndRecordOnly = std::string("PK\x05\x06", 4) + std::string(18, '\0');

TEST_F(ArchiveTest, OpenRefusesWhatIsNotAZip) {
  EXPECT_EQ(xlsx_archive_open(archive_, dir_.file("missing").c_str()), XLSX_ERR_IO);
  for (const std::string& bytes : {std::string(), std::string(21, 'x'), std::string(5000, 'x')}) {
    EXPECT_EQ(open_bytes(bytes), XLSX_ERR_PARSE) << bytes.size() << " bytes";
  }
  EXPECT_EQ(archive_->is_open, 0u);
  EXPECT_EQ(xlsx_archive_open(nullptr, "x"), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_archive_open(archive_, nullptr), XLSX_ERR_INVALID_ARG);
}

TEST_F(ArchiveTest, OpenListsFilesInDirectoryOrderWithoutDirectoryRecords) {
  ASSERT_EQ(open_bytes(pkg_test::make_zip({{"xl/", ""}, {"b.xml", "B"}, {"xl/a.xml", "A"}, {"docProps/", ""}})), XLSX_OK);
  EXPECT_EQ(names(), (Names{"b.xml", "xl/a.xml"}));
  EXPECT_FALSE(xlsx_archive_has_entry(archive_, "xl/"));
  EXPECT_TRUE(xlsx_archive_has_entry(archive_, "xl/a.xml"));
  EXPECT_FALSE(xlsx_archive_has_entry(archive_, "XL/A.XML"));
  EXPECT_EQ(archive_->is_open, 1u);
}

TEST_F(ArchiveTest, DuplicateNameIsOneEntryInFirstPlaceBoundToLastRecord) {
  std::string zip = pkg_test::make_zip({{"a.xml", "first"}, {"m.xml", "middle"}, {"b.xml", "second"}});
  pkg_test::patch_name(&zip, "b.xml", "a.xml");
  ASSERT_EQ(open_bytes(zip), XLSX_OK);
  EXPECT_EQ(names(), (Names{"a.xml", "m.xml"}));
  EXPECT_EQ(entry("a.xml"), "second");
}

TEST_F(ArchiveTest, EntriesInflateOnDemandAndStayCached) {
  ASSERT_EQ(open_bytes(pkg_test::make_zip({{"s.xml", std::string(10000, 's'), true}, {"d.xml", "deflated"}})), XLSX_OK);
  EXPECT_EQ(xlsx_archive_entry_at(archive_, 0)->loaded, 0u);
  EXPECT_EQ(entry("s.xml"), std::string(10000, 's'));
  const char* first = nullptr;
  const char* again = nullptr;
  xlsx_archive_get_entry(archive_, "d.xml", &first, nullptr);
  xlsx_archive_get_entry(archive_, "d.xml", &again, nullptr);
  EXPECT_EQ(first, again);
  EXPECT_STREQ(first, "deflated");
  EXPECT_EQ(archive_->inflated_total, 10000u + 8u);
}

TEST_F(ArchiveTest, ReleasingOrReplacingDropsTheCachedChargeButNeverPutBytes) {
  ASSERT_EQ(open_bytes(pkg_test::make_zip({{"a", "alpha"}, {"b", "beta"}, {"c", std::string(500, 'c')}})), XLSX_OK);
  EXPECT_EQ(entry("a"), "alpha");
  xlsx_archive_release_entry(archive_, "a");
  EXPECT_EQ(xlsx_archive_entry_at(archive_, 0)->loaded, 0u);
  EXPECT_EQ(archive_->inflated_total, 0u);
  EXPECT_EQ(entry("a"), "alpha");
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "b", "put", 3), XLSX_OK);
  xlsx_archive_release_entry(archive_, "b");
  xlsx_archive_release_entry(archive_, "missing");
  xlsx_archive_release_entry(nullptr, "a");
  EXPECT_EQ(entry("b"), "put");
  entry("c");
  EXPECT_EQ(archive_->inflated_total, 5u + 500u);
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "c", "x", 1), XLSX_OK);
  EXPECT_EQ(archive_->inflated_total, 5u);
}

TEST_F(ArchiveTest, GetEntryArgumentsAndMissingNames) {
  ASSERT_EQ(open_bytes(pkg_test::make_zip({{"a", "x"}})), XLSX_OK);
  const char* data = nullptr;
  EXPECT_EQ(xlsx_archive_get_entry(archive_, "b", &data, nullptr), XLSX_ERR_NOT_FOUND);
  EXPECT_EQ(xlsx_archive_get_entry(archive_, nullptr, &data, nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_archive_get_entry(archive_, "a", nullptr, nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_archive_delete_entry(archive_, "a"), 1);
  EXPECT_EQ(xlsx_archive_get_entry(archive_, "a", &data, nullptr), XLSX_ERR_NOT_FOUND);
  EXPECT_EQ(xlsx_archive_delete_entry(archive_, "a"), 0);
}

TEST_F(ArchiveTest, PutKeepsPlaceOfExistingNameAndAppendsNewOnes) {
  ASSERT_EQ(open_bytes(pkg_test::make_zip({{"a", "1"}, {"b", "2"}, {"c", "3"}})), XLSX_OK);
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "b", "two", 3), XLSX_OK);
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "d", "four", 4), XLSX_OK);
  EXPECT_EQ(names(), (Names{"a", "b", "c", "d"}));
  EXPECT_EQ(entry("b"), "two");
  EXPECT_EQ(xlsx_archive_entry_at(archive_, 1)->modified, 1u);
  ASSERT_EQ(xlsx_archive_delete_entry(archive_, "a"), 1);
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "a", nullptr, 0), XLSX_OK);
  EXPECT_EQ(names(), (Names{"b", "c", "d", "a"}));
  EXPECT_EQ(entry("a"), "");
  EXPECT_EQ(xlsx_archive_put_entry(archive_, nullptr, "x", 1), XLSX_ERR_INVALID_ARG);
}

TEST_F(ArchiveTest, EmptyArchivesAndEmptyEntriesReadAndWriteAsEmpty) {
  EXPECT_EQ(write(), kEndRecordOnly);
  EXPECT_EQ(archive_->is_open, 1u);
  ASSERT_EQ(open_bytes(kEndRecordOnly), XLSX_OK);
  EXPECT_EQ(xlsx_archive_entry_count(archive_), 0u);
  ASSERT_EQ(open_bytes(pkg_test::make_zip({{"empty.xml", ""}})), XLSX_OK);
  const char* data = nullptr;
  uint32_t size = 1;
  ASSERT_EQ(xlsx_archive_get_entry(archive_, "empty.xml", &data, &size), XLSX_OK);
  EXPECT_STREQ(data, "");
  EXPECT_EQ(size, 0u);
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "e", nullptr, 0), XLSX_OK);
  std::string written = write();
  EXPECT_EQ(pkg_test::zip_names(written), (Names{"empty.xml", "e"}));
  EXPECT_EQ(pkg_test::zip_entry(written, "e"), "");
}

TEST_F(ArchiveTest, WriteCopiesUntouchedRecordsAndDeflatesChangedOnes) {
  std::string original = pkg_test::make_zip(
      {{"stored.bin", std::string(3000, 'z'), true}, {"keep.xml", "<a>keep</a>"}, {"change.xml", "<a>old</a>"}});
  ASSERT_EQ(open_bytes(original), XLSX_OK);
  entry("keep.xml");  // reading an entry does not make it changed
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "change.xml", "<a>new</a>", 10), XLSX_OK);
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "added.xml", std::string(5000, 'q').data(), 5000), XLSX_OK);
  std::string written = write();
  auto before = pkg_test::zip_records(original);
  auto after = pkg_test::zip_records(written);
  ASSERT_EQ(after.size(), 4u);
  EXPECT_EQ(after[0].raw, before[0].raw);
  EXPECT_EQ(after[0].method, 0);  // a stored record stays stored
  EXPECT_EQ(after[1].raw, before[1].raw);
  EXPECT_EQ(after[1].crc, before[1].crc);
  EXPECT_EQ(after[2].method, 8);
  EXPECT_EQ(pkg_test::zip_entry(written, "change.xml"), "<a>new</a>");
  EXPECT_EQ(after[3].name, "added.xml");
  EXPECT_LT(after[3].raw.size(), 100u);
  EXPECT_EQ(pkg_test::zip_entry(written, "added.xml"), std::string(5000, 'q'));
}

TEST_F(ArchiveTest, AfterWritingEveryEntryIsBoundToTheNewFileAndWritingAgainGivesTheSameBytes) {
  ASSERT_EQ(open_bytes(pkg_test::make_zip({{"a", "1"}, {"b", "2"}})), XLSX_OK);
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "c", "3", 1), XLSX_OK);
  std::string written = write("1.zip");
  EXPECT_EQ(names(), (Names{"a", "b", "c"}));
  for (uint32_t i = 0; i < 3; i++) {
    EXPECT_EQ(xlsx_archive_entry_at(archive_, i)->modified, 0u);
    EXPECT_EQ(xlsx_archive_entry_at(archive_, i)->loaded, 0u);
  }
  EXPECT_EQ(archive_->file_size, written.size());
  EXPECT_EQ(entry("c"), "3");
  EXPECT_EQ(write("2.zip"), written);
}

TEST_F(ArchiveTest, FailedWriteKeepsEntriesAndPutData) {
  ASSERT_EQ(open_bytes(pkg_test::make_zip({{"a", "1"}})), XLSX_OK);
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "a", "changed", 7), XLSX_OK);
  EXPECT_EQ(xlsx_archive_write(archive_, dir_.file("no/dir/out.zip").c_str()), XLSX_ERR_IO);
  EXPECT_EQ(xlsx_archive_entry_at(archive_, 0)->modified, 1u);
  EXPECT_EQ(entry("a"), "changed");
  EXPECT_EQ(pkg_test::zip_entry(write(), "a"), "changed");
}

TEST_F(ArchiveTest, OpenMemoryTakesAPrivateCopy) {
  std::string zip = pkg_test::make_zip({{"a", "memory"}});
  ASSERT_EQ(xlsx_archive_open_memory(archive_, zip.data(), uint32_t(zip.size())), XLSX_OK);
  zip.assign(zip.size(), 'x');
  EXPECT_EQ(entry("a"), "memory");
}

TEST_F(ArchiveTest, ResetEmptiesAndArchiveStaysUsable) {
  ASSERT_EQ(open_bytes(pkg_test::make_zip({{"a", "1"}})), XLSX_OK);
  xlsx_archive_reset(archive_);
  EXPECT_EQ(xlsx_archive_entry_count(archive_), 0u);
  EXPECT_EQ(archive_->is_open, 0u);
  EXPECT_EQ(get("a"), XLSX_ERR_NOT_FOUND);
  ASSERT_EQ(open_bytes(pkg_test::make_zip({{"b", "2"}})), XLSX_OK);
  EXPECT_EQ(entry("b"), "2");
  xlsx_archive_free(nullptr);
  xlsx_archive_reset(nullptr);
}

}  // namespace
