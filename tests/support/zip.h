// ZIP archives made and read with libzip directly (independently of the archive module), and the
// workbooks of the hostile corpus (tests/hostile/make_corpus.py, written at configure time).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace xlsx_test {

struct ZipInput {
  std::string name;
  std::string data;
  bool store = false;  // stored (method 0) instead of deflated
  bool operator==(const ZipInput&) const = default;
};
inline void PrintTo(const ZipInput& entry, std::ostream* out) { *out << entry.name << ": " << entry.data; }
// A ZIP with the entries in order (a name ending in "/" becomes a directory record).
std::string make_zip(const std::vector<ZipInput>& entries);

// One record as found in the central directory, with its raw (still compressed) and its inflated bytes.
struct ZipRecord {
  std::string name;
  uint16_t method = 0;
  uint32_t crc = 0;
  uint64_t size = 0;
  std::string raw, data;
};
std::vector<ZipRecord> zip_records(const std::string& zip_bytes);
std::vector<std::string> zip_names(const std::string& zip_bytes);
// The inflated bytes of the named entry (fails the test when it is missing).
std::string zip_entry(const std::string& zip_bytes, const std::string& name);
// Every entry with its inflated bytes, in order.
std::vector<ZipInput> zip_entries(const std::string& zip_bytes);

// Rewrites the uncompressed size stated for the named entry in both its headers.
void patch_declared_size(std::string* zip_bytes, const std::string& name, uint32_t size);

// The path of the corpus file NAME.xlsx.
std::string corpus_file(const std::string& name);
// The entries of the corpus's reference workbook "good": two sheets (Data, Notes), shared strings,
// styles and both property parts.
std::vector<ZipInput> workbook_parts();
void replace_part(std::vector<ZipInput>* parts, const std::string& name, const std::string& data);
void remove_part(std::vector<ZipInput>* parts, const std::string& name);

}  // namespace xlsx_test
