// Library-level benchmark of the spreadsheet model on the shared workload: row r (1..R) holds
//   A r  B r*1.5+0.25  C "item-"(r%100)  D "name-"r  E r%2==0  F (r*7)%1000  G r/3.0  H (r*13)%10007  I r*0.001  J -r
// Modes (each checks its own result and prints one "RESULT key=value ..." line):
//   write R OUT      every cell through xlsx_sheet_cell + xlsx_cell_set_value in reading order, then save;
//                    the saved file is opened again and its checksum compared
//   read FILE R      open, then every cell in reading order (xlsx_sheet_find_cell + xlsx_cell_get_value)
//   random FILE R N  open (shared strings included), then N cells at random positions, each value compared
//                    with the workload
// The floors under these figures (page faults, random-load latency, deflate) are bench/floors' to measure.
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/regions.h"
#include "lib/base/host_ops.h"
#include "lib/document/document.h"
#include "lib/sheet/cell.h"
#include "lib/sheet/workbook.h"
#include "lib/sheet/worksheet.h"

namespace {

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long peak_rss_kb() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// The workload value of (r, c) into v (c 1..10).
void expected_value(uint32_t r, uint32_t c, XlsxCellValue* v, char* text) {
  double rd = r;
  switch (c) {
    case 1: xlsx_value_set_int(v, r); break;
    case 2: xlsx_value_set_float(v, rd * 1.5 + 0.25); break;
    case 3: std::snprintf(text, 32, "item-%u", r % 100); xlsx_value_set_string(v, text); break;
    case 4: std::snprintf(text, 32, "name-%u", r); xlsx_value_set_string(v, text); break;
    case 5: xlsx_value_set_bool(v, r % 2 == 0); break;
    case 6: xlsx_value_set_int(v, (r * 7) % 1000); break;
    case 7: xlsx_value_set_float(v, rd / 3.0); break;
    case 8: xlsx_value_set_int(v, (static_cast<uint64_t>(r) * 13) % 10007); break;
    case 9: xlsx_value_set_float(v, rd * 0.001); break;
    default: xlsx_value_set_int(v, -static_cast<int64_t>(r)); break;
  }
}

struct Checksum {
  double numbers = 0;
  uint64_t text_length = 0;
  uint64_t trues = 0;
  uint64_t cells = 0;
  void add(const XlsxCellValue& v) {
    switch (v.type) {
      case XLSX_VALUE_INTEGER: numbers += static_cast<double>(v.integer); break;
      case XLSX_VALUE_FLOAT: numbers += v.number; break;
      case XLSX_VALUE_BOOLEAN: trues += v.boolean; break;
      case XLSX_VALUE_STRING: text_length += std::strlen(v.text ? v.text : ""); break;
      default: break;
    }
    if (v.type != XLSX_VALUE_EMPTY) cells++;
  }
  // Integers stored as numbers by other writers read back as integers too (a whole-number text).
  bool same(const Checksum& o) const {
    return std::fabs(numbers - o.numbers) <= 1e-6 * std::fabs(o.numbers) + 1e-6 && text_length == o.text_length &&
           trues == o.trues && cells == o.cells;
  }
};

Checksum expected_checksum(uint32_t rows) {
  Checksum sum;
  XlsxCellValue v;
  xlsx_value_init(&v);
  char text[32];
  for (uint32_t r = 1; r <= rows; r++)
    for (uint32_t c = 1; c <= 10; c++) {
      expected_value(r, c, &v, text);
      sum.add(v);
    }
  xlsx_value_reset(&v);
  return sum;
}

bool open_sheet(XlsxDocument* doc, const char* path, XlsxWorksheet* ws) {
  if (xlsx_document_open(doc, path) != XLSX_OK) return false;
  return xlsx_workbook_worksheet_at(xlsx_document_workbook(doc), 1, ws) == XLSX_OK;
}

Checksum read_all(XlsxWorksheet* ws, uint32_t rows, bool* ok) {
  Checksum sum;
  XlsxCellValue v;
  xlsx_value_init(&v);
  *ok = true;
  for (uint32_t r = 1; r <= rows; r++)
    for (uint32_t c = 1; c <= 10; c++) {
      XlsxCell cell;
      if (xlsx_sheet_find_cell(ws, r, c, &cell) != XLSX_OK || xlsx_cell_get_value(&cell, &v) != XLSX_OK) *ok = false;
      else sum.add(v);
    }
  xlsx_value_reset(&v);
  return sum;
}

int write_mode(uint32_t rows, const char* out) {
  double t0 = now();
  XlsxDocument* doc = xlsx_document_new();
  XlsxWorksheet ws;
  if (xlsx_document_create(doc, out) != XLSX_OK || !open_sheet(doc, out, &ws)) return 1;
  double t1 = now();
  XlsxCellValue v;
  xlsx_value_init(&v);
  char text[32];
  for (uint32_t r = 1; r <= rows; r++)
    for (uint32_t c = 1; c <= 10; c++) {
      XlsxCell cell;
      expected_value(r, c, &v, text);
      if (xlsx_sheet_cell(&ws, r, c, &cell) != XLSX_OK || xlsx_cell_set_value(&cell, &v) != XLSX_OK) return 1;
    }
  xlsx_value_reset(&v);
  double t2 = now();
  if (xlsx_document_save(doc) != XLSX_OK) return 1;
  double t3 = now();
  xlsx_document_free(doc);
  long rss = peak_rss_kb();
  // Read back what was written.
  doc = xlsx_document_new();
  bool ok = open_sheet(doc, out, &ws);
  Checksum got = ok ? read_all(&ws, rows, &ok) : Checksum{};
  xlsx_document_free(doc);
  ok = ok && got.same(expected_checksum(rows));
  std::printf("RESULT mode=write rows=%u total_s=%.3f fill_s=%.3f save_s=%.3f ns_per_cell=%.1f peak_mb=%.1f check=%s\n", rows,
              t3 - t0, t2 - t1, t3 - t2, (t2 - t1) * 1e9 / (rows * 10.0), rss / 1024.0, ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}

int read_mode(const char* path, uint32_t rows) {
  double t0 = now();
  XlsxDocument* doc = xlsx_document_new();
  XlsxWorksheet ws;
  bool ok = open_sheet(doc, path, &ws);
  // The first lookup parses the worksheet part: counted as part of opening.
  XlsxCell first;
  ok = ok && xlsx_sheet_find_cell(&ws, 1, 1, &first) == XLSX_OK;
  double t1 = now();
  Checksum got = ok ? read_all(&ws, rows, &ok) : Checksum{};
  double t2 = now();
  xlsx_document_free(doc);
  ok = ok && got.same(expected_checksum(rows));
  std::printf("RESULT mode=read rows=%u total_s=%.3f open_parse_s=%.3f cells_s=%.3f ns_per_cell=%.1f peak_mb=%.1f "
              "check=%s (sum=%.6g texts=%llu trues=%llu cells=%llu)\n",
              rows, t2 - t0, t1 - t0, t2 - t1, (t2 - t1) * 1e9 / (rows * 10.0), peak_rss_kb() / 1024.0, ok ? "ok" : "FAILED",
              got.numbers, static_cast<unsigned long long>(got.text_length), static_cast<unsigned long long>(got.trues),
              static_cast<unsigned long long>(got.cells));
  return ok ? 0 : 1;
}

int random_mode(const char* path, uint32_t rows, uint32_t count) {
  double t0 = now();
  XlsxDocument* doc = xlsx_document_new();
  XlsxWorksheet ws;
  bool ok = open_sheet(doc, path, &ws);
  // The shared strings are read at open, as the script layer's Open does.
  ok = ok && xlsx_sst_ensure_loaded(xlsx_document_shared_strings(doc)) == XLSX_OK;
  XlsxCell cell;
  ok = ok && xlsx_sheet_find_cell(&ws, 1, 1, &cell) == XLSX_OK;
  double t1 = now();
  uint32_t* positions = static_cast<uint32_t*>(std::malloc(count * 2 * sizeof(uint32_t)));
  uint64_t state = 12345;
  for (uint32_t i = 0; i < count; i++) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    positions[2 * i] = 1 + static_cast<uint32_t>((state >> 33) % rows);
    positions[2 * i + 1] = 1 + static_cast<uint32_t>((state >> 13) % 10);
  }
  XlsxCellValue v, want;
  xlsx_value_init(&v);
  xlsx_value_init(&want);
  Checksum got;
  double t2 = now();
  for (uint32_t i = 0; i < count && ok; i++) {
    if (xlsx_sheet_find_cell(&ws, positions[2 * i], positions[2 * i + 1], &cell) != XLSX_OK ||
        xlsx_cell_get_value(&cell, &v) != XLSX_OK)
      ok = false;
    got.add(v);
  }
  double t3 = now();
  // Check every value read against the workload (outside the timed loop).
  char text[32];
  for (uint32_t i = 0; i < count && ok; i++) {
    xlsx_sheet_find_cell(&ws, positions[2 * i], positions[2 * i + 1], &cell);
    xlsx_cell_get_value(&cell, &v);
    expected_value(positions[2 * i], positions[2 * i + 1], &want, text);
    bool numeric = (want.type == XLSX_VALUE_FLOAT || want.type == XLSX_VALUE_INTEGER) &&
                   (v.type == XLSX_VALUE_FLOAT || v.type == XLSX_VALUE_INTEGER);
    double a = v.type == XLSX_VALUE_FLOAT ? v.number : static_cast<double>(v.integer);
    double b = want.type == XLSX_VALUE_FLOAT ? want.number : static_cast<double>(want.integer);
    bool same = numeric ? std::fabs(a - b) <= 1e-12 * std::fabs(b) : xlsx_value_equal(&v, &want);
    if (!same) {
      ok = false;
      std::printf("mismatch at row %u column %u: type %u / %u\n", positions[2 * i], positions[2 * i + 1], v.type, want.type);
    }
  }
  xlsx_value_reset(&v);
  xlsx_value_reset(&want);
  std::free(positions);
  xlsx_document_free(doc);
  std::printf("RESULT mode=random rows=%u cells=%u open_parse_s=%.3f lookups_s=%.4f ns_per_cell=%.1f peak_mb=%.1f check=%s\n",
              rows, count, t1 - t0, t3 - t2, (t3 - t2) * 1e9 / count, peak_rss_kb() / 1024.0, ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}

void* region_malloc(uint32_t size) {
  return RegionObtain(size, false);
}

void* region_calloc(uint32_t count, uint32_t size) {
  return RegionObtain(size_t(count) * size, true);
}

void* region_realloc(void* block, uint32_t size) {
  return RegionResize(block, size);
}

// The library gets its memory the way korvadel gives it to the plugin (host/regions.h).
void use_host_memory() {
  XlsxHostOps ops = *xlsx_default_host_ops();
  ops.malloc_fn = region_malloc;
  ops.calloc_fn = region_calloc;
  ops.realloc_fn = region_realloc;
  ops.free_fn = RegionRelease;
  xlsx_set_host_ops(&ops);
}

}  // namespace

int main(int argc, char** argv) {
  use_host_memory();
  if (argc >= 4 && !std::strcmp(argv[1], "write")) return write_mode(static_cast<uint32_t>(std::atoi(argv[2])), argv[3]);
  if (argc >= 4 && !std::strcmp(argv[1], "read")) return read_mode(argv[2], static_cast<uint32_t>(std::atoi(argv[3])));
  if (argc >= 5 && !std::strcmp(argv[1], "random"))
    return random_mode(argv[2], static_cast<uint32_t>(std::atoi(argv[3])), static_cast<uint32_t>(std::atoi(argv[4])));
  std::fprintf(stderr, "usage: sheet_bench write R OUT | read FILE R | random FILE R N\n");
  return 2;
}
