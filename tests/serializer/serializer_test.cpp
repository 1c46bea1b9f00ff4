// The table serializer: which cells a sequence of items makes and which items a first sheet gives back,
// texts in the system character set, and failures (keys no row or column can hold, malformed items,
// streams that stop or fail, host services and memory that run out), each reported through the entry
// point's result only and leaving nothing behind.
#include <cmath>
#include <limits>

#include "lib/sheet/cell.h"
#include "tests/serializer/serializer_fixture.h"
#include "tests/support/fault_alloc.h"

namespace serializer_test {
namespace {

using Items = std::vector<Item>;
using Cells = std::vector<std::vector<std::string>>;

const char* g_refused_tag = "";

class Serializer : public SerializerTest {
 protected:
  void TearDown() override {
    g_refused_tag = "";
    SerializerTest::TearDown();
  }
  // AllocMem refuses blocks of the tag; other host operations may be replaced through host_.
  void RefuseTag(const char* tag) {
    g_refused_tag = tag;
    host_.AllocMem = [](uint32_t size, uint32_t clear, const char* t) {
      return strcmp(t, g_refused_tag) == 0 ? nullptr : HostAllocMem(size, clear, t);
    };
  }
  // A writing state with A1 = 1 stored.
  void* StartWriter(Stream* stream) {
    void* state = Writer(stream);
    EXPECT_TRUE(state && Send(state, Item::Begin(0)) && Send(state, Item::Number(0, 1)));
    return state;
  }
};

TEST_F(Serializer, ItemsPlaceCellsOnTheFirstSheet) {
  const struct {
    const char* what;
    Items items;
    Cells cells;
  } rows[] = {
      {"text and whole number", {Item::Begin(0), Item::Text(0, "a"), Item::Number(1, 2), Item::End(0)},
       {{"string:a", "integer:2"}}},
      {"fractions", {Item::Begin(0), Item::Number(0, 2.5), Item::Number(1, -0.125), Item::End(0)},
       {{"float:2.5", "float:-0.125"}}},
      // Row key 2 is the third row, column key 3 is column D; rows may come in any order.
      {"keys place rows and cells",
       {Item::Begin(2), Item::Number(3, 7), Item::End(2), Item::Begin(0), Item::Text(1, "b"), Item::End(0)},
       {{"absent", "string:b", "absent", "absent"},
        {"absent", "absent", "absent", "absent"},
        {"absent", "absent", "absent", "integer:7"}}},
      {"fractional keys are truncated", {Item::Begin(1.9), Item::Number(2.7, 5), Item::End(1.9)},
       {{"absent", "absent", "absent"}, {"absent", "absent", "integer:5"}}},
      {"items before any row land in the first row", {Item::Text(0, "loose")}, {{"string:loose"}}},
      {"a number that is not finite is the number error", {Item::Number(0, INFINITY)}, {{"error:#NUM!"}}},
      {"no items", {}, {}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CellsOf(Serialize(row.items)), row.cells) << row.what;
  }
  EXPECT_EQ(Deserialize(Serialize({})), (Items{Item::Done()})) << "an empty sheet reads as no items";
  Stream stream;
  void* state = Writer(&stream);
  double key = 0;
  SerialItem k{SERIAL_NUMBER, &key, sizeof key, 0}, null_text{SERIAL_TEXT, nullptr, 5, 0};
  EXPECT_EQ(SerializeItem(state, &k, &null_text), 1);
  ASSERT_EQ(FreeSerializer(state), 1);
  EXPECT_EQ(CellsOf(stream.bytes), (Cells{{"string:"}})) << "a null text is the empty text";
}

// Texts (non-ASCII, empty, markup, spaces), integers and floats at the edges of their forms come back;
// rows and cells the sheet lacks are not handed out; booleans come back as numbers and errors as their
// text; only the first sheet is read; inline strings read like shared ones; the end stays the end.
TEST_F(Serializer, ItemsComeBackFromTheFirstSheet) {
  Items written{Item::Begin(0), Item::Text(0, "plain"), Item::Text(1, "Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5"),
                Item::Number(2, 42), Item::Number(3, -9007199254740992.0), Item::End(0), Item::Begin(2),
                Item::Number(0, 0.1), Item::Number(1, -2.5e-300), Item::Text(2, ""), Item::Number(3, 1e20), Item::End(2),
                Item::Begin(3), Item::Text(0, "<a href=\"x\">&amp;</a>"), Item::Text(1, "  padded  "),
                Item::Text(2, "line\nbreak\ttab"), Item::Text(3, "#DIV/0!"), Item::End(3)};
  Items expected = written;
  expected.push_back(Item::Done());
  EXPECT_EQ(Deserialize(Serialize(written)), expected);
  std::string bytes = MakeWorkbook([](XlsxWorkbook* workbook) {
    ASSERT_EQ(xlsx_workbook_add_sheet(workbook, "Second"), XLSX_OK);
    XlsxWorksheet first{}, second{};
    ASSERT_EQ(xlsx_workbook_worksheet_at(workbook, 1, &first) + xlsx_workbook_worksheet_at(workbook, 2, &second), XLSX_OK);
    xlsx_test::put_text(&second, 1, 1, "elsewhere");
    xlsx_test::put_cell(&first, 1, 1, [](XlsxCellValue* v) { return xlsx_value_set_bool(v, 1); });
    xlsx_test::put_cell(&first, 1, 2, [](XlsxCellValue* v) { return xlsx_value_set_error(v, "#DIV/0!"); });
    xlsx_set_shared_strings_mode(1);
    xlsx_test::put_text(&first, 1, 3, "inline");
    xlsx_set_shared_strings_mode(0);
  });
  Stream stream;
  stream.bytes = bytes;
  void* state = Reader(&stream);
  ASSERT_NE(state, nullptr);
  SerialItem key{}, value{};
  uint32_t done = 7;  // left unchanged by every call that is not the end
  ASSERT_EQ(DeserializeItem(state, &key, &value, &done), 1);
  EXPECT_EQ(done, 7u);
  EXPECT_EQ(ReadAll(state), (Items{Item::Number(0, 1), Item::Text(1, "#DIV/0!"), Item::Text(2, "inline"), Item::End(0),
                                   Item::Done()}));
  done = 0;
  EXPECT_EQ(DeserializeItem(state, &key, &value, &done), 1);
  EXPECT_EQ(done, 1u) << "done stays done";
  EXPECT_EQ(FreeSerializer(state), 1);
  // Long streams are copied in chunks of the copy buffer.
  Items many{Item::Begin(0)};
  uint32_t seed = 12345;
  for (int c = 0; c < 6000; ++c) {
    std::string text;
    for (int i = 0; i < 4; ++i) text += std::to_string(seed = seed * 1664525u + 1013904223u);
    many.push_back(Item::Text(c, text));
  }
  many.push_back(Item::End(0));
  bytes = Serialize(many);
  EXPECT_GT(bytes.size(), 3u * 16384u);
  many.push_back(Item::Done());
  EXPECT_EQ(Deserialize(bytes), many);
}

class Latin1Serializer : public Serializer {
 protected:
  const char* Charset() const override { return "ISO-8859-1"; }
};

// Texts of the system set (encoding 0) are stored as UTF-8 and come back in either; without options the
// host's default encoding applies, options override it and unknown tags are skipped; a text the target
// set cannot hold fails its item, and reading goes on.
TEST_F(Latin1Serializer, SystemTextsAreStoredAsUtf8) {
  const std::string latin1 = "\xC4pfel \xFC" "ber Stra\xDF" "e", utf8 = "\xC3\x84pfel \xC3\xBC" "ber Stra\xC3\x9F" "e";
  std::string bytes = Serialize({Item::Begin(0), Item::Text(0, latin1), Item::Number(1, 3), Item::End(0)}, HOST_ENCODING_SYSTEM);
  EXPECT_EQ(CellsOf(bytes), (Cells{{"string:" + utf8, "integer:3"}}));
  EXPECT_EQ(Deserialize(bytes, HOST_ENCODING_SYSTEM), (Items{Item::Begin(0), Item::Text(0, latin1), Item::Number(1, 3), Item::End(0), Item::Done()}));
  EXPECT_EQ(Deserialize(bytes, HOST_ENCODING_UTF8), (Items{Item::Begin(0), Item::Text(0, utf8), Item::Number(1, 3), Item::End(0), Item::Done()}));
  host_.QuerySettings = [](const HostTag* options) {
    for (const HostTag* tag = options; tag && tag->tag != HOST_TAG_END; ++tag)
      if (tag->tag == HOST_TAG_DEFAULT_ENCODING) *reinterpret_cast<int32_t*>(tag->value) = HOST_ENCODING_SYSTEM;
  };
  Stream out;
  void* writer = InitSerializer(nullptr, WriteStream, &out, nullptr);
  EXPECT_EQ(Send(writer, Item::Text(0, "caf\xE9")), 1);
  ASSERT_EQ(FreeSerializer(writer), 1);
  EXPECT_EQ(CellsOf(out.bytes), (Cells{{"string:caf\xC3\xA9"}}));
  HostTag options[] = {{7, 99}, {1, HOST_ENCODING_UTF8}, {HOST_TAG_END, 0}};
  writer = InitSerializer(nullptr, WriteStream, &out, options);
  EXPECT_EQ(Send(writer, Item::Text(0, "\xE6\x97\xA5")), 1);
  EXPECT_EQ(Send(writer, Item::Text(1, "ok")), 1);
  out.bytes.clear();
  ASSERT_EQ(FreeSerializer(writer), 1);
  Stream in;
  in.bytes = out.bytes;
  void* reader = Reader(&in, HOST_ENCODING_SYSTEM);
  SerialItem key{}, value{};
  uint32_t done = 0;
  EXPECT_EQ(DeserializeItem(reader, &key, &value, &done), 1);
  EXPECT_EQ(DeserializeItem(reader, &key, &value, &done), 0) << "the CJK text";
  EXPECT_EQ(ReadAll(reader), (Items{Item::Text(1, "ok"), Item::End(0), Item::Done()}));
  EXPECT_EQ(FreeSerializer(reader), 1);
  host_.ConvertText = [](const char*, int32_t, int32_t, const HostTag*) -> char* { return nullptr; };
  writer = Writer(&out, HOST_ENCODING_SYSTEM);
  EXPECT_EQ(Send(writer, Item::Text(0, "x")), 0) << "a failed conversion fails the item";
  EXPECT_EQ(FreeSerializer(writer), 1);
}

// Keys no row or column can hold, and items the sheet cannot take, fail one by one and change nothing:
// text keys, short or missing keys and values, unknown kinds, odd markers, texts with a zero byte, a table
// inside a row, a text copy the host cannot allocate; calls in the wrong direction or without state fail.
TEST_F(Serializer, MalformedItemsFailAndChangeNothing) {
  Stream stream;
  void* state = StartWriter(&stream);
  for (double bad : {-1.0, -0.5, double(NAN), 16384.0, 1e300}) {
    EXPECT_EQ(Send(state, Item::Number(bad, 9)), 0) << bad;
  }
  double key = 1, number = 5;
  SerialItem k{SERIAL_NUMBER, &key, sizeof key, 0}, text_key{SERIAL_TEXT, "b", 1, 0};
  SerialItem number_value{SERIAL_NUMBER, &number, sizeof number, 0}, marker{SERIAL_TABLE, nullptr, 1, 0};
  SerialItem short_key{SERIAL_NUMBER, &key, 4, 0}, null_key{SERIAL_NUMBER, nullptr, 8, 0};
  SerialItem unknown{3, &key, sizeof key, 0}, odd_marker{SERIAL_TABLE, nullptr, 2, 0}, zero{SERIAL_TEXT, "a\0b", 3, 0};
  const SerialItem* rows[][2] = {{&text_key, &number_value}, {&text_key, &marker}, {&short_key, &k}, {&null_key, &k},
                                 {nullptr, &k}, {&k, nullptr}, {&k, &unknown}, {&k, &null_key}, {&k, &odd_marker},
                                 {&k, &zero}};
  for (const auto& row : rows) {
    EXPECT_EQ(SerializeItem(state, row[0], row[1]), 0) << &row - rows;
  }
  EXPECT_EQ(Send(state, Item::Begin(1)), 0) << "a table inside a row";
  SerialItem out_key{}, out_value{};
  uint32_t done = 0;
  EXPECT_EQ(DeserializeItem(state, &out_key, &out_value, &done), 0) << "reading from a writer";
  EXPECT_EQ(Send(state, Item::End(0)), 1);
  for (double bad : {-1.0, double(NAN), 1048576.0}) {
    EXPECT_EQ(Send(state, Item::Begin(bad)), 0) << bad;
  }
  RefuseTag("strval");
  EXPECT_EQ(Send(state, Item::Text(1, "x")), 0);
  g_refused_tag = "";
  EXPECT_EQ(Send(state, Item::Begin(1048575)) + Send(state, Item::Number(16383, 2)) + Send(state, Item::End(1048575)), 3)
      << "the last row and column are fine";
  ASSERT_EQ(FreeSerializer(state), 1);
  uint32_t rows_count = 0, columns = 0;
  CellsOf(stream.bytes, &rows_count, &columns);
  EXPECT_TRUE(rows_count == 1048576u && columns == 16384u);
  Stream in;
  in.bytes = Serialize({Item::Begin(0), Item::Number(0, 1), Item::End(0)});
  void* reader = Reader(&in);
  EXPECT_EQ(Send(reader, Item::Number(0, 5)), 0) << "writing to a reader";
  EXPECT_EQ(DeserializeItem(reader, nullptr, &out_value, &done) + DeserializeItem(reader, &out_key, &out_value, nullptr), 0);
  EXPECT_EQ(ReadAll(reader), (Items{Item::Begin(0), Item::Number(0, 1), Item::End(0), Item::Done()}));
  EXPECT_EQ(FreeSerializer(reader), 1);
  EXPECT_EQ(Send(nullptr, Item::Number(0, 5)) + DeserializeItem(nullptr, &out_key, &out_value, &done), 0);
}

int32_t OverlongRead(void*, uint32_t size, void*) { return static_cast<int32_t>(size) + 1; }

// Reading starts only from a whole workbook; writing needs the host's temporary name and state block;
// a write callback that stops early fails the end and leaves no file; a reader freed mid-way and a save
// that runs out of memory release everything.
TEST_F(Serializer, StreamsAndHostServicesThatFail) {
  std::string bytes = Serialize({Item::Begin(0), Item::Text(0, "a"), Item::Text(1, "b"), Item::End(0)});
  const struct {
    std::string bytes;
    size_t limit;
    int32_t failure;
  } rows[] = {{bytes, 0, 0},  {bytes, 30, 0}, {bytes, bytes.size() / 2, 0}, {bytes, bytes.size() - 1, 0},
              {bytes, bytes.size() / 2, -1}, {"", SIZE_MAX, 0}, {"not a workbook at all", SIZE_MAX, 0},
              {std::string(5000, 'P'), SIZE_MAX, 0}};
  for (const auto& row : rows) {
    Stream stream;
    stream.bytes = row.bytes;
    stream.readLimit = row.limit;
    stream.readFailure = row.failure;
    EXPECT_EQ(InitSerializer(ReadStream, nullptr, &stream, nullptr), nullptr) << &row - rows;
  }
  EXPECT_EQ(InitSerializer(OverlongRead, nullptr, nullptr, nullptr), nullptr);
  Stream stream;
  stream.bytes = bytes;
  void* reader = Reader(&stream, HOST_ENCODING_SYSTEM);  // converted texts are held too
  SerialItem key{}, value{};
  uint32_t done = 0;
  ASSERT_EQ(DeserializeItem(reader, &key, &value, &done) + DeserializeItem(reader, &key, &value, &done), 2);
  EXPECT_EQ(ItemOf(key, value), Item::Text(0, "a"));
  EXPECT_EQ(FreeSerializer(reader), 1);
  Stream out;
  EXPECT_EQ(InitSerializer(nullptr, nullptr, &out, nullptr), nullptr) << "no stream at all";
  host_.GetTempFileName = [](char*, uint32_t, const HostTag*) { return int32_t(-1); };
  EXPECT_EQ(Writer(&out), nullptr);
  host_.GetTempFileName = HostApiTable()->GetTempFileName;
  RefuseTag("serializeinfo");
  EXPECT_EQ(Writer(&out), nullptr);
  EXPECT_EQ(out.writeCalls, 0u);
  g_refused_tag = "";
  for (size_t limit : {size_t{0}, size_t{100}, size_t{16384}, size_t{40000}}) {
    Stream limited;
    limited.writeLimit = limit;
    void* state = StartWriter(&limited);
    for (int c = 1; c < 5000; ++c) {
      ASSERT_EQ(Send(state, Item::Text(c, std::to_string(c * 2654435761u))), 1);
    }
    EXPECT_EQ(FreeSerializer(state), 0) << "limit " << limit;
    EXPECT_EQ(limited.bytes.size(), limit);
    EXPECT_EQ(xlsx_test::list_dir(temp_), std::vector<std::string>{});
  }
  void* state = StartWriter(&out);
  xlsx_test::FaultAllocation fault(1, true);
  EXPECT_EQ(FreeSerializer(state), 0) << "the workbook cannot be saved";
  EXPECT_EQ(out.writeCalls, 0u);
}

// Every library allocation of a whole write and of a whole read made to fail in turn: each run either
// succeeds with the right items or fails cleanly (no file, no block left).
TEST_F(Serializer, AllocationFailuresFailCleanly) {
  const Items items{Item::Begin(0), Item::Text(0, "a"), Item::Number(1, 2.5), Item::End(0)};
  const std::string bytes = Serialize(items);
  Items expected = items;
  expected.push_back(Item::Done());
  uint32_t live = xlsx_live_allocations(), runs = 0;
  xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
    ++runs;
    Stream stream;
    void* state = Writer(&stream);
    bool ok = state != nullptr;
    for (const Item& item : items) ok = ok && Send(state, item);
    if (state && !FreeSerializer(state)) ok = false;
    EXPECT_EQ(xlsx_test::list_dir(temp_), std::vector<std::string>{});
    EXPECT_EQ(xlsx_live_allocations(), live);
    fault.fail_after(0);
    if (!fault.failures()) {
      EXPECT_TRUE(ok && stream.bytes.size() > 100);
    }
  }, 20000);
  EXPECT_GT(runs, 10u);
  xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
    Stream stream;
    stream.bytes = bytes;
    void* state = Reader(&stream);
    Items read;
    if (state) {
      read = ReadAll(state);
      EXPECT_EQ(FreeSerializer(state), 1);
    }
    if (!fault.failures()) {
      EXPECT_EQ(read, expected);
    }
    EXPECT_EQ(xlsx_live_allocations(), live);
  }, 20000);
}

}  // namespace
}  // namespace serializer_test
