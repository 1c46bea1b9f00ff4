// Declared entry sizes are not trusted and inflated sizes are capped, so a small crafted file can
// neither make the library allocate what it claims nor inflate without bound.
#include <gtest/gtest.h>
#include <libdeflate.h>

#include "lib/base/alloc.h"
#include "lib/package/archive.h"
#include "tests/package/package_test_util.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"

namespace {

class UntrustedSizesTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    archive_ = xlsx_archive_new();
  }
  void TearDown() override {
    xlsx_archive_free(archive_);
    CountedTest::TearDown();
  }
  xlsx_status open_bytes(const std::string& bytes) {
    return xlsx_archive_open_memory(archive_, bytes.data(), uint32_t(bytes.size()));
  }
  xlsx_status get(const char* name, uint32_t* size = nullptr) {
    const char* data = nullptr;
    return xlsx_archive_get_entry(archive_, name, &data, size);
  }
  XlsxArchive* archive_ = nullptr;
};

TEST_F(UntrustedSizesTest, HugeDeclaredSizeIsNotAllocated) {
  std::string zip = pkg_test::make_zip({{"small.xml", std::string(1000, 'a')}});
  pkg_test::patch_declared_size(&zip, "small.xml", 0xFFFFFFF0u);
  ASSERT_EQ(open_bytes(zip), XLSX_OK);
  pkg_test::LargestAllocation largest;
  xlsx_status status = get("small.xml");
  EXPECT_NE(status, XLSX_ERR_NO_MEMORY);
  EXPECT_LT(largest.largest(), 1u << 20) << "allocation sized by the declared size";
}

TEST_F(UntrustedSizesTest, SmallDeclaredSizeDoesNotTruncateOrOverrun) {
  std::string zip = pkg_test::make_zip({{"big.xml", std::string(200000, 'b')}});
  pkg_test::patch_declared_size(&zip, "big.xml", 10);
  ASSERT_EQ(open_bytes(zip), XLSX_OK);
  uint32_t size = 0;
  xlsx_status status = get("big.xml", &size);
  // Either the inconsistency is detected, or the real bytes are read in full; never a short read.
  if (status == XLSX_OK) EXPECT_EQ(size, 200000u);
  else EXPECT_EQ(status, XLSX_ERR_PARSE);
}

TEST_F(UntrustedSizesTest, EntryBeyondTheEntryCapFailsToLoadAndOthersStillLoad) {
  std::string zip = pkg_test::make_zip({{"bomb.xml", std::string(70000, 'x')}, {"fine.xml", "ok"}});
  ASSERT_EQ(open_bytes(zip), XLSX_OK);
  archive_->max_entry_size = 65536;
  EXPECT_EQ(get("bomb.xml"), XLSX_ERR_PARSE);
  EXPECT_EQ(archive_->inflated_total, 0u);
  uint32_t size = 0;
  EXPECT_EQ(get("fine.xml", &size), XLSX_OK);
  EXPECT_EQ(size, 2u);
}

TEST_F(UntrustedSizesTest, EntryExactlyAtTheCapLoads) {
  ASSERT_EQ(open_bytes(pkg_test::make_zip({{"edge.xml", std::string(65536, 'e')}})), XLSX_OK);
  archive_->max_entry_size = 65536;
  uint32_t size = 0;
  EXPECT_EQ(get("edge.xml", &size), XLSX_OK);
  EXPECT_EQ(size, 65536u);
}

TEST_F(UntrustedSizesTest, ArchiveTotalCapCountsLiveCachedBytes) {
  ASSERT_EQ(open_bytes(pkg_test::make_zip({{"a", std::string(600, 'a')}, {"b", std::string(600, 'b')}})), XLSX_OK);
  archive_->max_total_size = 1000;
  EXPECT_EQ(get("a"), XLSX_OK);
  EXPECT_EQ(get("b"), XLSX_ERR_PARSE);
  ASSERT_EQ(xlsx_archive_delete_entry(archive_, "a"), 1);  // gives its 600 bytes back
  EXPECT_EQ(get("b"), XLSX_OK);
}

// A real bomb: about 300 KB of deflate that inflates to 300 MiB of zeros, beyond the default cap.
std::string deflate_bomb_zip() {
  const size_t inflated = 300u << 20;
  std::string zeros(inflated, '\0');
  libdeflate_compressor* c = libdeflate_alloc_compressor(1);
  std::string raw(libdeflate_deflate_compress_bound(c, inflated), '\0');
  raw.resize(libdeflate_deflate_compress(c, zeros.data(), inflated, raw.data(), raw.size()));
  uint32_t crc = uint32_t(libdeflate_crc32(0, zeros.data(), inflated));
  libdeflate_free_compressor(c);
  // Wrap the raw stream in a ZIP: make a placeholder entry of the same compressed size, then patch.
  std::string zip = pkg_test::make_zip({{"bomb.xml", std::string(raw.size(), 'p'), true}, {"ok.xml", "fine"}});
  size_t local = zip.find("PK\x03\x04");
  size_t data_at = local + 30 + 8;  // header + name "bomb.xml"
  zip.replace(data_at, raw.size(), raw);
  auto put16 = [&](size_t at, uint16_t v) { zip[at] = char(v & 0xFF); zip[at + 1] = char(v >> 8); };
  auto put32 = [&](size_t at, uint32_t v) { for (int i = 0; i < 4; i++) zip[at + i] = char((v >> (8 * i)) & 0xFF); };
  size_t central = zip.find("PK\x01\x02");
  put16(local + 8, 8);
  put32(local + 14, crc);
  put32(local + 22, uint32_t(inflated));
  put16(central + 10, 8);
  put32(central + 16, crc);
  put32(central + 24, uint32_t(inflated));
  return zip;
}

TEST_F(UntrustedSizesTest, DeflateBombBeyondTheDefaultCapIsRefused) {
  ASSERT_EQ(XLSX_ENTRY_MAX_INFLATED, 256u << 20);
  std::string zip = deflate_bomb_zip();
  ASSERT_LT(zip.size(), 1u << 20);
  ASSERT_EQ(open_bytes(zip), XLSX_OK);
  EXPECT_EQ(get("bomb.xml"), XLSX_ERR_PARSE);
  EXPECT_EQ(archive_->inflated_total, 0u);
  EXPECT_EQ(get("ok.xml"), XLSX_OK);
}

}  // namespace
