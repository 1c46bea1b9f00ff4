// Entry sizes: declared sizes are not trusted, inflated sizes are capped (per entry and in total), and
// large deflated entries, which the archive inflates in one call, come back exactly. A small crafted file
// can neither make the library allocate what it claims nor inflate without bound.
#include <libdeflate.h>

#include "tests/package/archive_fixture.h"

namespace {

// Text that deflate cannot shrink much (a 32-bit generator's digits and letters), so that the compressed
// record is well above the size from which the one-call path is taken.
const std::string& noisy_text() {
  static const std::string text = [] {
    std::string out(400000, ' ');
    uint32_t x = 7;
    for (char& c : out) {
      x = x * 1664525u + 1013904223u;
      c = static_cast<char>('0' + (x >> 24) % 75);
    }
    return out;
  }();
  return text;
}

class ArchiveSizesTest : public ArchiveTest {
 protected:
  const std::string& big_ = noisy_text();
};

TEST_F(ArchiveSizesTest, LargeEntryInflatesToItsExactBytesAndIsCopiedWhenWritten) {
  std::string zip = pkg_test::make_zip({{"big.xml", big_}, {"small.xml", "<s/>"}});
  ASSERT_GE(pkg_test::zip_records(zip)[0].raw.size(), 64u * 1024u) << "the record must take the one-call path";
  ASSERT_EQ(open_bytes(zip), XLSX_OK);
  EXPECT_EQ(entry("big.xml"), big_);
  EXPECT_EQ(archive_->inflated_total, big_.size());
  EXPECT_EQ(entry("small.xml"), "<s/>");
  // Dropped and asked for again: inflated anew, the same bytes.
  xlsx_archive_release_entry(archive_, "big.xml");
  EXPECT_EQ(archive_->inflated_total, 4u);
  EXPECT_EQ(entry("big.xml"), big_);
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "small.xml", "<t/>", 4), XLSX_OK);
  std::string written = write();
  EXPECT_EQ(pkg_test::zip_records(written)[0].raw, pkg_test::zip_records(zip)[0].raw);
  EXPECT_EQ(entry("big.xml"), big_);  // re-based on the written file
  EXPECT_EQ(pkg_test::zip_entry(written, "small.xml"), "<t/>");
}

TEST_F(ArchiveSizesTest, StatedSizeOtherThanTheTruthNeverCutsShortOrInventsBytes) {
  const std::string small_path(200000, 'b');  // compresses to a small record: the streaming path
  const struct {
    const std::string* text;
    uint32_t declared;
  } rows[] = {{&small_path, 10}, {&big_, 1000}, {&big_, uint32_t(big_.size()) + 5000}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.text->size()) + " bytes declared as " + std::to_string(row.declared));
    std::string zip = pkg_test::make_zip({{"e.xml", *row.text}});
    pkg_test::patch_declared_size(&zip, "e.xml", row.declared);
    ASSERT_EQ(open_bytes(zip), XLSX_OK);
    std::string got;
    xlsx_status status = get("e.xml", &got);
    // The ZIP library may refuse the inconsistent record; what it must not do is cut the text short.
    if (status == XLSX_OK) EXPECT_TRUE(got == *row.text) << got.size() << " bytes read";
    else EXPECT_EQ(status, XLSX_ERR_PARSE);
  }
}

TEST_F(ArchiveSizesTest, HugeDeclaredSizeIsNotAllocated) {
  std::string zip = pkg_test::make_zip({{"small.xml", std::string(1000, 'a')}});
  pkg_test::patch_declared_size(&zip, "small.xml", 0xFFFFFFF0u);
  ASSERT_EQ(xlsx_archive_open_memory(archive_, zip.data(), uint32_t(zip.size())), XLSX_OK);
  pkg_test::LargestAllocation largest;
  EXPECT_NE(get("small.xml"), XLSX_ERR_NO_MEMORY);
  EXPECT_LT(largest.largest(), 1u << 20) << "allocation sized by the declared size";
}

TEST_F(ArchiveSizesTest, EntryCapRefusesOnlyTheEntriesBeyondIt) {
  const std::string over(70000, 'x'), at(65536, 'e');
  const struct {
    const std::string* text;
    uint32_t cap;
    xlsx_status expected;
  } rows[] = {{&over, 65536, XLSX_ERR_PARSE}, {&at, 65536, XLSX_OK},
              {&big_, uint32_t(big_.size()) - 1, XLSX_ERR_PARSE}, {&big_, uint32_t(big_.size()), XLSX_OK}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.text->size()) + " bytes, cap " + std::to_string(row.cap));
    ASSERT_EQ(open_bytes(pkg_test::make_zip({{"e.xml", *row.text}, {"fine.xml", "ok"}})), XLSX_OK);
    archive_->max_entry_size = row.cap;
    std::string got;
    EXPECT_EQ(get("e.xml", &got), row.expected);
    if (row.expected == XLSX_OK) EXPECT_TRUE(got == *row.text) << got.size() << " bytes read";
    else EXPECT_EQ(archive_->inflated_total, 0u);
    EXPECT_EQ(entry("fine.xml"), "ok");
  }
}

TEST_F(ArchiveSizesTest, DamagedStreamIsRefusedAndTheArchiveStaysUsable) {
  std::string zip = pkg_test::make_zip({{"big.xml", big_}, {"small.xml", "<s/>"}});
  // Flip bytes in the middle of the big record's compressed data: the stream or its CRC no longer match.
  std::string raw = pkg_test::zip_records(zip)[0].raw;
  size_t at = zip.find(raw.substr(0, 64));
  ASSERT_NE(at, std::string::npos);
  for (size_t i = raw.size() / 2; i < raw.size() / 2 + 16; i++) zip[at + i] = static_cast<char>(zip[at + i] ^ 0x5A);
  ASSERT_EQ(open_bytes(zip), XLSX_OK);
  EXPECT_EQ(get("big.xml"), XLSX_ERR_PARSE);
  EXPECT_EQ(archive_->inflated_total, 0u);
  EXPECT_EQ(entry("small.xml"), "<s/>");
}

TEST_F(ArchiveSizesTest, ArchiveTotalCapCountsLiveCachedBytes) {
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

TEST_F(ArchiveSizesTest, DeflateBombBeyondTheDefaultCapIsRefused) {
  ASSERT_EQ(XLSX_ENTRY_MAX_INFLATED, 256u << 20);
  std::string zip = deflate_bomb_zip();
  ASSERT_LT(zip.size(), 1u << 20);
  ASSERT_EQ(open_bytes(zip), XLSX_OK);
  EXPECT_EQ(get("bomb.xml"), XLSX_ERR_PARSE);
  EXPECT_EQ(archive_->inflated_total, 0u);
  EXPECT_EQ(get("ok.xml"), XLSX_OK);
}

}  // namespace
