// Large deflated entries, which the archive inflates in one call: their bytes come back exactly, and a
// record that is not what it states (sizes, damaged stream) is still read or refused as any other.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "lib/package/archive.h"
#include "tests/package/package_test_util.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"

namespace {

// Text that deflate cannot shrink much (a 32-bit generator's digits and letters), so that the compressed
// record is well above the size from which the one-call path is taken.
std::string noisy_text(uint32_t n, uint32_t seed) {
  std::string text(n, ' ');
  uint32_t x = seed;
  for (uint32_t i = 0; i < n; i++) {
    x = x * 1664525u + 1013904223u;
    text[i] = static_cast<char>('0' + (x >> 24) % 75);
  }
  return text;
}

class ArchiveLargeEntryTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    archive_ = xlsx_archive_new();
    ASSERT_NE(archive_, nullptr);
    big_ = noisy_text(400000, 7);
  }
  void TearDown() override {
    xlsx_archive_free(archive_);
    CountedTest::TearDown();
  }
  xlsx_status open_zip(const std::string& zip) {
    std::string path = dir_.file("in.zip");
    pkg_test::write_bytes(path, zip);
    return xlsx_archive_open(archive_, path.c_str());
  }
  xlsx_status get(const char* name, std::string* out) {
    const char* data = nullptr;
    uint32_t size = 0;
    xlsx_status status = xlsx_archive_get_entry(archive_, name, &data, &size);
    if (status == XLSX_OK) *out = std::string(data, size);
    return status;
  }

  xlsx_test::TempDir dir_;
  XlsxArchive* archive_ = nullptr;
  std::string big_;
};

TEST_F(ArchiveLargeEntryTest, LargeEntryInflatesToItsExactBytes) {
  std::string zip = pkg_test::make_zip({{"big.xml", big_}, {"small.xml", "<s/>"}});
  ASSERT_GE(pkg_test::zip_records(zip)[0].raw.size(), 64u * 1024u) << "the record must take the one-call path";
  ASSERT_EQ(open_zip(zip), XLSX_OK);
  std::string got;
  ASSERT_EQ(get("big.xml", &got), XLSX_OK);
  EXPECT_EQ(got, big_);
  EXPECT_EQ(archive_->inflated_total, big_.size());
  ASSERT_EQ(get("small.xml", &got), XLSX_OK);
  EXPECT_EQ(got, "<s/>");
  // Dropped and asked for again: inflated anew, the same bytes.
  xlsx_archive_release_entry(archive_, "big.xml");
  EXPECT_EQ(archive_->inflated_total, 4u);
  ASSERT_EQ(get("big.xml", &got), XLSX_OK);
  EXPECT_EQ(got, big_);
}

TEST_F(ArchiveLargeEntryTest, StatedSizeBelowTheTruthStillGivesEveryByte) {
  std::string zip = pkg_test::make_zip({{"big.xml", big_}});
  pkg_test::patch_declared_size(&zip, "big.xml", 1000);
  ASSERT_EQ(open_zip(zip), XLSX_OK);
  std::string got;
  xlsx_status status = get("big.xml", &got);
  // The ZIP library may refuse the inconsistent record; what it must not do is cut the text short.
  if (status == XLSX_OK) EXPECT_EQ(got, big_);
  else EXPECT_EQ(status, XLSX_ERR_PARSE);
}

TEST_F(ArchiveLargeEntryTest, StatedSizeAboveTheTruthNeverInventsBytes) {
  std::string zip = pkg_test::make_zip({{"big.xml", big_}});
  pkg_test::patch_declared_size(&zip, "big.xml", uint32_t(big_.size()) + 5000);
  ASSERT_EQ(open_zip(zip), XLSX_OK);
  std::string got;
  xlsx_status status = get("big.xml", &got);
  if (status == XLSX_OK) EXPECT_EQ(got, big_);
  else EXPECT_EQ(status, XLSX_ERR_PARSE);
}

TEST_F(ArchiveLargeEntryTest, DamagedStreamIsRefusedAndTheArchiveStaysUsable) {
  std::string zip = pkg_test::make_zip({{"big.xml", big_}, {"small.xml", "<s/>"}});
  // Flip bytes in the middle of the big record's compressed data: the stream or its CRC no longer match.
  std::string raw = pkg_test::zip_records(zip)[0].raw;
  size_t at = zip.find(raw.substr(0, 64));
  ASSERT_NE(at, std::string::npos);
  for (size_t i = raw.size() / 2; i < raw.size() / 2 + 16; i++) zip[at + i] = static_cast<char>(zip[at + i] ^ 0x5A);
  ASSERT_EQ(open_zip(zip), XLSX_OK);
  std::string got;
  EXPECT_EQ(get("big.xml", &got), XLSX_ERR_PARSE);
  EXPECT_EQ(archive_->inflated_total, 0u);
  ASSERT_EQ(get("small.xml", &got), XLSX_OK);
  EXPECT_EQ(got, "<s/>");
}

TEST_F(ArchiveLargeEntryTest, EntryCapAppliesToTheOneCallPath) {
  std::string zip = pkg_test::make_zip({{"big.xml", big_}});
  ASSERT_EQ(open_zip(zip), XLSX_OK);
  archive_->max_entry_size = uint32_t(big_.size()) - 1;
  std::string got;
  EXPECT_EQ(get("big.xml", &got), XLSX_ERR_PARSE);
  EXPECT_EQ(archive_->inflated_total, 0u);
  archive_->max_entry_size = uint32_t(big_.size());
  ASSERT_EQ(get("big.xml", &got), XLSX_OK);
  EXPECT_EQ(got, big_);
}

TEST_F(ArchiveLargeEntryTest, WritingCopiesTheLargeRecordAndReadsBackTheSame) {
  std::string zip = pkg_test::make_zip({{"big.xml", big_}, {"small.xml", "<s/>"}});
  ASSERT_EQ(open_zip(zip), XLSX_OK);
  std::string got;
  ASSERT_EQ(get("big.xml", &got), XLSX_OK);
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "small.xml", "<t/>", 4), XLSX_OK);
  std::string path = dir_.file("out.zip");
  ASSERT_EQ(xlsx_archive_write(archive_, path.c_str()), XLSX_OK);
  std::string written = pkg_test::read_bytes(path);
  EXPECT_EQ(pkg_test::zip_records(written)[0].raw, pkg_test::zip_records(zip)[0].raw);
  ASSERT_EQ(get("big.xml", &got), XLSX_OK);  // re-based on the written file
  EXPECT_EQ(got, big_);
  EXPECT_EQ(pkg_test::zip_entry(written, "small.xml"), "<t/>");
}

}  // namespace
