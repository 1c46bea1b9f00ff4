// Package-layer benchmark on the 1,000,000-cell workbook: open and save unchanged; open, change one
// property, save. Each run happens in a child process so that its peak memory is its own. Reported
// beside the floors: copying the file, and inflating + deflating (libdeflate, level 6) the worksheet,
// which is what a save that re-serialised the sheet would at least cost.
//
// usage: package_bench WORKBOOK.xlsx [REPS]
#include <libdeflate.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "lib/document/document.h"
#include "lib/package/properties.h"

namespace {

const char* const kSheet = "xl/worksheets/sheet1.xml";

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Measure {
  double seconds;
  long peak_kb;
};

// Runs fn in a child; its wall time (measured inside) and peak RSS (from the kernel) come back.
Measure in_child(const std::function<bool()>& fn) {
  int pipe_fd[2];
  if (pipe(pipe_fd) != 0) exit(1);
  pid_t pid = fork();
  if (pid == 0) {
    close(pipe_fd[0]);
    double start = now();
    bool ok = fn();
    double seconds = ok ? now() - start : -1;
    if (write(pipe_fd[1], &seconds, sizeof(seconds)) != sizeof(seconds)) _exit(3);
    _exit(ok ? 0 : 2);
  }
  close(pipe_fd[1]);
  double seconds = -1;
  if (read(pipe_fd[0], &seconds, sizeof(seconds)) != sizeof(seconds)) seconds = -1;
  close(pipe_fd[0]);
  int status = 0;
  rusage usage = {};
  wait4(pid, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || seconds < 0) {
    fprintf(stderr, "benchmark step failed\n");
    exit(1);
  }
  return {seconds, usage.ru_maxrss};
}

Measure median(int reps, const std::function<bool()>& fn) {
  std::vector<Measure> runs;
  for (int i = 0; i < reps; i++) runs.push_back(in_child(fn));
  std::sort(runs.begin(), runs.end(), [](const Measure& a, const Measure& b) { return a.seconds < b.seconds; });
  return runs[runs.size() / 2];
}

std::string read_all(const char* path) {
  FILE* f = fopen(path, "rb");
  std::string out;
  char buffer[1 << 16];
  size_t n;
  while (f && (n = fread(buffer, 1, sizeof(buffer), f)) > 0) out.append(buffer, n);
  if (f) fclose(f);
  return out;
}

bool copy_file(const char* from, const char* to) {
  std::string bytes = read_all(from);
  FILE* f = fopen(to, "wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok && !bytes.empty();
}

// The worksheet's raw deflated record and its inflated size.
bool sheet_record(const std::string& zip_bytes, std::string* raw, uint64_t* size) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(zip_bytes.data(), zip_bytes.size(), 0, &error);
  zip_t* z = zip_open_from_source(source, ZIP_RDONLY, &error);
  if (!z) return false;
  zip_stat_t st;
  bool ok = zip_stat(z, kSheet, 0, &st) == 0;
  zip_file_t* f = ok ? zip_fopen(z, kSheet, ZIP_FL_COMPRESSED) : nullptr;
  if (f) {
    raw->assign(st.comp_size, '\0');
    ok = zip_fread(f, raw->data(), st.comp_size) == zip_int64_t(st.comp_size);
    zip_fclose(f);
    *size = st.size;
  }
  zip_close(z);
  return ok && f;
}

bool inflate_and_deflate(const std::string& raw, uint64_t size) {
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  std::string xml(size, '\0');
  size_t got = 0;
  bool ok = libdeflate_deflate_decompress(d, raw.data(), raw.size(), xml.data(), size, &got) == LIBDEFLATE_SUCCESS;
  libdeflate_free_decompressor(d);
  libdeflate_compressor* c = libdeflate_alloc_compressor(6);
  std::string out(libdeflate_deflate_compress_bound(c, size), '\0');
  ok = ok && libdeflate_deflate_compress(c, xml.data(), size, out.data(), out.size()) > 0;
  libdeflate_free_compressor(c);
  return ok && got == size;
}

bool open_save(const char* in, const char* out, const char* title) {
  XlsxDocument* doc = xlsx_document_new();
  bool ok = xlsx_document_open(doc, in) == XLSX_OK;
  if (ok && title) ok = xlsx_document_set_property(doc, XLSX_PROP_TITLE, title) == XLSX_OK;
  ok = ok && xlsx_document_save_as(doc, out) == XLSX_OK;
  xlsx_document_free(doc);
  return ok;
}

// The saved file must carry the title and the worksheet's record unchanged.
bool verify(const char* original, const char* saved, const char* title) {
  XlsxDocument* doc = xlsx_document_new();
  bool ok = xlsx_document_open(doc, saved) == XLSX_OK &&
            (!title || strcmp(xlsx_document_get_property(doc, XLSX_PROP_TITLE), title) == 0);
  xlsx_document_free(doc);
  std::string a, b;
  uint64_t sa = 0, sb = 0;
  return ok && sheet_record(read_all(original), &a, &sa) && sheet_record(read_all(saved), &b, &sb) && a == b;
}

void report(const char* what, const Measure& m, const Measure& copy, double floor) {
  printf("%-34s %8.4f s  %7.1f MB peak  %6.2fx copy  %6.3f of inflate+deflate\n", what, m.seconds,
         m.peak_kb / 1024.0, m.seconds / copy.seconds, m.seconds / floor);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: package_bench WORKBOOK.xlsx [REPS]\n");
    return 2;
  }
  const char* book = argv[1];
  int reps = argc > 2 ? atoi(argv[2]) : 5;
  std::string copy_path = std::string(book) + ".bench-copy.xlsx";
  std::string out_path = std::string(book) + ".bench-out.xlsx";
  std::string raw;
  uint64_t sheet_size = 0;
  if (!sheet_record(read_all(book), &raw, &sheet_size)) {
    fprintf(stderr, "%s has no %s\n", book, kSheet);
    return 1;
  }
  printf("workbook %s: worksheet %.1f MB inflated, %.1f MB deflated; median of %d runs\n", book,
         sheet_size / 1e6, raw.size() / 1e6, reps);
  Measure copy = median(reps, [&] { return copy_file(book, copy_path.c_str()); });
  Measure floor = median(reps, [&] { return inflate_and_deflate(raw, sheet_size); });
  Measure unchanged = median(reps, [&] { return open_save(book, out_path.c_str(), nullptr); });
  bool ok = verify(book, out_path.c_str(), nullptr);
  Measure property = median(reps, [&] { return open_save(book, out_path.c_str(), "Benchmark title"); });
  ok = ok && verify(book, out_path.c_str(), "Benchmark title");
  report("copy the file (read + write)", copy, copy, floor.seconds);
  report("inflate + deflate the worksheet", floor, copy, floor.seconds);
  report("open, save unchanged", unchanged, copy, floor.seconds);
  report("open, set one property, save", property, copy, floor.seconds);
  printf("target (< 0.1 of inflate+deflate): %s\n",
         unchanged.seconds < 0.1 * floor.seconds && property.seconds < 0.1 * floor.seconds ? "met" : "NOT met");
  remove(copy_path.c_str());
  remove(out_path.c_str());
  if (!ok) {
    fprintf(stderr, "verification failed: saved file lacks the change or rewrote the worksheet\n");
    return 1;
  }
  return 0;
}
