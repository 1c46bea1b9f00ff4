// Failures: each is reported through the entry point's result only, changes nothing on the sheet, and
// leaves no temporary file, block, text or open file behind (checked by the fixture after every test).
#include "tests/serializer/serializer_fixture.h"

#include <cmath>
#include <limits>

#include "tests/support/fault_alloc.h"

namespace serializer_test {
namespace {

using Items = std::vector<Item>;
using Cells = std::vector<std::vector<std::string>>;

class FailurePathTest : public SerializerTest {
 protected:
  // A writing state with A1 = 1 already stored.
  void* StartWriter(Stream* stream) {
    HostTag options[] = {{1, HOST_ENCODING_UTF8}, {HOST_TAG_END, 0}};
    void* state = InitSerializer(nullptr, WriteStream, stream, options);
    EXPECT_NE(state, nullptr);
    if (state) {
      EXPECT_EQ(Send(state, Item::Begin(0)), 1);
      EXPECT_EQ(Send(state, Item::Number(0, 1)), 1);
    }
    return state;
  }

  // Finishes the writer and gives the first sheet's cells.
  Cells Finish(void* state, Stream* stream) {
    EXPECT_EQ(FreeSerializer(state), 1);
    return ViewOf(stream->bytes).cells;
  }

  const Cells kUnchanged{{"integer:1"}};
};

TEST_F(FailurePathTest, KeysNoRowOrColumnCanHoldFail) {
  Stream stream;
  void* state = StartWriter(&stream);
  ASSERT_NE(state, nullptr);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double bad : {-1.0, -0.5, nan, 16384.0, 1e300}) {
    EXPECT_EQ(Send(state, Item::Number(bad, 9)), 0) << "column key " << bad;
  }
  EXPECT_EQ(Send(state, Item::End(0)), 1);
  for (double bad : {-1.0, nan, 1048576.0}) {
    EXPECT_EQ(Send(state, Item::Begin(bad)), 0) << "row key " << bad;
  }
  // The last column and row are fine.
  EXPECT_EQ(Send(state, Item::Begin(1048575)), 1);
  EXPECT_EQ(Send(state, Item::Number(16383, 2)), 1);
  EXPECT_EQ(Send(state, Item::End(1048575)), 1);
  ASSERT_EQ(FreeSerializer(state), 1);
  SheetView view = ViewOf(stream.bytes, false);
  EXPECT_EQ(view.rows, 1048576u);
  EXPECT_EQ(view.columns, 16384u);
}

// Items the sheet cannot take fail one by one: text keys, short or missing keys and values, unknown
// kinds, odd markers, texts with a zero byte (a cell text would be cut there), a table inside a row (it
// would move the rest of the row elsewhere) and a text copy the host cannot allocate.
TEST_F(FailurePathTest, MalformedItemsFailAndLeaveTheSheetUnchanged) {
  Stream stream;
  void* state = StartWriter(&stream);
  ASSERT_NE(state, nullptr);
  double key = 1, number = 5;
  SerialItem k{SERIAL_NUMBER, &key, sizeof key, 0};
  SerialItem textKey{SERIAL_TEXT, "b", 1, 0};
  SerialItem numberValue{SERIAL_NUMBER, &number, sizeof number, 0};
  SerialItem marker{SERIAL_TABLE, nullptr, 1, 0};
  SerialItem shortKey{SERIAL_NUMBER, &key, 4, 0};
  SerialItem nullKey{SERIAL_NUMBER, nullptr, 8, 0};
  SerialItem unknownKind{3, &key, sizeof key, 0};
  SerialItem oddMarker{SERIAL_TABLE, nullptr, 2, 0};
  SerialItem zeroInside{SERIAL_TEXT, "a\0b", 3, 0};
  const struct {
    const SerialItem* key;
    const SerialItem* value;
  } rows[] = {
      {&textKey, &numberValue}, {&textKey, &marker}, {&shortKey, &k},  {&nullKey, &k},   {nullptr, &k}, {&k, nullptr},
      {&k, &unknownKind},       {&k, &nullKey},      {&k, &oddMarker}, {&k, &zeroInside}};
  for (const auto& row : rows) EXPECT_EQ(SerializeItem(state, row.key, row.value), 0) << &row - rows;
  EXPECT_EQ(Send(state, Item::Begin(1)), 0) << "a table inside a row";
  EXPECT_EQ(Send(state, Item::End(0)), 1);
  EXPECT_EQ(Send(state, Item::Begin(1)), 1);
  EXPECT_EQ(Send(state, Item::End(1)), 1);
  Overrides().failTextCopy = true;
  EXPECT_EQ(Send(state, Item::Text(1, "x")), 0);
  Overrides().failTextCopy = false;
  EXPECT_EQ(Finish(state, &stream), kUnchanged);
}

TEST_F(FailurePathTest, FailedTextConversionFailsTheItem) {
  HostTag options[] = {{1, HOST_ENCODING_SYSTEM}, {HOST_TAG_END, 0}};
  Stream other;
  void* systemTexts = InitSerializer(nullptr, WriteStream, &other, options);
  ASSERT_NE(systemTexts, nullptr);
  Overrides().failConvert = true;
  EXPECT_EQ(Send(systemTexts, Item::Text(0, "x")), 0);
  Overrides().failConvert = false;
  EXPECT_EQ(FreeSerializer(systemTexts), 1);
  EXPECT_EQ(ViewOf(other.bytes).rows, 0u);
}

TEST_F(FailurePathTest, TextTheTargetSetCannotHoldFailsTheItemThenReadingGoesOn) {
  std::string bytes = Serialize({Item::Begin(0), Item::Text(0, "\xE6\x97\xA5"), Item::Text(1, "ok"), Item::End(0)});
  ASSERT_TRUE(HostSetCharset("ISO-8859-1"));
  Stream stream;
  stream.bytes = bytes;
  HostTag options[] = {{2, HOST_ENCODING_SYSTEM}, {HOST_TAG_END, 0}};
  void* state = InitSerializer(ReadStream, nullptr, &stream, options);
  ASSERT_NE(state, nullptr);
  SerialItem key{}, value{};
  uint32_t done = 0;
  EXPECT_EQ(DeserializeItem(state, &key, &value, &done), 1);  // beginning marker
  EXPECT_EQ(DeserializeItem(state, &key, &value, &done), 0);  // the CJK text
  EXPECT_EQ(ReadAll(state), (Items{Item::Text(1, "ok"), Item::End(0), Item::Done()}));
  EXPECT_EQ(FreeSerializer(state), 1);
}

TEST_F(FailurePathTest, WriteCallbackThatStopsEarlyFailsAndLeavesNoFile) {
  // The workbook is made several copy buffers long, so that the callback also stops between chunks.
  for (size_t limit : {size_t{0}, size_t{100}, size_t{16384}, size_t{40000}}) {
    Stream stream;
    stream.writeLimit = limit;
    void* state = StartWriter(&stream);
    ASSERT_NE(state, nullptr);
    for (int c = 1; c < 5000; ++c) {
      ASSERT_EQ(Send(state, Item::Text(c, std::to_string(c * 2654435761u))), 1);
    }
    EXPECT_EQ(FreeSerializer(state), 0) << "limit " << limit;
    EXPECT_EQ(stream.bytes.size(), limit);
    EXPECT_EQ(TempFiles(), std::vector<std::string>{});
  }
}

int32_t OverlongRead(void*, uint32_t size, void*) {
  return static_cast<int32_t>(size) + 1;
}

// Reading starts only from a whole workbook: a stream that stops early, reports a failure, claims more
// than the buffer or holds no workbook fails InitSerializer, and so do missing host services.
TEST_F(FailurePathTest, InitFailsWithoutAWholeWorkbookOrTheHostServices) {
  std::string bytes = Serialize({Item::Begin(0), Item::Text(0, "a"), Item::End(0)});
  const struct {
    std::string bytes;
    size_t limit;
    int32_t failure;
  } rows[] = {{bytes, 0, 0},
              {bytes, 30, 0},
              {bytes, bytes.size() / 2, 0},
              {bytes, bytes.size() - 1, 0},
              {bytes, bytes.size() / 2, -1},
              {"", SIZE_MAX, 0},
              {"not a workbook at all", SIZE_MAX, 0},
              {std::string(5000, 'P'), SIZE_MAX, 0}};
  for (const auto& row : rows) {
    Stream stream;
    stream.bytes = row.bytes;
    stream.readLimit = row.limit;
    stream.readFailure = row.failure;
    EXPECT_EQ(InitSerializer(ReadStream, nullptr, &stream, nullptr), nullptr) << &row - rows;
    EXPECT_EQ(TempFiles(), std::vector<std::string>{});
  }
  EXPECT_EQ(InitSerializer(OverlongRead, nullptr, nullptr, nullptr), nullptr);
  Stream stream;
  EXPECT_EQ(InitSerializer(nullptr, nullptr, &stream, nullptr), nullptr);  // no stream at all
  Overrides().failTempName = true;
  EXPECT_EQ(InitSerializer(nullptr, WriteStream, &stream, nullptr), nullptr);
  Overrides().failTempName = false;
  Overrides().failStateBlock = true;
  EXPECT_EQ(InitSerializer(nullptr, WriteStream, &stream, nullptr), nullptr);
  EXPECT_EQ(stream.writeCalls, 0u);
}

TEST_F(FailurePathTest, CallsInTheWrongDirectionOrWithoutStateFail) {
  Stream out;
  void* writer = StartWriter(&out);
  ASSERT_NE(writer, nullptr);
  SerialItem key{}, value{};
  uint32_t done = 0;
  EXPECT_EQ(DeserializeItem(writer, &key, &value, &done), 0);
  EXPECT_EQ(done, 0u);
  std::string bytes = Finish(writer, &out) == kUnchanged ? out.bytes : "";
  ASSERT_FALSE(bytes.empty());

  Stream in;
  in.bytes = bytes;
  void* reader = InitSerializer(ReadStream, nullptr, &in, nullptr);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(Send(reader, Item::Number(0, 5)), 0);
  EXPECT_EQ(DeserializeItem(reader, nullptr, &value, &done), 0);
  EXPECT_EQ(DeserializeItem(reader, &key, &value, nullptr), 0);
  EXPECT_EQ(ReadAll(reader), (Items{Item::Begin(0), Item::Number(0, 1), Item::End(0), Item::Done()}));
  EXPECT_EQ(FreeSerializer(reader), 1);

  EXPECT_EQ(Send(nullptr, Item::Number(0, 5)), 0);
  EXPECT_EQ(DeserializeItem(nullptr, &key, &value, &done), 0);  // FreeSerializer(nullptr): entry_points_test
}

TEST_F(FailurePathTest, FreeingAReaderMidWayReleasesEverything) {
  Stream stream;
  stream.bytes = Serialize({Item::Begin(0), Item::Text(0, "a"), Item::Text(1, "b"), Item::End(0)});
  HostTag options[] = {{2, HOST_ENCODING_SYSTEM}, {HOST_TAG_END, 0}};  // converted texts are held too
  void* state = InitSerializer(ReadStream, nullptr, &stream, options);
  ASSERT_NE(state, nullptr);
  SerialItem key{}, value{};
  uint32_t done = 0;
  ASSERT_EQ(DeserializeItem(state, &key, &value, &done), 1);
  ASSERT_EQ(DeserializeItem(state, &key, &value, &done), 1);
  EXPECT_EQ(ItemOf(key, value), Item::Text(0, "a"));
  EXPECT_EQ(FreeSerializer(state), 1);
}

// Every library allocation of a whole write and read made to fail in turn: each run either succeeds with
// the right items or fails cleanly (no file, no block left: the fixture and the counter check that).
TEST_F(FailurePathTest, AllocationFailuresDuringWritingFailCleanly) {
  Items items{Item::Begin(0), Item::Text(0, "a"), Item::Number(1, 2.5), Item::End(0)};
  uint32_t live = xlsx_live_allocations();
  uint32_t runs = 0;
  xlsx_test::for_each_allocation_failure(
      [&](xlsx_test::FaultAllocation& fault) {
        ++runs;
        Stream stream;
        void* state = InitSerializer(nullptr, WriteStream, &stream, nullptr);
        bool ok = state != nullptr;
        for (const Item& item : items) {
          if (ok && !Send(state, item)) ok = false;
        }
        if (state && !FreeSerializer(state)) ok = false;
        EXPECT_EQ(TempFiles(), std::vector<std::string>{});
        EXPECT_EQ(xlsx_live_allocations(), live);
        if (fault.failures() == 0) {
          EXPECT_TRUE(ok);
        }
        if (ok && fault.failures() == 0) {
          fault.fail_after(0);
          EXPECT_EQ(ViewOf(stream.bytes).cells, (Cells{{"string:a", "float:2.5"}}));
        }
      },
      20000);
  EXPECT_GT(runs, 10u);
}

TEST_F(FailurePathTest, AllocationFailuresDuringReadingFailCleanly) {
  std::string bytes = Serialize({Item::Begin(0), Item::Text(0, "a"), Item::Number(1, 2.5), Item::End(0)});
  uint32_t live = xlsx_live_allocations();
  xlsx_test::for_each_allocation_failure(
      [&](xlsx_test::FaultAllocation& fault) {
        Stream stream;
        stream.bytes = bytes;
        void* state = InitSerializer(ReadStream, nullptr, &stream, nullptr);
        Items read;
        if (state) {
          read = ReadAll(state);
          EXPECT_EQ(FreeSerializer(state), 1);
        }
        if (fault.failures() == 0) {
          EXPECT_EQ(read,
                    (Items{Item::Begin(0), Item::Text(0, "a"), Item::Number(1, 2.5), Item::End(0), Item::Done()}));
        }
        EXPECT_EQ(TempFiles(), std::vector<std::string>{});
        EXPECT_EQ(xlsx_live_allocations(), live);
      },
      20000);
}

TEST_F(FailurePathTest, FailedSaveStreamsNothing) {
  Stream stream;
  void* state = StartWriter(&stream);
  ASSERT_NE(state, nullptr);
  // From here on every library allocation fails, so the workbook cannot be saved.
  xlsx_test::FaultAllocation fault(1, true);
  EXPECT_EQ(FreeSerializer(state), 0);
  EXPECT_GT(fault.failures(), 0u);
  EXPECT_EQ(stream.writeCalls, 0u);
}

}  // namespace
}  // namespace serializer_test
