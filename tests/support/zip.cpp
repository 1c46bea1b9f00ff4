#include "tests/support/zip.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cstdlib>
#include <cstring>

#include "tests/support/temp_dir.h"

namespace xlsx_test {
namespace {

// Opens bytes for reading; null (with a test failure) when they are no ZIP.
zip_t* open_zip(const std::string& bytes) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  zip_t* z = zip_open_from_source(source, ZIP_RDONLY, &error);
  zip_error_fini(&error);
  if (!z) zip_source_free(source);
  EXPECT_NE(z, nullptr) << "not a ZIP";
  return z;
}

std::string read_file(zip_t* z, zip_uint64_t index, zip_flags_t flags, uint64_t size) {
  std::string out(size, '\0');
  zip_file_t* f = zip_fopen_index(z, index, flags);
  EXPECT_NE(f, nullptr);
  if (f) {
    EXPECT_EQ(uint64_t(zip_fread(f, out.data(), size)), size);
    zip_fclose(f);
  }
  return out;
}

// Calls fn(header offset, name offset, name length, 'L' or 'C') for every local and central header.
template <typename Fn>
void for_each_header(const std::string& b, Fn fn) {
  auto le16 = [&](size_t at) { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); };
  for (size_t at = 0; at + 46 <= b.size(); at++) {
    if (b.compare(at, 4, "PK\x03\x04") == 0) fn(at, at + 30, le16(at + 26), 'L');
    if (b.compare(at, 4, "PK\x01\x02") == 0) fn(at, at + 46, le16(at + 28), 'C');
  }
}

}  // namespace

std::string make_zip(const std::vector<ZipInput>& entries) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_source_keep(buffer);
  zip_t* z = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  for (const ZipInput& e : entries) {
    if (!e.name.empty() && e.name.back() == '/') {
      zip_dir_add(z, e.name.c_str(), 0);
      continue;
    }
    void* copy = e.data.empty() ? nullptr : malloc(e.data.size());  // libzip frees what it takes
    if (copy) memcpy(copy, e.data.data(), e.data.size());
    zip_int64_t i = zip_file_add(z, e.name.c_str(), zip_source_buffer(z, copy, e.data.size(), copy != nullptr), 0);
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

std::vector<ZipRecord> zip_records(const std::string& zip_bytes) {
  std::vector<ZipRecord> records;
  zip_t* z = open_zip(zip_bytes);
  for (zip_int64_t i = 0; z && i < zip_get_num_entries(z, 0); i++) {
    zip_stat_t st;
    zip_stat_index(z, zip_uint64_t(i), 0, &st);
    records.push_back({st.name, st.comp_method, st.crc, st.size, read_file(z, i, ZIP_FL_COMPRESSED, st.comp_size),
                       read_file(z, i, 0, st.size)});
  }
  if (z) zip_close(z);
  return records;
}

std::vector<std::string> zip_names(const std::string& zip_bytes) {
  std::vector<std::string> names;
  for (const ZipRecord& r : zip_records(zip_bytes)) names.push_back(r.name);
  return names;
}

std::vector<ZipInput> zip_entries(const std::string& zip_bytes) {
  std::vector<ZipInput> entries;
  for (ZipRecord& r : zip_records(zip_bytes)) entries.push_back({r.name, r.data});
  return entries;
}

std::string zip_entry(const std::string& zip_bytes, const std::string& name) {
  for (const ZipInput& e : zip_entries(zip_bytes)) {
    if (e.name == name) return e.data;
  }
  ADD_FAILURE() << name << " is not in the ZIP";
  return "";
}

void patch_declared_size(std::string* zip_bytes, const std::string& name, uint32_t size) {
  int patched = 0;
  for_each_header(*zip_bytes, [&](size_t at, size_t name_at, uint16_t name_length, char kind) {
    if (name_length != name.size() || zip_bytes->compare(name_at, name_length, name) != 0) return;
    for (int i = 0; i < 4; i++) (*zip_bytes)[at + (kind == 'L' ? 22 : 24) + i] = char((size >> (8 * i)) & 0xFF);
    patched++;
  });
  EXPECT_EQ(patched, 2) << name;
}

std::string corpus_file(const std::string& name) { return std::string(XLSX_TEST_CORPUS) + "/" + name + ".xlsx"; }

std::vector<ZipInput> workbook_parts() { return zip_entries(read_bytes(corpus_file("good"))); }

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
  std::erase_if(*parts, [&](const ZipInput& p) { return p.name == name; });
}

}  // namespace xlsx_test
