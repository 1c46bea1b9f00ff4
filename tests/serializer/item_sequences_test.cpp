// The item sequences in both directions: which cells a sequence of items makes on the first sheet, and
// which items a first sheet gives back (beginning marker, the row's values by column, ending marker,
// row after row, then done).
#include "tests/serializer/serializer_fixture.h"

namespace serializer_test {
namespace {

using Items = std::vector<Item>;
using Cells = std::vector<std::vector<std::string>>;

class ItemSequenceTest : public SerializerTest {};

// Which cells a sequence of items makes on the first sheet ("absent" where the sheet holds no cell).
TEST_F(ItemSequenceTest, ItemsPlaceCellsOnTheFirstSheet) {
  const struct {
    const char* what;
    Items items;
    Cells cells;
  } rows[] = {
      {"text and whole number",
       {Item::Begin(0), Item::Text(0, "a"), Item::Number(1, 2), Item::End(0)},
       {{"string:a", "integer:2"}}},
      {"fractions",
       {Item::Begin(0), Item::Number(0, 2.5), Item::Number(1, -0.125), Item::End(0)},
       {{"float:2.5", "float:-0.125"}}},
      // Row key 2 is the third row, column key 3 is column D; rows may come in any order.
      {"keys place rows and cells",
       {Item::Begin(2), Item::Number(3, 7), Item::End(2), Item::Begin(0), Item::Text(1, "b"), Item::End(0)},
       {{"absent", "string:b", "absent", "absent"},
        {"absent", "absent", "absent", "absent"},
        {"absent", "absent", "absent", "integer:7"}}},
      {"fractional keys are truncated",
       {Item::Begin(1.9), Item::Number(2.7, 5), Item::End(1.9)},
       {{"absent", "absent", "absent"}, {"absent", "absent", "integer:5"}}},
      {"items before any row land in the first row", {Item::Text(0, "loose")}, {{"string:loose"}}},
      {"no items", {}, {}},
  };
  for (const auto& row : rows) EXPECT_EQ(ViewOf(Serialize(row.items)).cells, row.cells) << row.what;
  EXPECT_EQ(Deserialize(Serialize({})), (Items{Item::Done()})) << "an empty sheet reads as no items";
}

TEST_F(ItemSequenceTest, ReadingGivesTheRowsAndCellsTheSheetHolds) {
  // Rows 1 and 3 hold one cell each: row 2 and the missing cells are not handed out.
  std::string bytes = MakeWorkbook([](XlsxWorksheet* sheet) {
    Put(sheet, 1, 1, [](XlsxCellValue* v) { return xlsx_value_set_int(v, 1); });
    Put(sheet, 3, 3, [](XlsxCellValue* v) { return xlsx_value_set_string(v, "c3"); });
  });
  EXPECT_EQ(Deserialize(bytes), (Items{Item::Begin(0), Item::Number(0, 1), Item::End(0), Item::Begin(2),
                                       Item::Text(2, "c3"), Item::End(2), Item::Done()}));
}

TEST_F(ItemSequenceTest, ReadingGivesBooleansAsNumbersAndErrorsAsTheirText) {
  std::string bytes = MakeWorkbook([](XlsxWorksheet* sheet) {
    Put(sheet, 1, 1, [](XlsxCellValue* v) { return xlsx_value_set_bool(v, 1); });
    Put(sheet, 1, 2, [](XlsxCellValue* v) { return xlsx_value_set_bool(v, 0); });
    Put(sheet, 1, 3, [](XlsxCellValue* v) { return xlsx_value_set_error(v, "#DIV/0!"); });
    Put(sheet, 1, 4, [](XlsxCellValue* v) { return xlsx_value_set_float(v, 1e300); });
  });
  EXPECT_EQ(Deserialize(bytes), (Items{Item::Begin(0), Item::Number(0, 1), Item::Number(1, 0), Item::Text(2, "#DIV/0!"),
                                       Item::Number(3, 1e300), Item::End(0), Item::Done()}));
}

TEST_F(ItemSequenceTest, ReadingReadsOnlyTheFirstSheet) {
  std::string path = Path("two.xlsx");
  XlsxDocument* document = OpenLibraryDocument(path.c_str(), true);
  ASSERT_NE(document, nullptr);
  XlsxWorkbook* workbook = xlsx_document_workbook(document);
  ASSERT_EQ(xlsx_workbook_add_sheet(workbook, "Second"), XLSX_OK);
  XlsxWorksheet second{};
  ASSERT_EQ(xlsx_workbook_worksheet_at(workbook, 2, &second), XLSX_OK);
  Put(&second, 1, 1, [](XlsxCellValue* v) { return xlsx_value_set_string(v, "elsewhere"); });
  XlsxWorksheet first{};
  ASSERT_EQ(xlsx_workbook_worksheet_at(workbook, 1, &first), XLSX_OK);
  Put(&first, 1, 1, [](XlsxCellValue* v) { return xlsx_value_set_string(v, "here"); });
  ASSERT_EQ(SaveLibraryDocument(document, nullptr), XLSX_OK);
  FreeLibraryDocument(document);
  EXPECT_EQ(Deserialize(ReadFileBytes(path)),
            (Items{Item::Begin(0), Item::Text(0, "here"), Item::End(0), Item::Done()}));
}

TEST_F(ItemSequenceTest, DoneStaysDoneAndLeavesTheFlagAloneBefore) {
  std::string bytes = Serialize({Item::Begin(0), Item::Number(0, 1), Item::End(0)});
  Stream stream;
  stream.bytes = bytes;
  void* state = InitSerializer(ReadStream, nullptr, &stream, nullptr);
  ASSERT_NE(state, nullptr);
  SerialItem key{}, value{};
  uint32_t done = 7;  // left unchanged by every call that is not the end
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(DeserializeItem(state, &key, &value, &done), 1);
    EXPECT_EQ(done, 7u);
  }
  done = 0;
  EXPECT_EQ(DeserializeItem(state, &key, &value, &done), 1);
  EXPECT_EQ(done, 1u);
  done = 0;
  EXPECT_EQ(DeserializeItem(state, &key, &value, &done), 1);
  EXPECT_EQ(done, 1u);
  EXPECT_EQ(FreeSerializer(state), 1);
}

TEST_F(ItemSequenceTest, InlineStringsReadLikeSharedOnes) {
  xlsx_set_shared_strings_mode(1);
  std::string bytes = Serialize({Item::Begin(0), Item::Text(0, "inline"), Item::End(0)});
  xlsx_set_shared_strings_mode(0);
  EXPECT_EQ(Deserialize(bytes), (Items{Item::Begin(0), Item::Text(0, "inline"), Item::End(0), Item::Done()}));
}

TEST_F(ItemSequenceTest, ReadingCopiesLongStreamsInChunks) {
  // Enough distinct, poorly compressible texts that the workbook is several copy buffers long.
  Items items{Item::Begin(0)};
  Items expected{Item::Begin(0)};
  uint32_t seed = 12345;
  for (int c = 0; c < 6000; ++c) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
      seed = seed * 1664525u + 1013904223u;
      text += std::to_string(seed);
    }
    items.push_back(Item::Text(c, text));
    expected.push_back(Item::Text(c, text));
  }
  items.push_back(Item::End(0));
  expected.push_back(Item::End(0));
  expected.push_back(Item::Done());
  std::string bytes = Serialize(items);
  EXPECT_GT(bytes.size(), 3u * 16384u);  // the copy buffer's size
  EXPECT_EQ(Deserialize(bytes), expected);
}

}  // namespace
}  // namespace serializer_test
