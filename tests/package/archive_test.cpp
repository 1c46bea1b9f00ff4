// The archive in memory: listing, inflating on demand within the caps, entries put, taken over and deleted,
// writing with untouched records copied as they are, the whole-file operations of a save failing at every
// step. Deflate of changed entries: the split form is one stream of the whole entry at any split point, the
// same bytes with or without threads, clean when memory or the worker fails, and entries over 3 GiB.
#include "lib/package/deflate.h"

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <sched.h>
#include <sys/mman.h>
#include <zlib.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "lib/base/alloc.h"
#include "lib/package/archive.h"
#include "tests/support/failing_files.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"
#include "tests/support/peak_memory.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip.h"

// clang links its sanitizer runtimes statically, operator new included: the test that replaces it is skipped.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define DEFLATE_TEST_KEEPS_RUNTIME_NEW 1
#endif
#endif

// Set to have the next global operator new refused with std::bad_alloc, as on a host out of memory.
static std::atomic<bool> g_refuse_next_new{false};
// Kept out of line so that the compiler does not pair a block from operator new with free() by itself.
[[gnu::noinline, maybe_unused]] static void release(void* block) { std::free(block); }

#ifndef DEFLATE_TEST_KEEPS_RUNTIME_NEW
// The global allocation functions of this test program: malloc and free, except that a test can have the
// next call of operator new throw (g_refuse_next_new). The library's other forms (arrays, nothrow, sized)
// call these, so every form pairs.
void* operator new(std::size_t size) {
  void* block = g_refuse_next_new.exchange(false) ? nullptr : std::malloc(size ? size : 1);
  if (!block) throw std::bad_alloc();
  return block;
}
void operator delete(void* block) noexcept { release(block); }
void operator delete(void* block, std::size_t) noexcept { release(block); }
#endif

namespace {

using namespace xlsx_test;
using Names = std::vector<std::string>;

// Worksheet-like rows (compressible, with long matches) followed by noise bytes that deflate cannot
// shrink.
std::string sample(uint32_t rows, uint32_t noise) {
  std::string out;
  for (uint32_t r = 1; r <= rows; r++) {
    std::string n = std::to_string(r);
    out += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + std::to_string(r * 7 % 1000) + "</v></c><c r=\"B" + n +
           "\" t=\"s\"><v>" + std::to_string(r % 100) + "</v></c></row>";
  }
  for (uint32_t i = 0, x = 11; i < noise; i++) {
    x = x * 1664525u + 1013904223u;
    out += static_cast<char>(x >> 24);
  }
  return out;
}

class ArchiveTest : public CountedTest {
 protected:
  void SetUp() override { CountedTest::SetUp(); ASSERT_NE(archive_ = xlsx_archive_new(), nullptr); }
  void TearDown() override { xlsx_archive_free(archive_); CountedTest::TearDown(); }
  xlsx_status open_bytes(const std::string& bytes) {
    write_bytes(dir_.file("in.zip"), bytes);
    return xlsx_archive_open(archive_, dir_.file("in.zip").c_str());
  }
  // The status of the lookup, and the entry's bytes into *out when given.
  xlsx_status get(const char* name, std::string* out = nullptr) {
    const char* data = nullptr;
    uint32_t size = 0;
    xlsx_status status = xlsx_archive_get_entry(archive_, name, &data, &size);
    if (status == XLSX_OK && out) *out = std::string(data, size);
    return status;
  }
  // The entry's bytes; fails the test when it cannot be had.
  std::string entry(const char* name) {
    std::string out;
    EXPECT_EQ(get(name, &out), XLSX_OK) << name;
    return out;
  }
  Names names() {
    Names out;
    for (uint32_t i = 0; i < xlsx_archive_entry_count(archive_); i++)
      out.push_back(xlsx_archive_entry_at(archive_, i)->name);
    return out;
  }
  std::string write(const char* name = "out.zip") {
    EXPECT_EQ(xlsx_archive_write(archive_, dir_.file(name).c_str()), XLSX_OK);
    return read_bytes(dir_.file(name));
  }
  TempDir dir_;
  XlsxArchive* archive_ = nullptr;
};

const std::string kEndRecordOnly = std::string("PK\x05\x06", 4) + std::string(18, '\0');

// Bytes that deflate cannot shrink much, so that their record is well above the size from which an entry
// is inflated in one call.
const std::string kNoisy = sample(0, 400000);

// A missing file is an I/O error, bytes that are not a ZIP a parse error; the archive stays closed.
TEST_F(ArchiveTest, OpenRefusesWhatIsNotAZip) {
  EXPECT_EQ(xlsx_archive_open(archive_, dir_.file("missing").c_str()), XLSX_ERR_IO);
  for (const std::string& bytes : {std::string(), std::string(21, 'x'), std::string(5000, 'x')})
    EXPECT_EQ(open_bytes(bytes), XLSX_ERR_PARSE) << bytes.size() << " bytes";
  EXPECT_EQ(archive_->is_open, 0u);
  EXPECT_EQ(xlsx_archive_open(nullptr, "x"), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_archive_open(archive_, nullptr), XLSX_ERR_INVALID_ARG);
}

// Entries are inflated on first request and cached, counted in the archive's total until released or
// replaced; put bytes are never dropped.
TEST_F(ArchiveTest, EntriesInflateOnDemandStayCachedAndAreReleased) {
  ASSERT_EQ(open_bytes(make_zip(
                {{"s.xml", std::string(10000, 's'), true}, {"d.xml", "deflated"}, {"b", "beta"}, {"e.xml", ""}})),
            XLSX_OK);
  EXPECT_EQ(xlsx_archive_entry_at(archive_, 0)->loaded, 0u);
  EXPECT_EQ(entry("s.xml"), std::string(10000, 's'));
  const char *first = nullptr, *again = nullptr;
  uint32_t size = 1;
  xlsx_archive_get_entry(archive_, "d.xml", &first, nullptr);
  xlsx_archive_get_entry(archive_, "d.xml", &again, nullptr);
  EXPECT_EQ(first, again);
  ASSERT_EQ(xlsx_archive_get_entry(archive_, "e.xml", &first, &size), XLSX_OK);
  EXPECT_TRUE(*first == '\0' && size == 0);
  EXPECT_EQ(archive_->inflated_total, 10000u + 8u);
  xlsx_archive_release_entry(archive_, "s.xml");
  EXPECT_TRUE(xlsx_archive_entry_at(archive_, 0)->loaded == 0 && archive_->inflated_total == 8);
  EXPECT_EQ(entry("s.xml"), std::string(10000, 's'));
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "b", "put", 3), XLSX_OK);
  xlsx_archive_release_entry(archive_, "b");  // put bytes are never dropped
  xlsx_archive_release_entry(archive_, "missing");
  xlsx_archive_release_entry(nullptr, "b");
  EXPECT_EQ(entry("b"), "put");
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "s.xml", "x", 1), XLSX_OK);
  EXPECT_EQ(archive_->inflated_total, 8u) << "a replaced entry gives its charge back";
  EXPECT_TRUE(get("missing") == XLSX_ERR_NOT_FOUND && get(nullptr) == XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_archive_get_entry(archive_, "b", nullptr, nullptr), XLSX_ERR_INVALID_ARG);
}

// Put copies, take hands the caller's block over without a copy (earlier and refused blocks are freed);
// entries keep their places, a deleted one put again goes last; all of it is written.
TEST_F(ArchiveTest, PutTakeAndDeleteKeepPlacesAndOwnTheirBlocks) {
  ASSERT_EQ(open_bytes(make_zip({{"a", "1"}, {"b", "2"}, {"c", "3"}})), XLSX_OK);
  char bytes[] = "two";
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "b", bytes, 3), XLSX_OK);
  bytes[0] = 'X';
  EXPECT_EQ(xlsx_archive_put_entry(archive_, "b", bytes, UINT32_MAX), XLSX_ERR_NO_MEMORY);
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "d", "four", 4), XLSX_OK);
  EXPECT_TRUE(entry("b") == "two" && xlsx_archive_entry_at(archive_, 1)->modified == 1);
  char* block = xlsx_strdup("<c>new</c>");
  uint32_t live = xlsx_live_allocations();
  ASSERT_EQ(xlsx_archive_take_entry(archive_, "c", block, 10), XLSX_OK);
  const char* data = nullptr;
  ASSERT_EQ(xlsx_archive_get_entry(archive_, "c", &data, nullptr), XLSX_OK);
  EXPECT_TRUE(data == block && xlsx_live_allocations() == live);
  ASSERT_EQ(xlsx_archive_take_entry(archive_, "c", xlsx_strdup("<c>again</c>"), 12), XLSX_OK);
  EXPECT_EQ(xlsx_live_allocations(), live);
  EXPECT_EQ(xlsx_archive_take_entry(nullptr, "c", xlsx_strdup("x"), 1), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_archive_take_entry(archive_, nullptr, xlsx_strdup("x"), 1), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_archive_take_entry(archive_, "c", nullptr, 3), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_live_allocations(), live);
  ASSERT_EQ(xlsx_archive_take_entry(archive_, "empty", nullptr, 0), XLSX_OK);
  uint32_t size = 1;
  ASSERT_EQ(xlsx_archive_get_entry(archive_, "empty", &data, &size), XLSX_OK);
  EXPECT_TRUE(*data == '\0' && size == 0);
  EXPECT_TRUE(xlsx_archive_get_entry(archive_, "empty", &data, nullptr) == XLSX_OK && *data == '\0');
  EXPECT_EQ(xlsx_archive_delete_entry(archive_, "a"), 1);
  EXPECT_TRUE(xlsx_archive_delete_entry(archive_, "a") == 0 && get("a") == XLSX_ERR_NOT_FOUND);
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "a", nullptr, 0), XLSX_OK);
  EXPECT_EQ(names(), (Names{"b", "c", "d", "empty", "a"}));
  EXPECT_EQ(xlsx_archive_put_entry(archive_, nullptr, "x", 1), XLSX_ERR_INVALID_ARG);
  std::string written = write();
  EXPECT_EQ(zip_names(written), (Names{"b", "c", "d", "empty", "a"}));
  EXPECT_TRUE(zip_entry(written, "c") == "<c>again</c>" && zip_entry(written, "empty").empty());
}

// A taken block is freed by the archive on every path: with the n-th allocation of the call failing (the
// name, the grown entry list, the name index), the call fails, the block is gone and the archive is as it was.
TEST_F(ArchiveTest, TakeUnderAllocationFailureFreesTheBlockAndChangesNothing) {
  ASSERT_EQ(open_bytes(make_zip({{"a.xml", "<a/>"}})), XLSX_OK);
  while (archive_->entries.count < archive_->entries.capacity)  // the next new entry grows the list
    ASSERT_EQ(xlsx_archive_put_entry(archive_, std::to_string(archive_->entries.count).c_str(), "", 0), XLSX_OK);
  const Names full = names();
  for (uint32_t n = 1;; n++) {
    ASSERT_LT(n, 100u);
    FaultAllocation fault(0);
    char* block = xlsx_strdup("<d/>");
    uint32_t live = xlsx_live_allocations();
    fault.fail_after(n);
    xlsx_status status = xlsx_archive_take_entry(archive_, "new.xml", block, 4);
    if (fault.failures() == 0) {
      ASSERT_EQ(status, XLSX_OK);
      EXPECT_GT(n, 1u);
      break;
    }
    EXPECT_EQ(status, XLSX_ERR_NO_MEMORY);
    EXPECT_EQ(xlsx_live_allocations(), live - 1) << "the block was not freed";
    EXPECT_EQ(names(), full);
  }
  for_each_allocation_failure([&](FaultAllocation& fault) {
    xlsx_status put = xlsx_archive_put_entry(archive_, "xl/put.xml", "<new/>", 6);
    fault.fail_after(0);
    if (put != XLSX_OK) EXPECT_FALSE(xlsx_archive_has_entry(archive_, "xl/put.xml"));
    else EXPECT_EQ(xlsx_archive_delete_entry(archive_, "xl/put.xml"), 1);
  });
}

// Untouched records (stored ones too) are copied as they are, changed and new entries are deflated;
// afterwards every entry is bound to the new file, and writing again gives the same bytes.
TEST_F(ArchiveTest, WriteCopiesUntouchedRecordsAndRebasesOnTheNewFile) {
  EXPECT_EQ(write("empty.zip"), kEndRecordOnly);
  ASSERT_EQ(open_bytes(kEndRecordOnly), XLSX_OK);
  EXPECT_EQ(xlsx_archive_entry_count(archive_), 0u);
  std::string original = make_zip(
      {{"stored.bin", std::string(3000, 'z'), true}, {"keep.xml", "<a>keep</a>"}, {"change.xml", "<a>old</a>"}});
  ASSERT_EQ(open_bytes(original), XLSX_OK);
  entry("keep.xml");  // reading an entry does not make it changed
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "change.xml", "<a>new</a>", 10), XLSX_OK);
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "added.xml", std::string(5000, 'q').data(), 5000), XLSX_OK);
  std::string written = write("1.zip");
  auto before = zip_records(original);
  auto after = zip_records(written);
  ASSERT_EQ(after.size(), 4u);
  EXPECT_TRUE(after[0].raw == before[0].raw && after[0].method == 0);
  EXPECT_TRUE(after[1].raw == before[1].raw && after[1].crc == before[1].crc);
  EXPECT_EQ(after[2].method, 8);
  EXPECT_EQ(zip_entry(written, "change.xml"), "<a>new</a>");
  EXPECT_LT(after[3].raw.size(), 100u);
  for (uint32_t i = 0; i < 4; i++)
    EXPECT_EQ(xlsx_archive_entry_at(archive_, i)->modified + xlsx_archive_entry_at(archive_, i)->loaded, 0u) << i;
  EXPECT_EQ(archive_->file_size, written.size());
  EXPECT_EQ(entry("added.xml"), std::string(5000, 'q'));
  EXPECT_EQ(write("2.zip"), written);
  // A write that fails keeps the entries and their put data.
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "keep.xml", "changed", 7), XLSX_OK);
  EXPECT_EQ(xlsx_archive_write(archive_, dir_.file("no/dir/out.zip").c_str()), XLSX_ERR_IO);
  EXPECT_EQ(entry("keep.xml"), "changed");
  EXPECT_EQ(zip_entry(write(), "keep.xml"), "changed");
}

TEST_F(ArchiveTest, OpenMemoryTakesAPrivateCopyAndResetEmpties) {
  std::string zip = make_zip({{"a", "memory"}});
  ASSERT_EQ(xlsx_archive_open_memory(archive_, zip.data(), uint32_t(zip.size())), XLSX_OK);
  zip.assign(zip.size(), 'x');
  EXPECT_EQ(entry("a"), "memory");
  xlsx_archive_reset(archive_);
  EXPECT_TRUE(xlsx_archive_entry_count(archive_) == 0 && archive_->is_open == 0 && get("a") == XLSX_ERR_NOT_FOUND);
  ASSERT_EQ(open_bytes(make_zip({{"b", "2"}})), XLSX_OK);
  EXPECT_EQ(entry("b"), "2");
  xlsx_archive_free(nullptr);
  xlsx_archive_reset(nullptr);
}

// Declared sizes are not trusted: a size stated other than the truth, of an entry inflated in one call or
// streamed, neither cuts the text short nor invents bytes nor is allocated as stated.
TEST_F(ArchiveTest, SizesStatedInTheFileAreNotTrusted) {
  const std::string& big = kNoisy;
  const std::string small_record(200000, 'b');  // compresses to a small record: the streaming path
  const struct { const std::string* text; uint32_t declared; } rows[] = {
      {&small_record, 10}, {&big, 1000}, {&big, uint32_t(big.size()) + 5000}, {&small_record, 0xFFFFFFF0u}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.text->size()) + " bytes declared as " + std::to_string(row.declared));
    std::string lying = make_zip({{"e.xml", *row.text}});
    patch_declared_size(&lying, "e.xml", row.declared);
    ASSERT_EQ(open_bytes(lying), XLSX_OK);
    std::string got;
    PeakMemory memory;
    xlsx_status status = get("e.xml", &got);
    // The ZIP library may refuse the inconsistent record; what it must not do is cut the text short.
    if (status == XLSX_OK) EXPECT_TRUE(got == *row.text) << got.size() << " bytes read";
    else EXPECT_EQ(status, XLSX_ERR_PARSE);
    xlsx_archive_release_entry(archive_, "e.xml");
    EXPECT_LT(memory.peak_bytes(), 4u << 20) << "allocation sized by the declared size";
  }
}

// The caps on inflated bytes: per entry (only entries beyond it are refused; a real bomb, well under 1 MiB
// of deflate inflating to 300 MiB of zeros, meets the default) and per archive (bytes cached now count); a
// damaged stream is refused; the archive stays usable.
TEST_F(ArchiveTest, InflatedBytesAreCappedPerEntryAndPerArchive) {
  const std::string& big = kNoisy;
  const std::string over(70000, 'x'), at(65536, 'e'), bomb(300u << 20, '\0');
  ASSERT_EQ(archive_->max_entry_size, 256u << 20) << "the default cap";
  const struct { const std::string* text; uint32_t cap; xlsx_status expected; } rows[] = {
      {&over, 65536, XLSX_ERR_PARSE}, {&at, 65536, XLSX_OK}, {&bomb, XLSX_ENTRY_MAX_INFLATED, XLSX_ERR_PARSE},
      {&big, uint32_t(big.size()) - 1, XLSX_ERR_PARSE}, {&big, uint32_t(big.size()), XLSX_OK}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.text->size()) + " bytes, cap " + std::to_string(row.cap));
    const std::string zip = make_zip({{"e.xml", *row.text}, {"fine.xml", "ok"}});
    ASSERT_LT(zip.size(), 1u << 20);
    ASSERT_EQ(open_bytes(zip), XLSX_OK);
    archive_->max_entry_size = row.cap;
    std::string got;
    EXPECT_EQ(get("e.xml", &got), row.expected);
    if (row.expected == XLSX_OK) EXPECT_TRUE(got == *row.text);
    else EXPECT_EQ(archive_->inflated_total, 0u);
    EXPECT_EQ(entry("fine.xml"), "ok");
  }
  ASSERT_EQ(open_bytes(make_zip({{"a", std::string(600, 'a')}, {"b", std::string(600, 'b')}})), XLSX_OK);
  archive_->max_total_size = 1000;
  EXPECT_EQ(get("a"), XLSX_OK);
  EXPECT_EQ(get("b"), XLSX_ERR_PARSE);
  ASSERT_EQ(xlsx_archive_delete_entry(archive_, "a"), 1);  // gives its 600 bytes back
  EXPECT_EQ(get("b"), XLSX_OK);
  std::string zip = make_zip({{"big.xml", big}, {"small.xml", "<s/>"}});
  std::string raw = zip_records(zip)[0].raw;
  size_t middle = zip.find(raw.substr(0, 64)) + raw.size() / 2;  // of the big entry's record
  for (size_t i = middle; i < middle + 16; i++) zip[i] = static_cast<char>(zip[i] ^ 0x5A);
  ASSERT_EQ(open_bytes(zip), XLSX_OK);
  EXPECT_EQ(get("big.xml"), XLSX_ERR_PARSE);
  EXPECT_EQ(archive_->inflated_total, 0u);
  EXPECT_EQ(entry("small.xml"), "<s/>");
}

using WholeFile = ArchiveTest;

// A whole file is read with a NUL after its bytes; writing truncates; failures are I/O errors.
TEST_F(WholeFile, ReadGivesTheBytesWithATrailingNulAndWriteTruncates) {
  for (const std::string& bytes : {std::string("ab\0c", 4), std::string()}) {
    write_bytes(dir_.file("f"), bytes);
    char* data = nullptr;
    uint32_t size = 99;
    ASSERT_EQ(xlsx_read_file(dir_.file("f").c_str(), &data, &size), XLSX_OK);
    EXPECT_TRUE(std::string(data, size) == bytes && data[size] == '\0');
    xlsx_free(data);
  }
  char* data = reinterpret_cast<char*>(1);
  uint32_t size = 5;
  EXPECT_EQ(xlsx_read_file(dir_.file("missing").c_str(), &data, &size), XLSX_ERR_IO);
  EXPECT_TRUE(data == nullptr && size == 0);
  EXPECT_EQ(xlsx_read_file(nullptr, &data, &size), XLSX_ERR_INVALID_ARG);
  std::string path = dir_.file("w");
  ASSERT_EQ(xlsx_write_file(path.c_str(), "long contents", 13), XLSX_OK);
  ASSERT_EQ(xlsx_write_file(path.c_str(), "short", 5), XLSX_OK);
  EXPECT_EQ(read_bytes(path), "short");
  ASSERT_EQ(xlsx_write_file(path.c_str(), nullptr, 0), XLSX_OK);
  EXPECT_EQ(read_bytes(path), "");
  EXPECT_EQ(xlsx_write_file(dir_.file("no/such/dir").c_str(), "x", 1), XLSX_ERR_IO);
}

// A save replaces its file through a new temporary file renamed over it. A failure of its writing (short,
// then none), closing or renaming keeps the old file byte for byte and removes the temporary file; a
// temporary name that cannot be created, or is taken, is passed over for the next.
TEST_F(WholeFile, ReplaceFailingAtEachStepKeepsTheOldFile) {
  std::string path = dir_.file("target.xlsx");
  const std::string old(100000, 'o'), replacement(200000, 'n');
  std::vector<std::string> failed;
  for (uint32_t step = 1;; step++) {
    write_bytes(path, old);
    xlsx_status status;
    {
      FailingFiles files(step);
      status = xlsx_replace_file(path.c_str(), replacement.data(), uint32_t(replacement.size()));
      if (files.failures() == 0) break;
      failed.push_back(files.failed_operation());
    }
    bool kept = failed.back() != "open";
    EXPECT_EQ(status, kept ? XLSX_ERR_IO : XLSX_OK) << failed.back();
    EXPECT_EQ(read_bytes(path), kept ? old : replacement) << failed.back();
    EXPECT_EQ(list_dir(dir_.path()), Names{"target.xlsx"}) << failed.back();
  }
  EXPECT_EQ(failed, (Names{"open", "write", "close", "rename"}));
  EXPECT_EQ(read_bytes(path), replacement);
  write_bytes(path + ".~0.tmp", "someone else's file");
  ASSERT_EQ(xlsx_replace_file(path.c_str(), "data", 4), XLSX_OK);
  EXPECT_EQ(read_bytes(path), "data");
  EXPECT_EQ(read_bytes(path + ".~0.tmp"), "someone else's file");
}

// The raw deflate stream inflated by zlib, which reads it as one stream (stopping at its final block), in
// pieces of 1 MiB handed to sink; the total size.
uint64_t inflate_raw(const char* bytes, uint32_t size, const std::function<void(const char*, size_t)>& sink) {
  z_stream s{};
  EXPECT_EQ(inflateInit2(&s, -15), Z_OK);
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes));
  s.avail_in = size;
  std::string piece(1u << 20, '\0');
  int result = Z_OK;
  while (result == Z_OK) {
    s.next_out = reinterpret_cast<Bytef*>(piece.data());
    s.avail_out = uInt(piece.size());
    result = inflate(&s, Z_NO_FLUSH);
    sink(piece.data(), piece.size() - s.avail_out);
  }
  EXPECT_EQ(result, Z_STREAM_END) << "the stream must end with its final block";
  EXPECT_EQ(s.avail_in, 0u) << "nothing may follow the final block";
  uint64_t total = s.total_out;
  inflateEnd(&s);
  return total;
}
std::string inflate_raw(const std::string& bytes) {
  std::string out;
  inflate_raw(bytes.data(), uint32_t(bytes.size()), [&](const char* piece, size_t n) { out.append(piece, n); });
  return out;
}

uint32_t crc_of(const std::string& data) {
  return uint32_t(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
}

class DeflateTest : public CountedTest {
 protected:
  void SetUp() override { CountedTest::SetUp(); ASSERT_NE(compressor_ = libdeflate_alloc_compressor(6), nullptr); }
  void TearDown() override { libdeflate_free_compressor(compressor_); CountedTest::TearDown(); }
  // One call: whether it succeeded and gave a block, the stream (the block is copied and freed), the CRC.
  struct Deflated { bool ok = false, gave_block = false; std::string bytes; uint32_t crc = 0; };
  Deflated deflate(const char* data, uint32_t size, uint32_t head) {
    Deflated result;
    char* out = nullptr;
    uint32_t out_size = 0;
    result.ok = xlsx_deflate(compressor_, data, size, head, &out, &out_size, &result.crc);
    result.gave_block = out != nullptr;
    if (out) result.bytes.assign(out, out_size);
    xlsx_free(out);
    return result;
  }
  // The same for data; fails the test when the call fails.
  Deflated deflated(const std::string& data, uint32_t head) {
    Deflated result = deflate(data.data(), uint32_t(data.size()), head);
    EXPECT_TRUE(result.ok);
    return result;
  }
  libdeflate_compressor* compressor_ = nullptr;
};

// Every split point gives one stream of the whole entry, the same bytes every time, with the CRC of the whole.
TEST_F(DeflateTest, EverySplitPointGivesOneStreamOfTheWholeEntry) {
  const std::string data = sample(3000, 5000);
  const uint32_t n = uint32_t(data.size());
  const Deflated whole = deflated(data, 0);
  EXPECT_EQ(whole.crc, crc_of(data));
  EXPECT_EQ(inflate_raw(whole.bytes), data);
  // Splits inside the rows, at a third, inside the noise, and at the first and last byte.
  for (uint32_t head : {1u, 17u, n / 3, n / 2, n - 3000, n - 1}) {
    const Deflated split = deflated(data, head);
    EXPECT_EQ(inflate_raw(split.bytes), data) << "head " << head;
    EXPECT_TRUE(split.crc == whole.crc && split.bytes != whole.bytes) << "head " << head << " must take the split form";
    EXPECT_EQ(deflated(data, head).bytes, split.bytes) << "the same bytes every time";
  }
  // A head of the whole entry or more is no split.
  EXPECT_TRUE(deflated(data, n).bytes == whole.bytes && deflated(data, n + 5).bytes == whole.bytes);
  EXPECT_EQ(inflate_raw(deflated("", 0).bytes), "") << "the empty entry is a stream";
}

// With any allocation failing the call fails, gives nothing and gives every block back.
TEST_F(DeflateTest, SplitUnderAllocationFailureFailsCleanly) {
  const std::string data = sample(2000, 0);
  const uint32_t head = uint32_t(data.size() / 3);
  EXPECT_GE(for_each_allocation_failure([&](FaultAllocation& fault) {
    uint32_t live = xlsx_live_allocations();
    const Deflated result = deflate(data.data(), uint32_t(data.size()), head);
    if (fault.failures() > 0) EXPECT_TRUE(!result.ok && !result.gave_block && xlsx_live_allocations() == live);
    else EXPECT_TRUE(result.ok && inflate_raw(result.bytes) == data);
  }), 2u) << "zlib's state and the output block are both counted allocations";
}

// Starting the worker can fail by an exception other than std::system_error: the thread's state is taken
// with operator new, which throws std::bad_alloc when memory is short. The head then runs in the caller;
// nothing escapes and nothing leaks.
TEST_F(DeflateTest, HeadRunsInTheCallerWhenTheWorkerCannotBeStarted) {
#ifdef DEFLATE_TEST_KEEPS_RUNTIME_NEW
  GTEST_SKIP() << "operator new belongs to the sanitizer runtime in this build";
#endif
  const std::string data = sample(5000, 3000);
  const uint32_t head = uint32_t(data.size() / 3);
  const std::string threaded = deflated(data, head).bytes;
  char* out = nullptr;
  uint32_t size = 0, crc = 0;
  bool ok = false;
  g_refuse_next_new = true;
  EXPECT_NO_THROW(ok = xlsx_deflate(compressor_, data.data(), uint32_t(data.size()), head, &out, &size, &crc));
  [[maybe_unused]] const bool refusal_unused = g_refuse_next_new.exchange(false);
#if defined(__GLIBCXX__) && !defined(XLSX_NO_THREADS)
  EXPECT_FALSE(refusal_unused) << "the worker's start was meant to meet the refused operator new";
#endif
  ASSERT_TRUE(ok);
  EXPECT_EQ(std::string(out, size), threaded) << "the same bytes as with the worker";
  EXPECT_EQ(crc, crc_of(data));
  xlsx_free(out);
}

// An entry may be as large as 4 GiB less a byte. Split at a third, one of 3.25 GiB needs room for a tail
// bound above 2 GiB: both pieces still fit one 32-bit block and the entry deflates as it did unsplit. The
// entry is read from zero pages, which take no memory; the stream is inflated piece by piece.
TEST_F(DeflateTest, EntryOfOverThreeGiBStillDeflatesWithAHead) {
  const uint32_t size = 0xD0000000u;
  void* pages = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (pages == MAP_FAILED) GTEST_SKIP() << "no address space for a 3.25 GiB entry";
  const Deflated big = deflate(static_cast<const char*>(pages), size, size / 3);
  ASSERT_TRUE(big.ok);
  const std::string zeros(1u << 20, '\0');
  bool only_zeros = true;
  uint64_t total = inflate_raw(big.bytes.data(), uint32_t(big.bytes.size()), [&](const char* piece, size_t n) {
    only_zeros = only_zeros && std::memcmp(piece, zeros.data(), n) == 0;
  });
  EXPECT_TRUE(total == size && only_zeros);
  // The CRC-32 of size zero bytes, joined from that of 1 MiB (size is a whole number of MiB).
  const uLong mib_crc = crc_of(zeros);
  uLong expected_crc = 0;
  for (uint32_t i = 0; i < size / zeros.size(); i++)
    expected_crc = crc32_combine(expected_crc, mib_crc, z_off_t(zeros.size()));
  EXPECT_EQ(big.crc, uint32_t(expected_crc));
  munmap(pages, size);
}

#if defined(__linux__)
// Small entries are never split, nor large ones while the thread may run on one processor only.
TEST(DeflateHeadSize, NoSplitOfSmallEntriesNorWithOneProcessor) {
  EXPECT_TRUE(xlsx_deflate_head_size(0) == 0 && xlsx_deflate_head_size(XLSX_DEFLATE_SPLIT_MINIMUM - 1) == 0);
  cpu_set_t before, one;
  ASSERT_EQ(sched_getaffinity(0, sizeof before, &before), 0);
  CPU_ZERO(&one);
  for (int cpu = 0; CPU_COUNT(&one) == 0 && cpu < CPU_SETSIZE; cpu++)
    if (CPU_ISSET(cpu, &before)) CPU_SET(cpu, &one);
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  const uint32_t head = xlsx_deflate_head_size(3 * XLSX_DEFLATE_SPLIT_MINIMUM);
  ASSERT_EQ(sched_setaffinity(0, sizeof before, &before), 0);
  EXPECT_EQ(head, 0u);
}
#endif

}  // namespace
