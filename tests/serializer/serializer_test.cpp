// The table serializer driven in-process through its four entry points, as a host drives it.
#include <algorithm>
#include <cstring>

#include "lib/document/document.h"
#include "plugin/serializer.h"
#include "tests/support/book.h"
#include "tests/support/cases.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/host_fixture.h"

namespace {

using namespace xlsx_test;

// Items as texts: "[k" and "]k" begin and end row k, "nk=x" is the number x and "tk=x" the text x under
// the number key k, "done" the end; numbers as "%.17g" writes them.
using Items = std::vector<std::string>;

// The fake stream: read up to read_limit (then end or read_failure), written up to write_limit bytes.
struct Stream {
  std::string bytes = "";
  size_t read_limit = SIZE_MAX;
  int32_t read_failure = 0;
  size_t position = 0, write_limit = SIZE_MAX;
  uint32_t write_calls = 0;
};

int32_t ReadStream(void* buffer, uint32_t size, void* user) {
  auto* s = static_cast<Stream*>(user);
  size_t end = std::min(s->bytes.size(), s->read_limit), left = end - std::min(s->position, end);
  if (left == 0 && s->read_failure && s->position < s->bytes.size()) return s->read_failure;
  size_t count = std::min<size_t>(left, size);
  memcpy(buffer, s->bytes.data() + s->position, count);
  s->position += count;
  return static_cast<int32_t>(count);
}

int32_t WriteStream(const void* buffer, uint32_t size, void* user) {
  auto* s = static_cast<Stream*>(user);
  ++s->write_calls;
  size_t count = std::min<size_t>(s->write_limit > s->bytes.size() ? s->write_limit - s->bytes.size() : 0, size);
  s->bytes.append(static_cast<const char*>(buffer), count);
  return static_cast<int32_t>(count);
}

const char* g_refused_tag = "";

class Serializer : public PluginTest {
 protected:
  void TearDown() override { g_refused_tag = ""; PluginTest::TearDown(); }
  // AllocMem refuses blocks of the tag; other host operations may be replaced through host_.
  void RefuseTag(const char* tag) {
    g_refused_tag = tag;
    host_.AllocMem = [](uint32_t size, uint32_t clear, const char* t) {
      return strcmp(t, g_refused_tag) == 0 ? nullptr : HostAllocMem(size, clear, t);
    };
  }
  // Sends one item; the result of SerializeItem.
  static int32_t Send(void* state, const std::string& item) {
    size_t equals = item.find('=');
    double key = std::strtod(item.substr(1, equals).c_str(), nullptr), number = 0;
    std::string payload = equals == std::string::npos ? "" : item.substr(equals + 1);
    SerialItem k{SERIAL_NUMBER, &key, sizeof key, 0}, v{SERIAL_TEXT, payload.data(), uint32_t(payload.size()), 0};
    if (item[0] == '[' || item[0] == ']') v = SerialItem{SERIAL_TABLE, nullptr, item[0] == '[', 0};
    if (item[0] == 'n') v = SerialItem{SERIAL_NUMBER, &number, sizeof number, 0};
    number = std::strtod(payload.c_str(), nullptr);
    return SerializeItem(state, &k, &v);
  }
  // A writing state whose texts come in the encoding, or a reading state whose texts go out in it.
  static void* Writer(Stream* stream, int32_t encoding = HOST_ENCODING_UTF8, bool write = true) {
    HostTag options[] = {{write ? 1u : 2u, static_cast<uintptr_t>(encoding)}, {HOST_TAG_END, 0}};
    return InitSerializer(write ? nullptr : ReadStream, write ? WriteStream : nullptr, stream, options);
  }
  static void* Reader(Stream* stream, int32_t encoding = HOST_ENCODING_UTF8) { return Writer(stream, encoding, false); }
  // A writing state with A1 = 1 stored.
  void* StartWriter(Stream* stream) {
    void* state = Writer(stream);
    EXPECT_TRUE(state && Send(state, "[0") && Send(state, "n0=1"));
    return state;
  }
  // The workbook bytes of the items; "" (with a test failure) when any step fails.
  std::string Serialize(const Items& items) {
    Stream stream;
    void* state = Writer(&stream);
    bool ok = state != nullptr;
    for (const std::string& item : items) ok = ok && Send(state, item);
    EXPECT_TRUE(ok) << "an item was refused";
    EXPECT_EQ(state ? FreeSerializer(state) : 0, 1);
    return ok ? stream.bytes : "";
  }
  static std::string ItemOf(const SerialItem& key, const SerialItem& value) {
    auto num = [](double x) { char text[32]; return std::string(text, std::snprintf(text, 32, "%.17g", x)); };
    double k = -1, n = 0;
    if (key.kind == SERIAL_NUMBER && key.data) memcpy(&k, key.data, sizeof k);
    if (value.kind == SERIAL_TABLE) return (value.size ? "[" : "]") + num(k);
    if (value.kind != SERIAL_NUMBER)
      return "t" + num(k) + "=" + (value.data ? std::string(static_cast<const char*>(value.data), value.size) : "");
    memcpy(&n, value.data, sizeof n);
    return "n" + num(k) + "=" + num(n);
  }
  // Every item of a reading state, then "done"; stops at the first failed call (the state stays).
  static Items ReadAll(void* state) {
    Items items;
    uint32_t done = 0;
    for (SerialItem key{}, value{}; !done && items.size() < 100000 && DeserializeItem(state, &key, &value, &done);)
      items.push_back(done ? "done" : ItemOf(key, value));
    return items;
  }
  // The cells of the first sheet of workbook bytes as cell_text gives them, "," between cells
  // and "/" between rows; or only the sheet's row and column counts.
  std::string CellsOf(const std::string& bytes, uint32_t* rows = nullptr, uint32_t* columns = nullptr) {
    std::string cells;
    write_bytes(dir_.file("view.xlsx"), bytes);
    XlsxDocument* document = xlsx_document_new();
    EXPECT_EQ(xlsx_document_open(document, dir_.file("view.xlsx").c_str()), XLSX_OK);
    XlsxWorksheet sheet{};
    EXPECT_EQ(xlsx_workbook_worksheet_at(xlsx_document_workbook(document), 1, &sheet), XLSX_OK);
    uint32_t row_count = xlsx_sheet_row_count(&sheet), column_count = xlsx_sheet_column_count(&sheet);
    if (rows) *rows = row_count, *columns = column_count;
    for (uint32_t r = 1; !rows && r <= row_count; ++r)
      for (uint32_t c = 1; c <= column_count; ++c)
        cells += (c > 1 ? "," : r > 1 ? "/" : "") + cell_text(&sheet, r, c);
    xlsx_document_free(document);
    return cells;
  }
};

// Rows and cells land where their keys say (the rules with the rows of serializer.cases); a null text is empty.
TEST_F(Serializer, ItemsPlaceCellsOnTheFirstSheet) {
  for (const auto& c : read_cases("serializer/serializer.cases", "items"))
    EXPECT_EQ(CellsOf(Serialize(Items(c.fields.begin() + 1, c.fields.end()))), c[0]) << c.where;
  Stream stream;
  void* state = Writer(&stream);
  double key = 0;
  SerialItem k{SERIAL_NUMBER, &key, sizeof key, 0}, null_text{SERIAL_TEXT, nullptr, 5, 0};
  EXPECT_EQ(SerializeItem(state, &k, &null_text), 1);
  ASSERT_EQ(FreeSerializer(state), 1);
  EXPECT_EQ(CellsOf(stream.bytes), "string:") << "a null text is the empty text";
}

// Keys or items the sheet cannot take fail one by one and change nothing, as do calls of the wrong state.
TEST_F(Serializer, MalformedItemsFailAndChangeNothing) {
  Stream stream;
  void* state = StartWriter(&stream);
  for (const char* bad : {"n-1=9", "n-0.5=9", "nnan=9", "n16384=9", "n1e300=9", "[1"})
    EXPECT_EQ(Send(state, bad), 0) << bad;
  double key = 1, number = 5;
  SerialItem k{SERIAL_NUMBER, &key, sizeof key, 0}, text_key{SERIAL_TEXT, "b", 1, 0};
  SerialItem number_value{SERIAL_NUMBER, &number, sizeof number, 0}, marker{SERIAL_TABLE, nullptr, 1, 0};
  SerialItem short_key{SERIAL_NUMBER, &key, 4, 0}, null_key{SERIAL_NUMBER, nullptr, 8, 0};
  SerialItem unknown{3, &key, sizeof key, 0}, odd_marker{SERIAL_TABLE, nullptr, 2, 0}, zero{SERIAL_TEXT, "a\0b", 3, 0};
  const SerialItem* rows[][2] = {{&text_key, &number_value}, {&text_key, &marker}, {&short_key, &k}, {&null_key, &k},
                                 {nullptr, &k}, {&k, nullptr}, {&k, &unknown}, {&k, &null_key}, {&k, &odd_marker},
                                 {&k, &zero}};
  for (const auto& row : rows) EXPECT_EQ(SerializeItem(state, row[0], row[1]), 0) << &row - rows;
  SerialItem out_key{}, out_value{};
  uint32_t done = 0;
  EXPECT_EQ(DeserializeItem(state, &out_key, &out_value, &done), 0) << "reading from a writer";
  EXPECT_EQ(Send(state, "]0"), 1);
  for (const char* bad : {"[-1", "[nan", "[1048576"}) EXPECT_EQ(Send(state, bad), 0) << bad;
  RefuseTag("strval");
  EXPECT_EQ(Send(state, "t1=x"), 0);
  g_refused_tag = "";
  // The last row and column, sent one item at a time (the order of the sends matters).
  for (const char* item : {"[1048575", "n16383=2", "]1048575"}) EXPECT_EQ(Send(state, item), 1) << item;
  ASSERT_EQ(FreeSerializer(state), 1);
  uint32_t rows_count = 0, columns = 0;
  CellsOf(stream.bytes, &rows_count, &columns);
  EXPECT_TRUE(rows_count == 1048576u && columns == 16384u);
  Stream in{Serialize({"[0", "n0=1", "]0"})};
  void* reader = Reader(&in);
  EXPECT_EQ(Send(reader, "n0=5"), 0) << "writing to a reader";
  EXPECT_EQ(
      DeserializeItem(reader, nullptr, &out_value, &done) + DeserializeItem(reader, &out_key, &out_value, nullptr), 0);
  EXPECT_EQ(ReadAll(reader), (Items{"[0", "n0=1", "]0", "done"}));
  EXPECT_EQ(FreeSerializer(reader), 1);
  EXPECT_EQ(Send(nullptr, "n0=5") + DeserializeItem(nullptr, &out_key, &out_value, &done), 0);
}

int32_t OverlongRead(void*, uint32_t size, void*) { return static_cast<int32_t>(size) + 1; }

// Broken input, missing host services, a stopping stream, an unconvertible text, no memory: clean failures.
TEST_F(Serializer, StreamsAndHostServicesThatFail) {
  std::string bytes = Serialize({"[0", "t0=a", "t1=b", "]0"});
  Stream streams[] = {{bytes, 0}, {bytes, 30}, {bytes, bytes.size() / 2}, {bytes, bytes.size() - 1},
                      {bytes, bytes.size() / 2, -1}, {""}, {"not a workbook at all"}, {std::string(5000, 'P')}};
  for (Stream& stream : streams)
    EXPECT_EQ(InitSerializer(ReadStream, nullptr, &stream, nullptr), nullptr) << &stream - streams;
  EXPECT_EQ(InitSerializer(OverlongRead, nullptr, nullptr, nullptr), nullptr);
  Stream stream{bytes};
  void* reader = Reader(&stream, HOST_ENCODING_SYSTEM);  // converted texts are held too
  SerialItem key{}, value{};
  uint32_t done = 0;
  ASSERT_EQ(DeserializeItem(reader, &key, &value, &done) + DeserializeItem(reader, &key, &value, &done), 2);
  EXPECT_EQ(ItemOf(key, value), "t0=a");
  EXPECT_EQ(FreeSerializer(reader), 1);
  Stream out;
  EXPECT_EQ(InitSerializer(nullptr, nullptr, &out, nullptr), nullptr) << "no stream at all";
  host_.GetTempFileName = [](char*, uint32_t, const HostTag*) { return int32_t(-1); };
  EXPECT_EQ(Writer(&out), nullptr);
  host_.GetTempFileName = HostApiTable()->GetTempFileName;
  RefuseTag("serializeinfo");
  EXPECT_EQ(Writer(&out), nullptr);
  EXPECT_EQ(out.write_calls, 0u);
  g_refused_tag = "";
  for (size_t limit : {size_t{0}, size_t{100}, size_t{16384}, size_t{40000}}) {
    Stream limited{.write_limit = limit};
    void* state = StartWriter(&limited);
    for (int c = 1; c < 5000; ++c)
      ASSERT_EQ(Send(state, "t" + std::to_string(c) + "=" + std::to_string(c * 2654435761u)), 1);
    EXPECT_EQ(FreeSerializer(state), 0) << "limit " << limit;
    EXPECT_EQ(limited.bytes.size(), limit);
    EXPECT_EQ(list_dir(temp_), std::vector<std::string>{});
  }
  host_.ConvertText = [](const char*, int32_t, int32_t, const HostTag*) -> char* { return nullptr; };
  void* state = Writer(&out, HOST_ENCODING_SYSTEM);
  EXPECT_EQ(Send(state, "t0=x"), 0) << "a text the host cannot convert fails its item";
  ASSERT_TRUE(Send(state, "[0") && Send(state, "n0=1"));
  FaultAllocation fault(1, true);
  EXPECT_EQ(FreeSerializer(state), 0) << "the workbook cannot be saved";
  EXPECT_EQ(out.write_calls, 0u);
}

// Every allocation of a whole write and read failing in turn: each run succeeds or fails cleanly.
TEST_F(Serializer, AllocationFailuresFailCleanly) {
  const Items items = {"[0", "t0=a", "n1=2.5", "]0"};
  const std::string bytes = Serialize(items);
  uint32_t live = xlsx_live_allocations();
  uint32_t allocations = for_each_allocation_failure([&](FaultAllocation& fault) {
    Stream stream;
    void* state = Writer(&stream);
    bool ok = state != nullptr;
    for (const std::string& item : items) ok = ok && Send(state, item);
    if (state && !FreeSerializer(state)) ok = false;
    EXPECT_EQ(list_dir(temp_), std::vector<std::string>{});
    EXPECT_EQ(xlsx_live_allocations(), live);
    fault.fail_after(0);
    EXPECT_TRUE(fault.failures() || (ok && stream.bytes.size() > 100));
  }, 20000);
  EXPECT_GT(allocations, 10u);
  for_each_allocation_failure([&](FaultAllocation& fault) {
    Stream stream{bytes};
    void* state = Reader(&stream);
    Items read;
    if (state) {
      read = ReadAll(state);
      EXPECT_EQ(FreeSerializer(state), 1);
    }
    EXPECT_TRUE(fault.failures() || (read == Items{"[0", "t0=a", "n1=2.5", "]0", "done"}));
    EXPECT_EQ(xlsx_live_allocations(), live);
  }, 20000);
}

}  // namespace
