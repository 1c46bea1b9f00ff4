// Deflate of changed entries: the split form (two libdeflate pieces joined) is one valid stream of the
// whole entry at every split point, its bytes do not depend on the threads, it fails cleanly when memory
// runs out, it survives a worker that cannot be started, and it holds entries of over 3 GiB.
#include "lib/package/deflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <sched.h>
#include <sys/mman.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>

#include "tests/package/package_fixture.h"
#include "tests/support/fault_alloc.h"

// clang links the runtime of its address and thread sanitizers statically, operator new included: a
// program built so cannot replace it, and the test that needs the replacement is skipped there.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define DEFLATE_TEST_KEEPS_RUNTIME_NEW 1
#endif
#endif

namespace {

// Set to have the next call of the global operator new refused with std::bad_alloc, as on a host out of
// memory.
std::atomic<bool> g_refuse_next_new{false};

// Kept out of line so that the compiler does not pair a block from operator new with free() by itself.
[[gnu::noinline, maybe_unused]] void release(void* block) { std::free(block); }

}  // namespace

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

class DeflateTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override { CountedTest::SetUp(); ASSERT_NE(compressor_ = libdeflate_alloc_compressor(6), nullptr); }
  void TearDown() override { libdeflate_free_compressor(compressor_); CountedTest::TearDown(); }
  // The deflated bytes of data with the given head; fails the test when the call fails.
  std::string deflated(const std::string& data, uint32_t head, uint32_t* crc = nullptr) {
    char* out = nullptr;
    uint32_t size = 0, sum = 0;
    EXPECT_TRUE(xlsx_deflate(compressor_, data.data(), uint32_t(data.size()), head, &out, &size, &sum));
    std::string bytes(out ? out : "", size);
    xlsx_free(out);
    if (crc) *crc = sum;
    return bytes;
  }
  libdeflate_compressor* compressor_ = nullptr;
};

// Every split point gives one stream of the whole entry, the same bytes every time, with the CRC of the whole.
TEST_F(DeflateTest, EverySplitPointGivesOneStreamOfTheWholeEntry) {
  const std::string data = sample(3000, 5000);
  const uint32_t n = uint32_t(data.size());
  uint32_t whole_crc = 0;
  const std::string whole = deflated(data, 0, &whole_crc);
  EXPECT_EQ(whole_crc, crc_of(data));
  EXPECT_EQ(inflate_raw(whole), data);
  // Splits inside the rows, at a third, inside the noise, and at the first and last byte.
  for (uint32_t head : {1u, 17u, n / 3, n / 2, n - 3000, n - 1}) {
    uint32_t crc = 0;
    const std::string split = deflated(data, head, &crc);
    EXPECT_EQ(inflate_raw(split), data) << "head " << head;
    EXPECT_TRUE(crc == whole_crc && split != whole) << "head " << head << " must take the split form";
    EXPECT_EQ(deflated(data, head), split) << "the same bytes every time";
  }
  // A head of the whole entry or more is no split.
  EXPECT_TRUE(deflated(data, n) == whole && deflated(data, n + 5) == whole);
  EXPECT_EQ(inflate_raw(deflated("", 0)), "") << "the empty entry is a stream";
}

// With any allocation failing the call fails, gives nothing and gives every block back.
TEST_F(DeflateTest, SplitUnderAllocationFailureFailsCleanly) {
  const std::string data = sample(2000, 0);
  const uint32_t head = uint32_t(data.size() / 3);
  EXPECT_GE(xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
    uint32_t live = xlsx_live_allocations();
    char* out = nullptr;
    uint32_t size = 0, crc = 0;
    bool ok = xlsx_deflate(compressor_, data.data(), uint32_t(data.size()), head, &out, &size, &crc);
    if (fault.failures() > 0) {
      EXPECT_TRUE(!ok && out == nullptr && xlsx_live_allocations() == live);
    } else {
      ASSERT_TRUE(ok);
      EXPECT_EQ(inflate_raw(std::string(out, size)), data);
      xlsx_free(out);
    }
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
  const std::string threaded = deflated(data, head);
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
  if (pages == MAP_FAILED) {
    GTEST_SKIP() << "no address space for a 3.25 GiB entry";
  }
  const char* data = static_cast<const char*>(pages);
  char* out = nullptr;
  uint32_t out_size = 0, crc = 0;
  ASSERT_TRUE(xlsx_deflate(compressor_, data, size, size / 3, &out, &out_size, &crc));
  const std::string zeros(1u << 20, '\0');
  bool only_zeros = true;
  uint64_t total = inflate_raw(out, out_size, [&](const char* piece, size_t n) {
    only_zeros = only_zeros && std::memcmp(piece, zeros.data(), n) == 0;
  });
  EXPECT_TRUE(total == size && only_zeros);
  // The CRC-32 of size zero bytes, joined from that of 1 MiB (size is a whole number of MiB).
  const uLong mib_crc = crc_of(zeros);
  uLong expected_crc = 0;
  for (uint32_t i = 0; i < size / zeros.size(); i++) expected_crc = crc32_combine(expected_crc, mib_crc, z_off_t(zeros.size()));
  EXPECT_EQ(crc, uint32_t(expected_crc));
  xlsx_free(out);
  munmap(pages, size);
}

#if defined(__linux__)
// Small entries are never split, nor large ones while the thread may run on one processor only.
TEST(DeflateHeadSize, NoSplitOfSmallEntriesNorWithOneProcessor) {
  EXPECT_TRUE(xlsx_deflate_head_size(0) == 0 && xlsx_deflate_head_size(XLSX_DEFLATE_SPLIT_MINIMUM - 1) == 0);
  cpu_set_t before, one;
  ASSERT_EQ(sched_getaffinity(0, sizeof before, &before), 0);
  CPU_ZERO(&one);
  for (int cpu = 0; CPU_COUNT(&one) == 0 && cpu < CPU_SETSIZE; cpu++) {
    if (CPU_ISSET(cpu, &before)) CPU_SET(cpu, &one);
  }
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  const uint32_t head = xlsx_deflate_head_size(3 * XLSX_DEFLATE_SPLIT_MINIMUM);
  ASSERT_EQ(sched_setaffinity(0, sizeof before, &before), 0);
  EXPECT_EQ(head, 0u);
}
#endif

}  // namespace
