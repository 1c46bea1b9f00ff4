// Parses and writes a generated worksheet part of rows x 10 cells (numbers and shared-string indexes, the
// shape spreadsheet applications write) and measures, in the same run, zlib's raw deflate of the same
// bytes at level 6. Reports times, peak RSS, and the blocks and bytes per cell of the parsed tree.
// Usage: xml_bench [rows] [repetitions]
#include <malloc.h>
#include <sys/resource.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lib/base/alloc.h"
#include "lib/base/host_ops.h"
#include "lib/xml/parser.h"
#include "lib/xml/writer.h"

namespace {

// Bytes held by the library's live blocks, counted by a host table around the C allocator.
size_t g_live_bytes = 0;

void* counting_malloc(uint32_t size) {
  void* block = malloc(size);
  if (block) g_live_bytes += malloc_usable_size(block);
  return block;
}

void* counting_calloc(uint32_t count, uint32_t size) {
  void* block = calloc(count, size);
  if (block) g_live_bytes += malloc_usable_size(block);
  return block;
}

void* counting_realloc(void* block, uint32_t size) {
  size_t before = block ? malloc_usable_size(block) : 0;
  void* resized = realloc(block, size);
  if (resized) g_live_bytes += malloc_usable_size(resized) - before;
  return resized;
}

void counting_free(void* block) {
  if (block) g_live_bytes -= malloc_usable_size(block);
  free(block);
}

void install_counting_allocator() {
  XlsxHostOps ops = *xlsx_default_host_ops();
  ops.malloc_fn = counting_malloc;
  ops.calloc_fn = counting_calloc;
  ops.realloc_fn = counting_realloc;
  ops.free_fn = counting_free;
  xlsx_set_host_ops(&ops);
}

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
const char kDefaultDeclaration[] = "<?xml version=\"1.0\"?>";

void append_cell_ref(std::string& out, int column, int row) {
  out += static_cast<char>('A' + column);
  out += std::to_string(row);
}

// Even columns hold numbers (integers and decimals), odd columns shared-string indexes.
std::string generate_worksheet(int rows) {
  std::string out = kDeclaration;
  out +=
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
      "<dimension ref=\"A1:J" +
      std::to_string(rows) +
      "\"/><sheetViews><sheetView tabSelected=\"1\" "
      "workbookViewId=\"0\"/></sheetViews><sheetFormatPr defaultRowHeight=\"15\"/><sheetData>";
  char number[32];
  for (int r = 1; r <= rows; r++) {
    out += "<row r=\"" + std::to_string(r) + "\" spans=\"1:10\">";
    for (int c = 0; c < 10; c++) {
      out += "<c r=\"";
      append_cell_ref(out, c, r);
      if (c % 2) {
        out += "\" t=\"s\"><v>" + std::to_string((r * 10 + c) % 5000) + "</v></c>";
      } else {
        if (c % 4) {
          snprintf(number, sizeof number, "%.17g", r * 1.5 + c * 0.25);
        } else {
          snprintf(number, sizeof number, "%d", r * 7 + c);
        }
        out += "\"><v>";
        out += number;
        out += "</v></c>";
      }
    }
    out += "</row>";
  }
  out +=
      "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
      "footer=\"0.3\"/></worksheet>";
  return out;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

long peak_rss_kb() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

double deflate_seconds(const std::string& bytes, size_t* compressed) {
  z_stream stream{};
  if (deflateInit2(&stream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) exit(1);
  std::vector<unsigned char> out(deflateBound(&stream, bytes.size()));
  auto start = std::chrono::steady_clock::now();
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  if (deflate(&stream, Z_FINISH) != Z_STREAM_END) exit(1);
  double elapsed = seconds_since(start);
  *compressed = stream.total_out;
  deflateEnd(&stream);
  return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  int rows = argc > 1 ? atoi(argv[1]) : 100000;
  int repetitions = argc > 2 ? atoi(argv[2]) : 5;
  if (rows < 1 || repetitions < 1) return 2;
  install_counting_allocator();
  const std::string part = generate_worksheet(rows);
  const std::string expected = kDefaultDeclaration + part.substr(sizeof kDeclaration - 1);
  const double cells = rows * 10.0;

  std::vector<double> parse_times, write_times, deflate_times;
  uint32_t tree_blocks = 0;
  size_t tree_bytes = 0;
  size_t compressed = 0;
  for (int i = 0; i < repetitions; i++) {
    deflate_times.push_back(deflate_seconds(part, &compressed));

    uint32_t blocks_before = xlsx_live_allocations();
    size_t bytes_before = g_live_bytes;
    XmlDoc* doc = xml_document_create();
    auto start = std::chrono::steady_clock::now();
    xlsx_status status =
        xml_document_load_buffer(doc, part.data(), static_cast<uint32_t>(part.size()), XML_PARSE_PACKAGE);
    parse_times.push_back(seconds_since(start));
    if (status != XLSX_OK) {
      fprintf(stderr, "parse failed: %u\n", status);
      return 1;
    }
    tree_blocks = xlsx_live_allocations() - blocks_before;
    tree_bytes = g_live_bytes - bytes_before;

    char* text = nullptr;
    uint32_t length = 0;
    start = std::chrono::steady_clock::now();
    status = xml_document_save_buffer(doc, &text, &length);
    write_times.push_back(seconds_since(start));
    if (status != XLSX_OK || std::string(text, length) != expected) {
      fprintf(stderr, "written text differs from the part\n");
      return 1;
    }
    xlsx_free(text);
    xml_document_destroy(doc);
  }
  if (xlsx_live_allocations() != 0) {
    fprintf(stderr, "blocks left allocated: %u\n", xlsx_live_allocations());
    return 1;
  }

  double parse = median(parse_times), write = median(write_times), deflate = median(deflate_times);
  printf("worksheet part: %d rows x 10 cells, %.1f MB (medians of %d runs)\n", rows, part.size() / 1e6, repetitions);
  printf("parse            %8.3f s  %7.1f MB/s\n", parse, part.size() / 1e6 / parse);
  printf("write            %8.3f s  %7.1f MB/s\n", write, part.size() / 1e6 / write);
  printf("parse + write    %8.3f s\n", parse + write);
  printf("zlib deflate -6  %8.3f s  %7.1f MB/s  (%.1f MB out)\n", deflate, part.size() / 1e6 / deflate,
         compressed / 1e6);
  printf("(parse + write) / deflate = %.2f  [target < 1]\n", (parse + write) / deflate);
  printf("parsed tree: %u blocks, %.1f MB; per cell %.4f blocks, %.1f bytes\n", tree_blocks, tree_bytes / 1e6,
         tree_blocks / cells, tree_bytes / cells);
  printf("peak RSS %.1f MB (input text and written text included)\n", peak_rss_kb() / 1024.0);
  return 0;
}
