// The archive held in memory: listing, inflating on demand within the caps, entries put, taken over and
// deleted, writing with untouched records copied as they are, and the whole-file operations a save goes
// through, failing at every file operation.
#include "tests/package/package_fixture.h"
#include "tests/support/failing_files.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/peak_memory.h"

namespace {

const std::string kEndRecordOnly = std::string("PK\x05\x06", 4) + std::string(18, '\0');

// Bytes that deflate cannot shrink much, so that their record is well above the size from which an entry
// is inflated in one call.
const std::string kNoisy = sample(0, 400000);

// A missing file is an I/O error, bytes that are not a ZIP a parse error; the archive stays closed.
TEST_F(ArchiveTest, OpenRefusesWhatIsNotAZip) {
  EXPECT_EQ(xlsx_archive_open(archive_, dir_.file("missing").c_str()), XLSX_ERR_IO);
  for (const std::string& bytes : {std::string(), std::string(21, 'x'), std::string(5000, 'x')}) {
    EXPECT_EQ(open_bytes(bytes), XLSX_ERR_PARSE) << bytes.size() << " bytes";
  }
  EXPECT_EQ(archive_->is_open, 0u);
  EXPECT_EQ(xlsx_archive_open(nullptr, "x"), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_archive_open(archive_, nullptr), XLSX_ERR_INVALID_ARG);
}

// Entries are inflated on first request and cached, counted in the archive's total until released or
// replaced; put bytes are never dropped.
TEST_F(ArchiveTest, EntriesInflateOnDemandStayCachedAndAreReleased) {
  ASSERT_EQ(open_bytes(xlsx_test::make_zip(
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
  ASSERT_EQ(open_bytes(xlsx_test::make_zip({{"a", "1"}, {"b", "2"}, {"c", "3"}})), XLSX_OK);
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
  EXPECT_EQ(xlsx_test::zip_names(written), (Names{"b", "c", "d", "empty", "a"}));
  EXPECT_TRUE(xlsx_test::zip_entry(written, "c") == "<c>again</c>" && xlsx_test::zip_entry(written, "empty").empty());
}

// A taken block is freed by the archive on every path: with the n-th allocation of the call failing (the
// name, the grown entry list, the name index), the call fails, the block is gone and the archive is as it was.
TEST_F(ArchiveTest, TakeUnderAllocationFailureFreesTheBlockAndChangesNothing) {
  ASSERT_EQ(open_bytes(xlsx_test::make_zip({{"a.xml", "<a/>"}})), XLSX_OK);
  while (archive_->entries.count < archive_->entries.capacity) {  // the next new entry grows the list
    ASSERT_EQ(xlsx_archive_put_entry(archive_, std::to_string(archive_->entries.count).c_str(), "", 0), XLSX_OK);
  }
  const Names full = names();
  for (uint32_t n = 1;; n++) {
    ASSERT_LT(n, 100u);
    xlsx_test::FaultAllocation fault(0);
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
  xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
    xlsx_status put = xlsx_archive_put_entry(archive_, "xl/put.xml", "<new/>", 6);
    fault.fail_after(0);
    if (put != XLSX_OK) {
      EXPECT_FALSE(xlsx_archive_has_entry(archive_, "xl/put.xml"));
    } else {
      EXPECT_EQ(xlsx_archive_delete_entry(archive_, "xl/put.xml"), 1);
    }
  });
}

// Untouched records (stored ones too) are copied as they are, changed and new entries are deflated;
// afterwards every entry is bound to the new file, and writing again gives the same bytes.
TEST_F(ArchiveTest, WriteCopiesUntouchedRecordsAndRebasesOnTheNewFile) {
  EXPECT_EQ(write("empty.zip"), kEndRecordOnly);
  ASSERT_EQ(open_bytes(kEndRecordOnly), XLSX_OK);
  EXPECT_EQ(xlsx_archive_entry_count(archive_), 0u);
  std::string original = xlsx_test::make_zip(
      {{"stored.bin", std::string(3000, 'z'), true}, {"keep.xml", "<a>keep</a>"}, {"change.xml", "<a>old</a>"}});
  ASSERT_EQ(open_bytes(original), XLSX_OK);
  entry("keep.xml");  // reading an entry does not make it changed
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "change.xml", "<a>new</a>", 10), XLSX_OK);
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "added.xml", std::string(5000, 'q').data(), 5000), XLSX_OK);
  std::string written = write("1.zip");
  auto before = xlsx_test::zip_records(original);
  auto after = xlsx_test::zip_records(written);
  ASSERT_EQ(after.size(), 4u);
  EXPECT_TRUE(after[0].raw == before[0].raw && after[0].method == 0);
  EXPECT_TRUE(after[1].raw == before[1].raw && after[1].crc == before[1].crc);
  EXPECT_EQ(after[2].method, 8);
  EXPECT_EQ(xlsx_test::zip_entry(written, "change.xml"), "<a>new</a>");
  EXPECT_LT(after[3].raw.size(), 100u);
  for (uint32_t i = 0; i < 4; i++) {
    EXPECT_EQ(xlsx_archive_entry_at(archive_, i)->modified + xlsx_archive_entry_at(archive_, i)->loaded, 0u);
  }
  EXPECT_EQ(archive_->file_size, written.size());
  EXPECT_EQ(entry("added.xml"), std::string(5000, 'q'));
  EXPECT_EQ(write("2.zip"), written);
  // A write that fails keeps the entries and their put data.
  ASSERT_EQ(xlsx_archive_put_entry(archive_, "keep.xml", "changed", 7), XLSX_OK);
  EXPECT_EQ(xlsx_archive_write(archive_, dir_.file("no/dir/out.zip").c_str()), XLSX_ERR_IO);
  EXPECT_EQ(entry("keep.xml"), "changed");
  EXPECT_EQ(xlsx_test::zip_entry(write(), "keep.xml"), "changed");
}

// An archive opened from memory keeps a private copy; reset empties it for another open.
TEST_F(ArchiveTest, OpenMemoryTakesAPrivateCopyAndResetEmpties) {
  std::string zip = xlsx_test::make_zip({{"a", "memory"}});
  ASSERT_EQ(xlsx_archive_open_memory(archive_, zip.data(), uint32_t(zip.size())), XLSX_OK);
  zip.assign(zip.size(), 'x');
  EXPECT_EQ(entry("a"), "memory");
  xlsx_archive_reset(archive_);
  EXPECT_TRUE(xlsx_archive_entry_count(archive_) == 0 && archive_->is_open == 0 && get("a") == XLSX_ERR_NOT_FOUND);
  ASSERT_EQ(open_bytes(xlsx_test::make_zip({{"b", "2"}})), XLSX_OK);
  EXPECT_EQ(entry("b"), "2");
  xlsx_archive_free(nullptr);
  xlsx_archive_reset(nullptr);
}

// Declared sizes are not trusted: a size stated other than the truth, of an entry inflated in one call or
// streamed, neither cuts the text short nor invents bytes nor is allocated as stated.
TEST_F(ArchiveTest, SizesStatedInTheFileAreNotTrusted) {
  const std::string& big = kNoisy;
  const std::string small_record(200000, 'b');  // compresses to a small record: the streaming path
  const struct {
    const std::string* text;
    uint32_t declared;
  } rows[] = {{&small_record, 10}, {&big, 1000}, {&big, uint32_t(big.size()) + 5000}, {&small_record, 0xFFFFFFF0u}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.text->size()) + " bytes declared as " + std::to_string(row.declared));
    std::string lying = xlsx_test::make_zip({{"e.xml", *row.text}});
    xlsx_test::patch_declared_size(&lying, "e.xml", row.declared);
    ASSERT_EQ(open_bytes(lying), XLSX_OK);
    std::string got;
    xlsx_test::PeakMemory memory;
    xlsx_status status = get("e.xml", &got);
    // The ZIP library may refuse the inconsistent record; what it must not do is cut the text short.
    if (status == XLSX_OK) {
      EXPECT_TRUE(got == *row.text) << got.size() << " bytes read";
    } else {
      EXPECT_EQ(status, XLSX_ERR_PARSE);
    }
    xlsx_archive_release_entry(archive_, "e.xml");
    EXPECT_LT(memory.peak_bytes(), 4u << 20) << "allocation sized by the declared size";
  }
}

// The caps on inflated bytes: per entry (only entries beyond it are refused) and per archive (bytes
// cached now count); a damaged stream is refused; the archive stays usable.
TEST_F(ArchiveTest, InflatedBytesAreCappedPerEntryAndPerArchive) {
  const std::string& big = kNoisy;
  const std::string over(70000, 'x'), at(65536, 'e');
  const struct {
    const std::string* text;
    uint32_t cap;
    xlsx_status expected;
  } rows[] = {{&over, 65536, XLSX_ERR_PARSE}, {&at, 65536, XLSX_OK},
              {&big, uint32_t(big.size()) - 1, XLSX_ERR_PARSE}, {&big, uint32_t(big.size()), XLSX_OK}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.text->size()) + " bytes, cap " + std::to_string(row.cap));
    ASSERT_EQ(open_bytes(xlsx_test::make_zip({{"e.xml", *row.text}, {"fine.xml", "ok"}})), XLSX_OK);
    archive_->max_entry_size = row.cap;
    std::string got;
    EXPECT_EQ(get("e.xml", &got), row.expected);
    if (row.expected == XLSX_OK) {
      EXPECT_TRUE(got == *row.text);
    } else {
      EXPECT_EQ(archive_->inflated_total, 0u);
    }
    EXPECT_EQ(entry("fine.xml"), "ok");
  }
  ASSERT_EQ(open_bytes(xlsx_test::make_zip({{"a", std::string(600, 'a')}, {"b", std::string(600, 'b')}})), XLSX_OK);
  archive_->max_total_size = 1000;
  EXPECT_EQ(get("a"), XLSX_OK);
  EXPECT_EQ(get("b"), XLSX_ERR_PARSE);
  ASSERT_EQ(xlsx_archive_delete_entry(archive_, "a"), 1);  // gives its 600 bytes back
  EXPECT_EQ(get("b"), XLSX_OK);
  std::string zip = xlsx_test::make_zip({{"big.xml", big}, {"small.xml", "<s/>"}});
  std::string raw = xlsx_test::zip_records(zip)[0].raw;
  size_t start = zip.find(raw.substr(0, 64));
  for (size_t i = raw.size() / 2; i < raw.size() / 2 + 16; i++) zip[start + i] = static_cast<char>(zip[start + i] ^ 0x5A);
  ASSERT_EQ(open_bytes(zip), XLSX_OK);
  EXPECT_EQ(get("big.xml"), XLSX_ERR_PARSE);
  EXPECT_EQ(archive_->inflated_total, 0u);
  EXPECT_EQ(entry("small.xml"), "<s/>");
}

// A real bomb: well under 1 MiB of deflate that inflates to 300 MiB of zeros, beyond the default cap.
TEST_F(ArchiveTest, DeflateBombBeyondTheDefaultCapIsRefused) {
  ASSERT_EQ(XLSX_ENTRY_MAX_INFLATED, 256u << 20);
  const std::string zip = xlsx_test::make_zip({{"bomb.xml", std::string(300u << 20, '\0')}, {"ok.xml", "fine"}});
  ASSERT_LT(zip.size(), 1u << 20);
  ASSERT_EQ(open_bytes(zip), XLSX_OK);
  EXPECT_EQ(get("bomb.xml"), XLSX_ERR_PARSE);
  EXPECT_EQ(archive_->inflated_total, 0u);
  EXPECT_EQ(get("ok.xml"), XLSX_OK);
}

using WholeFile = ArchiveTest;

// A whole file is read with a NUL after its bytes; writing truncates; failures are I/O errors.
TEST_F(WholeFile, ReadGivesTheBytesWithATrailingNulAndWriteTruncates) {
  for (const std::string& bytes : {std::string("ab\0c", 4), std::string()}) {
    xlsx_test::write_bytes(dir_.file("f"), bytes);
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
  EXPECT_EQ(xlsx_test::read_bytes(path), "short");
  ASSERT_EQ(xlsx_write_file(path.c_str(), nullptr, 0), XLSX_OK);
  EXPECT_EQ(xlsx_test::read_bytes(path), "");
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
    xlsx_test::write_bytes(path, old);
    xlsx_status status;
    {
      xlsx_test::FailingFiles files(step);
      status = xlsx_replace_file(path.c_str(), replacement.data(), uint32_t(replacement.size()));
      if (files.failures() == 0) break;
      failed.push_back(files.failed_operation());
    }
    bool kept = failed.back() != "open";
    EXPECT_EQ(status, kept ? XLSX_ERR_IO : XLSX_OK) << failed.back();
    EXPECT_EQ(xlsx_test::read_bytes(path), kept ? old : replacement) << failed.back();
    EXPECT_EQ(xlsx_test::list_dir(dir_.path()), Names{"target.xlsx"}) << failed.back();
  }
  EXPECT_EQ(failed, (Names{"open", "write", "close", "rename"}));
  EXPECT_EQ(xlsx_test::read_bytes(path), replacement);
  xlsx_test::write_bytes(path + ".~0.tmp", "someone else's file");
  ASSERT_EQ(xlsx_replace_file(path.c_str(), "data", 4), XLSX_OK);
  EXPECT_EQ(xlsx_test::read_bytes(path), "data");
  EXPECT_EQ(xlsx_test::read_bytes(path + ".~0.tmp"), "someone else's file");
}

}  // namespace
