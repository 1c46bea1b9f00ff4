#include "tests/package/package_test_util.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <zip.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace pkg_test {

std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void write_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::vector<std::string> list_dir(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = opendir(dir.c_str());
  if (!d) return names;
  while (dirent* e = readdir(d)) {
    if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
  }
  closedir(d);
  return names;
}

std::string make_zip(const std::vector<ZipInput>& entries) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_source_keep(buffer);
  zip_t* z = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  EXPECT_NE(z, nullptr);
  for (const ZipInput& e : entries) {
    if (!e.name.empty() && e.name.back() == '/') {
      zip_dir_add(z, e.name.c_str(), 0);
      continue;
    }
    zip_source_t* s = nullptr;
    if (e.data.empty()) {
      s = zip_source_buffer(z, nullptr, 0, 0);  // libzip does not take over a zero-length block
    } else {
      char* copy = static_cast<char*>(malloc(e.data.size()));
      memcpy(copy, e.data.data(), e.data.size());
      s = zip_source_buffer(z, copy, e.data.size(), 1);
    }
    zip_int64_t i = zip_file_add(z, e.name.c_str(), s, 0);
    EXPECT_GE(i, 0);
    zip_set_file_compression(z, zip_uint64_t(i), e.store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 9);
    zip_file_set_mtime(z, zip_uint64_t(i), 315532800 + 86400, 0);
  }
  EXPECT_EQ(zip_close(z), 0);
  zip_stat_t st;
  zip_source_stat(buffer, &st);
  std::string out(st.size, '\0');
  zip_source_open(buffer);
  zip_source_read(buffer, out.data(), st.size);
  zip_source_close(buffer);
  zip_source_free(buffer);
  zip_error_fini(&error);
  return out;
}

namespace {

zip_t* open_zip(const std::string& bytes, zip_source_t** source) {
  zip_error_t error;
  zip_error_init(&error);
  *source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  zip_t* z = zip_open_from_source(*source, ZIP_RDONLY, &error);
  zip_error_fini(&error);
  if (!z) zip_source_free(*source);
  return z;
}

std::string read_file(zip_t* z, zip_uint64_t index, zip_flags_t flags, uint64_t size) {
  zip_file_t* f = zip_fopen_index(z, index, flags);
  EXPECT_NE(f, nullptr);
  if (!f) return "";
  std::string out(size, '\0');
  zip_int64_t got = zip_fread(f, out.data(), size);
  EXPECT_EQ(uint64_t(got), size);
  zip_fclose(f);
  return out;
}

uint16_t le16(const std::string& b, size_t at) { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }

void put32(std::string* b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) (*b)[at + i] = char((v >> (8 * i)) & 0xFF);
}

// Calls fn(offset_of_header, name_offset, name_length, kind) for every local ('L') and central ('C') header.
template <typename Fn>
void for_each_header(const std::string& b, Fn fn) {
  for (size_t at = 0; at + 46 <= b.size(); at++) {
    if (b.compare(at, 4, "PK\x03\x04") == 0) {
      fn(at, at + 30, le16(b, at + 26), 'L');
    } else if (b.compare(at, 4, "PK\x01\x02") == 0) {
      fn(at, at + 46, le16(b, at + 28), 'C');
    }
  }
}

}  // namespace

std::vector<ZipRecord> zip_records(const std::string& zip_bytes) {
  std::vector<ZipRecord> records;
  zip_source_t* source = nullptr;
  zip_t* z = open_zip(zip_bytes, &source);
  EXPECT_NE(z, nullptr) << "not a ZIP";
  if (!z) return records;
  zip_int64_t n = zip_get_num_entries(z, 0);
  for (zip_int64_t i = 0; i < n; i++) {
    zip_stat_t st;
    zip_stat_index(z, zip_uint64_t(i), 0, &st);
    ZipRecord r;
    r.name = st.name;
    r.method = st.comp_method;
    r.crc = st.crc;
    r.size = st.size;
    r.raw = read_file(z, zip_uint64_t(i), ZIP_FL_COMPRESSED, st.comp_size);
    records.push_back(r);
  }
  zip_close(z);
  return records;
}

std::vector<std::string> zip_names(const std::string& zip_bytes) {
  std::vector<std::string> names;
  for (const ZipRecord& r : zip_records(zip_bytes)) names.push_back(r.name);
  return names;
}

std::string zip_entry(const std::string& zip_bytes, const std::string& name) {
  zip_source_t* source = nullptr;
  zip_t* z = open_zip(zip_bytes, &source);
  EXPECT_NE(z, nullptr);
  if (!z) return "";
  zip_int64_t i = zip_name_locate(z, name.c_str(), 0);
  EXPECT_GE(i, 0) << name;
  std::string out;
  if (i >= 0) {
    zip_stat_t st;
    zip_stat_index(z, zip_uint64_t(i), 0, &st);
    out = read_file(z, zip_uint64_t(i), 0, st.size);
  }
  zip_close(z);
  return out;
}

std::vector<ZipInput> minimal_workbook_parts() {
  const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
  const std::string ct = "application/vnd.openxmlformats-officedocument.";
  return {
      {"[Content_Types].xml",
       decl + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
              "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
              "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
              "<Override PartName=\"/xl/workbook.xml\" ContentType=\"" + ct + "spreadsheetml.sheet.main+xml\"/>"
              "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"" + ct + "spreadsheetml.worksheet+xml\"/>"
              "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"" + ct + "spreadsheetml.sharedStrings+xml\"/>"
              "<Override PartName=\"/docProps/core.xml\" ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
              "<Override PartName=\"/docProps/app.xml\" ContentType=\"" + ct + "extended-properties+xml\"/>"
              "</Types>"},
      {"_rels/.rels",
       decl + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
              "<Relationship Id=\"rId1\" Type=\"" + rel + "officeDocument\" Target=\"xl/workbook.xml\"/>"
              "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" Target=\"docProps/core.xml\"/>"
              "<Relationship Id=\"rId3\" Type=\"" + rel + "extended-properties\" Target=\"docProps/app.xml\"/>"
              "</Relationships>"},
      {"xl/workbook.xml",
       decl + "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
              "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
              "<sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels",
       decl + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
              "<Relationship Id=\"rId1\" Type=\"" + rel + "worksheet\" Target=\"worksheets/sheet1.xml\"/>"
              "<Relationship Id=\"rId2\" Type=\"" + rel + "sharedStrings\" Target=\"sharedStrings.xml\"/>"
              "</Relationships>"},
      {"xl/worksheets/sheet1.xml",
       decl + "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
              "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row></sheetData></worksheet>"},
      {"xl/sharedStrings.xml",
       decl + "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"1\" uniqueCount=\"1\">"
              "<si><t>hello</t></si></sst>"},
      {"docProps/core.xml",
       decl + "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
              "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:creator>someone</dc:creator></cp:coreProperties>"},
      {"docProps/app.xml",
       decl + "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
              "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">"
              "<Application>Writer</Application><TitlesOfParts><vt:vector size=\"1\" baseType=\"lpstr\">"
              "<vt:lpstr>Sheet1</vt:lpstr></vt:vector></TitlesOfParts></Properties>"},
  };
}

void replace_part(std::vector<ZipInput>* parts, const std::string& name, const std::string& data) {
  for (ZipInput& p : *parts) {
    if (p.name == name) {
      p.data = data;
      return;
    }
  }
  parts->push_back({name, data});
}

void remove_part(std::vector<ZipInput>* parts, const std::string& name) {
  for (size_t i = 0; i < parts->size(); i++) {
    if ((*parts)[i].name == name) {
      parts->erase(parts->begin() + long(i));
      return;
    }
  }
}

void patch_declared_size(std::string* zip_bytes, const std::string& name, uint32_t size) {
  int patched = 0;
  for_each_header(*zip_bytes, [&](size_t at, size_t name_at, uint16_t name_length, char kind) {
    if (zip_bytes->compare(name_at, name_length, name) != 0 || name_length != name.size()) return;
    put32(zip_bytes, at + (kind == 'L' ? 22 : 24), size);
    patched++;
  });
  EXPECT_EQ(patched, 2) << name;
}

void patch_name(std::string* zip_bytes, const std::string& from, const std::string& to) {
  ASSERT_EQ(from.size(), to.size());
  int patched = 0;
  for_each_header(*zip_bytes, [&](size_t, size_t name_at, uint16_t name_length, char) {
    if (name_length != from.size() || zip_bytes->compare(name_at, name_length, from) != 0) return;
    zip_bytes->replace(name_at, name_length, to);
    patched++;
  });
  EXPECT_EQ(patched, 2) << from;
}

// ---- failing file operations

namespace {

FailingFiles::Step g_step = FailingFiles::kNone;
const XlsxHostOps* g_real = nullptr;

void* failing_open(const char* name, int mode) {
  if (g_step == FailingFiles::kCreateTemp && mode == XLSX_FILE_CREATE_NEW) return nullptr;
  return g_real->open_file(name, mode);
}

uint32_t failing_write(void* handle, const void* buffer, uint32_t count) {
  if (g_step == FailingFiles::kWrite) return 0;
  if (g_step == FailingFiles::kShortWrite) {
    uint32_t half = count / 2;
    if (half > 0) g_real->write_file(handle, buffer, half);
    g_step = FailingFiles::kWrite;  // the next call fails outright: the file stays incomplete
    return half;
  }
  return g_real->write_file(handle, buffer, count);
}

int failing_close(void* handle) {
  int result = g_real->close_file(handle);
  return g_step == FailingFiles::kClose ? -1 : result;
}

int failing_rename(const char* from, const char* to) {
  if (g_step == FailingFiles::kRename) return -1;
  return g_real->rename_file(from, to);
}

uint32_t g_largest = 0;
void* recording_malloc(uint32_t size) {
  if (size > g_largest) g_largest = size;
  return g_real->malloc_fn(size);
}
void* recording_calloc(uint32_t count, uint32_t size) {
  uint64_t total = uint64_t(count) * size;
  if (total > g_largest) g_largest = uint32_t(total);
  return g_real->calloc_fn(count, size);
}
void* recording_realloc(void* block, uint32_t size) {
  if (size > g_largest) g_largest = size;
  return g_real->realloc_fn(block, size);
}

}  // namespace

FailingFiles::FailingFiles(Step step) : previous_(*xlsx_host_ops()) {
  g_step = step;
  g_real = xlsx_default_host_ops();
  XlsxHostOps ops = previous_;
  ops.open_file = failing_open;
  ops.write_file = failing_write;
  ops.close_file = failing_close;
  ops.rename_file = failing_rename;
  xlsx_set_host_ops(&ops);
}

FailingFiles::~FailingFiles() {
  xlsx_set_host_ops(&previous_);
  g_step = kNone;
}

const char* FailingFiles::name(Step step) {
  switch (step) {
    case kCreateTemp: return "CreateTemp";
    case kWrite: return "Write";
    case kShortWrite: return "ShortWrite";
    case kClose: return "Close";
    case kRename: return "Rename";
    default: return "None";
  }
}

LargestAllocation::LargestAllocation() : previous_(*xlsx_host_ops()) {
  g_real = xlsx_default_host_ops();
  g_largest = 0;
  XlsxHostOps ops = previous_;
  ops.malloc_fn = recording_malloc;
  ops.calloc_fn = recording_calloc;
  ops.realloc_fn = recording_realloc;
  xlsx_set_host_ops(&ops);
}

LargestAllocation::~LargestAllocation() { xlsx_set_host_ops(&previous_); }

uint32_t LargestAllocation::largest() const { return g_largest; }

}  // namespace pkg_test
