// Drives the four serializer entry points in-process, as a host does: the plugin is given a host table
// (the stand-in's, with single operations replaceable to make them fail), the stream callbacks are fakes
// over a byte string, and the host's temporary folder ($TMPDIR) is a fresh folder per test. Every test
// ends with no temporary file, no plugin block, no converted text, no open file and no library block left.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "host/errors.h"
#include "host/files.h"
#include "host/host_table.h"
#include "host/memory.h"
#include "host/text.h"
#include "lib/base/alloc.h"
#include "lib/document/document.h"
#include "lib/sheet/cell.h"
#include "lib/sheet/value.h"
#include "lib/sheet/workbook.h"
#include "lib/sheet/worksheet.h"
#include "plugin/access.h"
#include "plugin/entry.h"
#include "plugin/globals.h"
#include "plugin/host_api.h"
#include "plugin/serializer.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"

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

  bool operator==(const Item& other) const {
    if (kind != other.kind) return false;
    if (kind == DONE) return true;
    return key == other.key && number == other.number && text == other.text;
  }
};

inline void PrintTo(const Item& item, std::ostream* os) {
  static const char* const kNames[] = {"begin", "end", "number", "text", "done"};
  *os << kNames[item.kind] << "(" << item.key;
  if (item.kind == Item::NUMBER) *os << ", " << item.number;
  if (item.kind == Item::TEXT) *os << ", \"" << item.text << "\"";
  *os << ")";
}

// The fake stream behind the callbacks: bytes to read from, bytes written, and where each side stops.
struct Stream {
  std::string bytes;             // read from (reading) or appended to (writing)
  size_t position = 0;           // next byte to read
  size_t readLimit = SIZE_MAX;   // reading gives 0 (end) once this many bytes were read
  int32_t readFailure = 0;       // nonzero: returned instead of the bytes at the limit
  size_t writeLimit = SIZE_MAX;  // writing takes no more than this many bytes in all
  uint32_t writeCalls = 0;
};

inline int32_t ReadStream(void* buffer, uint32_t size, void* user) {
  auto* s = static_cast<Stream*>(user);
  size_t left =
      std::min(s->bytes.size(), s->readLimit) - std::min(s->position, std::min(s->bytes.size(), s->readLimit));
  if (left == 0 && s->readFailure && s->position < s->bytes.size()) return s->readFailure;
  size_t count = std::min<size_t>(left, size);
  memcpy(buffer, s->bytes.data() + s->position, count);
  s->position += count;
  return static_cast<int32_t>(count);
}

inline int32_t WriteStream(const void* buffer, uint32_t size, void* user) {
  auto* s = static_cast<Stream*>(user);
  ++s->writeCalls;
  size_t room = s->writeLimit > s->bytes.size() ? s->writeLimit - s->bytes.size() : 0;
  size_t count = std::min<size_t>(room, size);
  s->bytes.append(static_cast<const char*>(buffer), count);
  return static_cast<int32_t>(count);
}

// Host operations a test may replace; each replacement is put back by the fixture's TearDown.
struct HostOverrides {
  int32_t defaultEncoding = HOST_ENCODING_SYSTEM;
  bool failConvert = false;     // ConvertText gives null
  bool failTempName = false;    // GetTempFileName fails
  bool failStateBlock = false;  // AllocMem gives null for the state block
  bool failTextCopy = false;    // AllocMem gives null for text copies
};

inline HostOverrides& Overrides() {
  static HostOverrides overrides;
  return overrides;
}

inline char* FakeConvertText(const char* text, int32_t from, int32_t to, const HostTag* options) {
  if (Overrides().failConvert) return nullptr;
  return HostConvertText(text, from, to, options);
}

inline void FakeQuerySettings(const HostTag* options) {
  for (const HostTag* tag = options; tag && tag->tag != HOST_TAG_END; ++tag) {
    if (tag->tag == HOST_TAG_DEFAULT_ENCODING && tag->value) {
      *reinterpret_cast<int32_t*>(tag->value) = Overrides().defaultEncoding;
    }
  }
}

inline int32_t FakeGetTempFileName(char* buffer, uint32_t size, const HostTag* options) {
  if (Overrides().failTempName) return -1;
  return HostGetTempFileName(buffer, size, options);
}

inline void* FakeAllocMem(uint32_t size, uint32_t clear, const char* tag) {
  if (Overrides().failStateBlock && strcmp(tag, "serializeinfo") == 0) return nullptr;
  if (Overrides().failTextCopy && strcmp(tag, "strval") == 0) return nullptr;
  return HostAllocMem(size, clear, tag);
}

class SerializerTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    Overrides() = HostOverrides{};
    previousTmp_ = getenv("TMPDIR") ? getenv("TMPDIR") : "";
    temp_ = std::make_unique<xlsx_test::TempDir>();
    hostTemp_ = temp_->path() + "/host-temp";
    std::filesystem::create_directory(hostTemp_);
    setenv("TMPDIR", hostTemp_.c_str(), 1);
    if (*Charset()) {
      ASSERT_TRUE(HostSetCharset(Charset()));
    }
    host_ = *HostApiTable();
    host_.ConvertText = FakeConvertText;
    host_.QuerySettings = FakeQuerySettings;
    host_.GetTempFileName = FakeGetTempFileName;
    host_.AllocMem = FakeAllocMem;
    PluginInfo info{};
    ASSERT_EQ(InitPlugin(&info, &host_), 1u);
    taggedAtStart_ = HostLiveTaggedBlocks();
    textsAtStart_ = HostLiveTexts();
    filesAtStart_ = HostOpenFiles();
  }

  void TearDown() override {
    EXPECT_EQ(TempFiles(), std::vector<std::string>{}) << "the serializer left temporary files";
    EXPECT_EQ(HostLiveTaggedBlocks(), taggedAtStart_) << "plugin blocks left allocated";
    EXPECT_EQ(HostLiveTexts(), textsAtStart_) << "converted texts not released";
    EXPECT_EQ(HostOpenFiles(), filesAtStart_) << "files left open";
    HostResetErrors();
    HostSetCharset("UTF-8");
    HostCloseConverters();
    Overrides() = HostOverrides{};
    if (previousTmp_.empty())
      unsetenv("TMPDIR");
    else
      setenv("TMPDIR", previousTmp_.c_str(), 1);
    temp_.reset();
    CountedTest::TearDown();
  }

  // The system character set for the test; "" keeps UTF-8.
  virtual const char* Charset() const { return ""; }

  // Names of the files in the host's temporary folder.
  std::vector<std::string> TempFiles() const {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(hostTemp_, ignored)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  // A path in the test's own folder (outside the host's temporary folder).
  std::string Path(const char* name) const { return temp_->file(name); }

  // Sends one item; the result of SerializeItem.
  static int32_t Send(void* state, const Item& item) {
    double key = item.key;
    SerialItem k{SERIAL_NUMBER, &key, sizeof key, 0};
    double number = item.number;
    SerialItem v{};
    switch (item.kind) {
      case Item::BEGIN:
        v = SerialItem{SERIAL_TABLE, nullptr, 1, 0};
        break;
      case Item::END:
        v = SerialItem{SERIAL_TABLE, nullptr, 0, 0};
        break;
      case Item::NUMBER:
        v = SerialItem{SERIAL_NUMBER, &number, sizeof number, 0};
        break;
      default:
        v = SerialItem{SERIAL_TEXT, item.text.data(), static_cast<uint32_t>(item.text.size()), 0};
        break;
    }
    return SerializeItem(state, &k, &v);
  }

  // The workbook bytes of the items, written through a serializer with the given source encoding; ""
  // (with a test failure) when any step fails.
  std::string Serialize(const std::vector<Item>& items, int32_t source = HOST_ENCODING_UTF8) {
    Stream stream;
    HostTag options[] = {{1, static_cast<uintptr_t>(source)}, {HOST_TAG_END, 0}};
    void* state = InitSerializer(nullptr, WriteStream, &stream, options);
    EXPECT_NE(state, nullptr);
    if (!state) return "";
    bool ok = true;
    for (const Item& item : items) {
      if (!Send(state, item)) {
        ADD_FAILURE() << "item refused";
        ok = false;
      }
    }
    EXPECT_EQ(FreeSerializer(state), 1);
    return ok ? stream.bytes : "";
  }

  // Converts one handed-out item pair into an Item.
  static Item ItemOf(const SerialItem& key, const SerialItem& value) {
    double k = -1;
    if (key.kind == SERIAL_NUMBER && key.data) memcpy(&k, key.data, sizeof k);
    if (value.kind == SERIAL_TABLE) return value.size ? Item::Begin(k) : Item::End(k);
    if (value.kind == SERIAL_NUMBER) {
      double n = 0;
      memcpy(&n, value.data, sizeof n);
      return Item::Number(k, n);
    }
    const char* text = static_cast<const char*>(value.data);
    return Item::Text(k, text ? std::string(text, value.size) : std::string());
  }

  // Every item read from a reading state, then Done (limit guards against a stream that never ends);
  // stops at the first failed call. Does not free the state.
  static std::vector<Item> ReadAll(void* state, size_t limit = 100000) {
    std::vector<Item> items;
    while (items.size() < limit) {
      SerialItem key{}, value{};
      uint32_t done = 0;
      if (!DeserializeItem(state, &key, &value, &done)) break;
      if (done) {
        items.push_back(Item::Done());
        break;
      }
      items.push_back(ItemOf(key, value));
    }
    return items;
  }

  // The items of workbook bytes read with the given target encoding; empty (with a test failure) when the
  // serializer cannot be started.
  std::vector<Item> Deserialize(const std::string& bytes, int32_t target = HOST_ENCODING_UTF8) {
    Stream stream;
    stream.bytes = bytes;
    HostTag options[] = {{2, static_cast<uintptr_t>(target)}, {HOST_TAG_END, 0}};
    void* state = InitSerializer(ReadStream, nullptr, &stream, options);
    EXPECT_NE(state, nullptr);
    if (!state) return {};
    std::vector<Item> items = ReadAll(state);
    EXPECT_EQ(FreeSerializer(state), 1);
    return items;
  }

  // Writes bytes to a file in the test's folder; the file's path.
  std::string WriteFile(const char* name, const std::string& bytes) const {
    std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  static std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }

  // The bytes of a workbook made with the library: fill receives the first worksheet.
  std::string MakeWorkbook(const std::function<void(XlsxWorksheet*)>& fill) {
    std::string path = Path("made.xlsx");
    XlsxDocument* document = OpenLibraryDocument(path.c_str(), true);
    EXPECT_NE(document, nullptr);
    if (!document) return "";
    XlsxWorksheet sheet{};
    EXPECT_EQ(xlsx_workbook_worksheet_at(xlsx_document_workbook(document), 1, &sheet), XLSX_OK);
    fill(&sheet);
    EXPECT_EQ(SaveLibraryDocument(document, nullptr), XLSX_OK);
    FreeLibraryDocument(document);
    return ReadFileBytes(path);
  }

  // Stores value in the cell at (row, column) of the sheet.
  static void Put(XlsxWorksheet* sheet, uint32_t row, uint32_t column,
                  const std::function<xlsx_status(XlsxCellValue*)>& set) {
    XlsxCell cell{};
    ASSERT_EQ(xlsx_sheet_cell(sheet, row, column, &cell), XLSX_OK);
    XlsxCellValue value{};
    ASSERT_EQ(xlsx_value_init(&value), XLSX_OK);
    ASSERT_EQ(set(&value), XLSX_OK);
    EXPECT_EQ(xlsx_cell_set_value(&cell, &value), XLSX_OK);
    xlsx_value_reset(&value);
  }

  // What workbook bytes hold on their first sheet: its row and column counts, and each cell as
  // "type:value" (type as xlsx_value_type_name; "absent" for a cell the sheet does not hold).
  struct SheetView {
    uint32_t rows = 0;
    uint32_t columns = 0;
    std::vector<std::vector<std::string>> cells;  // [row - 1][column - 1]
  };
  // Without cells only the counts are taken (for sheets too large to list).
  SheetView ViewOf(const std::string& bytes, bool withCells = true) {
    SheetView view;
    std::string path = WriteFile("view.xlsx", bytes);
    XlsxDocument* document = OpenLibraryDocument(path.c_str(), false);
    EXPECT_NE(document, nullptr);
    if (!document) return view;
    XlsxWorksheet sheet{};
    EXPECT_EQ(xlsx_workbook_worksheet_at(xlsx_document_workbook(document), 1, &sheet), XLSX_OK);
    view.rows = xlsx_sheet_row_count(&sheet);
    view.columns = xlsx_sheet_column_count(&sheet);
    for (uint32_t r = 1; withCells && r <= view.rows; ++r) {
      view.cells.emplace_back();
      for (uint32_t c = 1; c <= view.columns; ++c) view.cells.back().push_back(CellText(&sheet, r, c));
    }
    FreeLibraryDocument(document);
    return view;
  }

  static std::string CellText(XlsxWorksheet* sheet, uint32_t row, uint32_t column) {
    XlsxCell cell{};
    if (xlsx_sheet_find_cell(sheet, row, column, &cell) != XLSX_OK) return "absent";
    XlsxCellValue value{};
    xlsx_value_init(&value);
    std::string out = "unreadable";
    if (xlsx_cell_get_value(&cell, &value) == XLSX_OK) {
      std::ostringstream text;
      text << xlsx_value_type_name(&value) << ":";
      int64_t integer = 0;
      double number = 0;
      const char* chars = nullptr;
      bool flag = false;
      if (xlsx_value_get_bool(&value, &flag) == XLSX_OK)
        text << (flag ? 1 : 0);
      else if (xlsx_value_get_int(&value, &integer) == XLSX_OK)
        text << integer;
      else if (xlsx_value_type(&value) == XLSX_VALUE_FLOAT && xlsx_value_get_float(&value, &number) == XLSX_OK)
        text << number;
      else if (xlsx_value_get_text(&value, &chars) == XLSX_OK)
        text << chars;
      out = text.str();
    }
    xlsx_value_reset(&value);
    return out;
  }

  HostApi host_{};
  std::unique_ptr<xlsx_test::TempDir> temp_;
  std::string hostTemp_;

 private:
  std::string previousTmp_;
  uint32_t taggedAtStart_ = 0;
  uint32_t textsAtStart_ = 0;
  uint32_t filesAtStart_ = 0;
};

}  // namespace serializer_test
