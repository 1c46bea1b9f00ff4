// The base layer's counted allocator, the out-of-memory report, counted copies, the default host table
// and the status texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lib/base/alloc.h"
#include "lib/base/host_ops.h"
#include "lib/base/status.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"

namespace {

using xlsx_test::FaultAllocation;
using CountedAlloc = xlsx_test::CountedTest;
using HostOps = xlsx_test::CountedTest;
const XlsxHostOps* ops() { return xlsx_default_host_ops(); }

TEST_F(CountedAlloc, CounterFollowsBlocksNotResizes) {
  uint32_t before = xlsx_live_allocations();
  void *a = xlsx_malloc(0), *b = xlsx_calloc(0, 8);
  ASSERT_TRUE(a && b && a != b);
  void* c = xlsx_realloc(xlsx_realloc(nullptr, 10), 20);
  xlsx_free(nullptr);
  EXPECT_EQ(xlsx_live_allocations(), before + 3);
  for (void* p : {a, b, c}) xlsx_free(p);
  EXPECT_EQ(xlsx_live_allocations(), before);
}

// Each failure reports its size once; a failed resize keeps the old block; a size product beyond 32
// bits fails before the host is asked.
TEST_F(CountedAlloc, FailuresReportTheSizeOnceAndKeepTheOldBlock) {
  char* kept = xlsx_strdup("abc");
  {
    FaultAllocation fault(1, true);
    EXPECT_TRUE(xlsx_malloc(0) == nullptr && fault.last_report() == 1u);
    EXPECT_TRUE(xlsx_realloc(kept, 1000) == nullptr && fault.last_report() == 1000u);
    EXPECT_TRUE(!xlsx_memdup("abc", 3) && !xlsx_strdup("abc") && !xlsx_strndup("abc", 2));
    EXPECT_EQ(fault.reports(), 5u);
    uint32_t calls = fault.calls();
    EXPECT_TRUE(xlsx_calloc(0x10000, 0x10001) == nullptr && fault.calls() == calls);
    EXPECT_EQ(fault.last_report(), 0xFFFFFFFFu);
  }
  EXPECT_STREQ(kept, "abc");
  xlsx_free(kept);
}

std::string g_printed;

// The report goes to the host's console unless a handler takes it; formatting goes through the host.
TEST_F(CountedAlloc, TheReportIsPrintedThroughTheHostUnlessAHandlerTakesIt) {
  const XlsxHostOps saved = *xlsx_host_ops();
  XlsxHostOps refusing = saved;
  refusing.print_formatted = [](const char* format, va_list args) {
    char buffer[256];
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    g_printed += buffer;
    return n;
  };
  refusing.malloc_fn = [](uint32_t) -> void* { return nullptr; };
  refusing.calloc_fn = [](uint32_t, uint32_t) -> void* { return nullptr; };
  g_printed.clear();
  xlsx_set_host_ops(&refusing);
  EXPECT_EQ(xlsx_calloc(3, 100), nullptr);
  xlsx_set_oom_handler([](uint32_t) {});
  EXPECT_EQ(xlsx_malloc(77), nullptr);
  EXPECT_NE(xlsx_oom_handler(), xlsx_default_oom_handler);
  xlsx_set_oom_handler(nullptr);
  xlsx_default_oom_handler(4000000000u);
  EXPECT_EQ(g_printed,
            "Gridwerk-C: out of memory (requested 300 bytes)\n"
            "Gridwerk-C: out of memory (requested 4000000000 bytes)\n");
  char buffer[4];
  EXPECT_TRUE(xlsx_snprintf(buffer, sizeof buffer, "%s", "abcdef") == 6 && std::string(buffer) == "abc");
  EXPECT_EQ(xlsx_printf("%s=%u", "rows", 3u), 6);
  xlsx_set_host_ops(&saved);
  EXPECT_EQ(g_printed.substr(g_printed.size() - 6), "rows=3");
}

// A copy reads at most its n bytes (the unterminated row) and is always terminated; null copies null.
TEST_F(CountedAlloc, CopiesTakeAtMostTheirBytes) {
  EXPECT_TRUE(!xlsx_memdup(nullptr, 4) && !xlsx_strdup(nullptr) && !xlsx_strndup(nullptr, 3));
  const char unterminated[3] = {'x', 'y', 'z'};
  const struct { const char *text, *expected; uint32_t n; } table[] = {
      {"abcdef", "abc", 3}, {"ab", "ab", 10}, {"", "", 5}, {"abc", "", 0}, {unterminated, "xyz", 3}};
  for (const auto& row : table) {
    char* copy = xlsx_strndup(row.text, row.n);
    EXPECT_STREQ(copy, row.expected);
    xlsx_free(copy);
  }
  const unsigned char bytes[] = {1, 0, 2, 255};
  void* copy = xlsx_memdup(bytes, 4);
  void* empty = xlsx_memdup(bytes, 0);
  EXPECT_TRUE(std::memcmp(copy, bytes, 4) == 0 && *static_cast<char*>(empty) == '\0');
  xlsx_free(copy);
  xlsx_free(empty);
}

// The target's `long` has 32 bits: numbers clamp to it; case folding is ASCII only.
TEST_F(HostOps, NumbersClampToTheTargetsLongAndCaseFoldingIsAscii) {
  char* end = nullptr;
  EXPECT_TRUE(ops()->text_to_long("99999999999", &end, 10) == INT32_MAX && *end == '\0');
  EXPECT_EQ(ops()->text_to_long("-99999999999", nullptr, 10), INT32_MIN);
  EXPECT_TRUE(ops()->text_to_long(" 42x", &end, 10) == 42 && std::string(end) == "x");
  EXPECT_NE(ops()->text_equals_nocase("TRUE", "true"), 0);
  EXPECT_FALSE(ops()->text_equals_nocase("true", "tru") || ops()->text_equals_nocase("[", "{") ||
               ops()->text_equals_nocase("\xC4", "\xE4"));
}

// Files: create-new refuses an existing file and an unknown mode is refused; deleting twice fails.
TEST_F(HostOps, CreateNewAndUnknownModesAreRefused) {
  xlsx_test::TempDir dir;
  std::string path = dir.file("book.xlsx");
  xlsx_test::write_bytes(path, "old contents");
  EXPECT_EQ(ops()->open_file(path.c_str(), XLSX_FILE_CREATE_NEW), nullptr) << "exists already";
  EXPECT_EQ(ops()->open_file(dir.file("x").c_str(), 7), nullptr) << "unknown mode";
  void* out = ops()->open_file(dir.file("new").c_str(), XLSX_FILE_CREATE_NEW);
  ASSERT_NE(out, nullptr);
  EXPECT_TRUE(ops()->write_file(out, "0123456789", 10) == 10 && ops()->close_file(out) == 0);
  EXPECT_EQ(xlsx_test::read_bytes(dir.file("new")), "0123456789");
  EXPECT_TRUE(ops()->delete_file(path.c_str()) == 0 && ops()->delete_file(path.c_str()) != 0);
}

// Every status has its text; the error record takes the text or a formatted message, cut to its size.
TEST_F(HostOps, StatusTextsAndTheErrorRecord) {
  const char* texts[] = {"OK", "I/O error", "parse error", "value type error", "not found", "invalid argument",
                         "unsupported", "out of memory", "internal error", "unknown error"};
  for (xlsx_status code = 0; code <= 9; ++code) EXPECT_STREQ(xlsx_status_text(code), texts[code]) << code;
  XlsxError err;
  std::memset(&err, 'x', sizeof err);
  EXPECT_TRUE(xlsx_error_set(&err, 4, nullptr) == 4 && std::string(err.message) == "not found");
  EXPECT_EQ(xlsx_error_set(&err, XLSX_ERR_PARSE, "line %d: %s", 12, "bad tag"), XLSX_ERR_PARSE);
  EXPECT_STREQ(err.message, "line 12: bad tag");
  xlsx_error_set(&err, XLSX_ERR_IO, "%s", std::string(400, 'a').c_str());
  EXPECT_EQ(std::strlen(err.message), sizeof err.message - 1);
  EXPECT_EQ(xlsx_error_set(nullptr, 7, nullptr), 7u);
  xlsx_error_clear(&err);
  EXPECT_TRUE(err.code == XLSX_OK && err.message[0] == '\0');
  xlsx_error_clear(nullptr);
}

}  // namespace
