// Drives the four serializer entry points in-process, as a host does: the plugin on a copy of the host
// table (PluginTest: single operations can be made to fail, and every test ends with no temporary file,
// plugin block, converted text, open file or library block left), stream callbacks over a byte string.
#pragma once

#include <algorithm>
#include <functional>
#include <cstring>
#include <string>
#include <vector>

#include "lib/document/document.h"
#include "plugin/serializer.h"
#include "tests/support/book.h"
#include "tests/support/host_fixture.h"

namespace serializer_test {

// One item as a test writes or expects it: a row marker, a number or a text under a number key.
struct Item {
  enum Kind { BEGIN, END, NUMBER, TEXT, DONE } kind;
  double key;
  double number;
  std::string text;

  static Item Begin(double key) { return Item{BEGIN, key, 0, ""}; }
  static Item End(double key) { return Item{END, key, 0, ""}; }
  static Item Number(double key, double number) { return Item{NUMBER, key, number, ""}; }
  static Item Text(double key, std::string text) { return Item{TEXT, key, 0, std::move(text)}; }
  static Item Done() { return Item{DONE, 0, 0, ""}; }
  bool operator==(const Item& o) const {
    return kind == o.kind && (kind == DONE || (key == o.key && number == o.number && text == o.text));
  }
};

inline void PrintTo(const Item& item, std::ostream* os) {
  static const char* const kNames[] = {"begin", "end", "number", "text", "done"};
  *os << kNames[item.kind] << "(" << item.key << ", " << item.number << ", \"" << item.text << "\")";
}

// The fake stream: bytes read from (up to readLimit, then end or readFailure) or appended to (up to
// writeLimit in all).
struct Stream {
  std::string bytes;
  size_t position = 0;
  size_t readLimit = SIZE_MAX;
  int32_t readFailure = 0;
  size_t writeLimit = SIZE_MAX;
  uint32_t writeCalls = 0;
};

inline int32_t ReadStream(void* buffer, uint32_t size, void* user) {
  auto* s = static_cast<Stream*>(user);
  size_t end = std::min(s->bytes.size(), s->readLimit);
  size_t left = end - std::min(s->position, end);
  if (left == 0 && s->readFailure && s->position < s->bytes.size()) return s->readFailure;
  size_t count = std::min<size_t>(left, size);
  memcpy(buffer, s->bytes.data() + s->position, count);
  s->position += count;
  return static_cast<int32_t>(count);
}

inline int32_t WriteStream(const void* buffer, uint32_t size, void* user) {
  auto* s = static_cast<Stream*>(user);
  ++s->writeCalls;
  size_t count = std::min<size_t>(s->writeLimit > s->bytes.size() ? s->writeLimit - s->bytes.size() : 0, size);
  s->bytes.append(static_cast<const char*>(buffer), count);
  return static_cast<int32_t>(count);
}

class SerializerTest : public PluginTest {
 protected:
  // A path in the test's own folder (outside the host's temporary folder).
  std::string Path(const char* name) const { return dir_.file(name); }
  std::string WriteFile(const char* name, const std::string& bytes) const {
    xlsx_test::write_bytes(Path(name), bytes);
    return Path(name);
  }
  static std::string ReadFileBytes(const std::string& path) { return xlsx_test::read_bytes(path); }

  // Sends one item; the result of SerializeItem.
  static int32_t Send(void* state, const Item& item) {
    double key = item.key, number = item.number;
    SerialItem k{SERIAL_NUMBER, &key, sizeof key, 0};
    SerialItem v{SERIAL_TEXT, item.text.data(), static_cast<uint32_t>(item.text.size()), 0};
    if (item.kind == Item::BEGIN || item.kind == Item::END) v = SerialItem{SERIAL_TABLE, nullptr, item.kind == Item::BEGIN, 0};
    if (item.kind == Item::NUMBER) v = SerialItem{SERIAL_NUMBER, &number, sizeof number, 0};
    return SerializeItem(state, &k, &v);
  }

  // A writing state over stream with the source encoding.
  static void* Writer(Stream* stream, int32_t source = HOST_ENCODING_UTF8) {
    HostTag options[] = {{1, static_cast<uintptr_t>(source)}, {HOST_TAG_END, 0}};
    return InitSerializer(nullptr, WriteStream, stream, options);
  }
  static void* Reader(Stream* stream, int32_t target = HOST_ENCODING_UTF8) {
    HostTag options[] = {{2, static_cast<uintptr_t>(target)}, {HOST_TAG_END, 0}};
    return InitSerializer(ReadStream, nullptr, stream, options);
  }

  // The workbook bytes of the items; "" (with a test failure) when any step fails.
  std::string Serialize(const std::vector<Item>& items, int32_t source = HOST_ENCODING_UTF8) {
    Stream stream;
    void* state = Writer(&stream, source);
    EXPECT_NE(state, nullptr);
    bool ok = state != nullptr;
    for (const Item& item : items) ok = ok && Send(state, item);
    EXPECT_TRUE(ok) << "an item was refused";
    EXPECT_EQ(state ? FreeSerializer(state) : 1, 1);
    return ok ? stream.bytes : "";
  }

  static Item ItemOf(const SerialItem& key, const SerialItem& value) {
    double k = -1, n = 0;
    if (key.kind == SERIAL_NUMBER && key.data) memcpy(&k, key.data, sizeof k);
    if (value.kind == SERIAL_TABLE) return value.size ? Item::Begin(k) : Item::End(k);
    if (value.kind != SERIAL_NUMBER) return Item::Text(k, value.data ? std::string(static_cast<const char*>(value.data), value.size) : "");
    memcpy(&n, value.data, sizeof n);
    return Item::Number(k, n);
  }

  // Every item of a reading state, then Done; stops at the first failed call (the state stays).
  static std::vector<Item> ReadAll(void* state) {
    std::vector<Item> items;
    for (uint32_t done = 0; items.size() < 100000;) {
      SerialItem key{}, value{};
      if (!DeserializeItem(state, &key, &value, &done)) break;
      items.push_back(done ? Item::Done() : ItemOf(key, value));
      if (done) break;
    }
    return items;
  }

  std::vector<Item> Deserialize(const std::string& bytes, int32_t target = HOST_ENCODING_UTF8) {
    Stream stream;
    stream.bytes = bytes;
    void* state = Reader(&stream, target);
    EXPECT_NE(state, nullptr);
    if (!state) return {};
    std::vector<Item> items = ReadAll(state);
    EXPECT_EQ(FreeSerializer(state), 1);
    return items;
  }

  // The cells of the first sheet of workbook bytes, row by row, as xlsx_test::cell_text gives them.
  std::vector<std::vector<std::string>> CellsOf(const std::string& bytes, uint32_t* rows = nullptr, uint32_t* columns = nullptr) {
    std::vector<std::vector<std::string>> cells;
    XlsxDocument* document = xlsx_document_new();
    EXPECT_EQ(xlsx_document_open(document, WriteFile("view.xlsx", bytes).c_str()), XLSX_OK);
    XlsxWorksheet sheet{};
    EXPECT_EQ(xlsx_workbook_worksheet_at(xlsx_document_workbook(document), 1, &sheet), XLSX_OK);
    uint32_t row_count = xlsx_sheet_row_count(&sheet), column_count = xlsx_sheet_column_count(&sheet);
    if (rows) *rows = row_count;
    if (columns) *columns = column_count;
    for (uint32_t r = 1; !rows && r <= row_count; ++r) {
      cells.emplace_back();
      for (uint32_t c = 1; c <= column_count; ++c) cells.back().push_back(xlsx_test::cell_text(&sheet, r, c));
    }
    xlsx_document_free(document);
    return cells;
  }

  // The bytes of a workbook made with the library: fill receives the workbook.
  std::string MakeWorkbook(const std::function<void(XlsxWorkbook*)>& fill) {
    XlsxDocument* document = xlsx_document_new();
    EXPECT_EQ(xlsx_document_create(document, Path("made.xlsx").c_str()), XLSX_OK);
    fill(xlsx_document_workbook(document));
    EXPECT_EQ(xlsx_document_save(document), XLSX_OK);
    xlsx_document_free(document);
    return ReadFileBytes(Path("made.xlsx"));
  }
};

}  // namespace serializer_test
