// Tables written and read back: texts (non-ASCII ones too, also in a system character set that is not
// UTF-8), integers, floats and empty cells come back as they went in; the workbook in between holds the
// texts as UTF-8.
#include "tests/serializer/serializer_fixture.h"

#include <limits>

namespace serializer_test {
namespace {

using Items = std::vector<Item>;

class RoundTripTest : public SerializerTest {};

// Texts (non-ASCII, empty, markup characters and spaces), integers and floats at the edges of their
// forms come back as they went in. Cells no item named read back as empty texts: that rule is checked by
// ReadingFillsTheRectangleWithEmptyTexts (item_sequences_test.cpp) and by scripts/round_trip.lua.
TEST_F(RoundTripTest, TextsIntegersFloatsAndMarkupComeBack) {
  Items written{Item::Begin(0),
                Item::Text(0, "plain"),
                Item::Text(1,
                           "Gr\xC3\xBC\xC3\x9F"
                           "e \xE6\x97\xA5\xE6\x9C\xAC"),
                Item::Number(2, 42),
                Item::Number(3, -9007199254740992.0),
                Item::End(0),
                Item::Begin(1),
                Item::Number(0, 0.1),
                Item::Number(1, -2.5e-300),
                Item::Text(2, ""),
                Item::Number(3, 1e20),
                Item::End(1),
                Item::Begin(2),
                Item::Text(0, "<a href=\"x\">&amp;</a>"),
                Item::Text(1, "  padded  "),
                Item::Text(2, "line\nbreak\ttab"),
                Item::Text(3, "last"),
                Item::End(2)};
  Items expected = written;
  expected.push_back(Item::Done());
  EXPECT_EQ(Deserialize(Serialize(written)), expected);
}

// A null text is the empty text; a number that is not finite is stored as the number error and reads
// back as its text.
TEST_F(RoundTripTest, NullTextsAndNonFiniteNumbers) {
  Stream stream;
  void* state = InitSerializer(nullptr, WriteStream, &stream, nullptr);
  ASSERT_NE(state, nullptr);
  double key = 0;
  SerialItem k{SERIAL_NUMBER, &key, sizeof key, 0};
  SerialItem text{SERIAL_TEXT, nullptr, 5, 0};
  EXPECT_EQ(SerializeItem(state, &k, &text), 1);
  ASSERT_EQ(FreeSerializer(state), 1);
  EXPECT_EQ(ViewOf(stream.bytes).cells, (std::vector<std::vector<std::string>>{{"string:"}}));

  std::string bytes =
      Serialize({Item::Begin(0), Item::Number(0, std::numeric_limits<double>::infinity()), Item::End(0)});
  EXPECT_EQ(ViewOf(bytes).cells, (std::vector<std::vector<std::string>>{{"error:#NUM!"}}));
  EXPECT_EQ(Deserialize(bytes), (Items{Item::Begin(0), Item::Text(0, "#NUM!"), Item::End(0), Item::Done()}));
}

// The host's system character set is ISO-8859-1: texts arrive and leave in it (encoding 0).
class Latin1RoundTripTest : public SerializerTest {
 protected:
  const char* Charset() const override { return "ISO-8859-1"; }
};

TEST_F(Latin1RoundTripTest, SystemTextsAreStoredAsUtf8AndComeBackInTheSystemSet) {
  const std::string latin1 =
      "\xC4pfel \xFC"
      "ber Stra\xDF"
      "e";  // Äpfel über Straße
  const std::string utf8 =
      "\xC3\x84pfel \xC3\xBC"
      "ber Stra\xC3\x9F"
      "e";
  std::string bytes =
      Serialize({Item::Begin(0), Item::Text(0, latin1), Item::Number(1, 3), Item::End(0)}, HOST_ENCODING_SYSTEM);
  EXPECT_EQ(ViewOf(bytes).cells, (std::vector<std::vector<std::string>>{{"string:" + utf8, "integer:3"}}));
  EXPECT_EQ(Deserialize(bytes, HOST_ENCODING_SYSTEM),
            (Items{Item::Begin(0), Item::Text(0, latin1), Item::Number(1, 3), Item::End(0), Item::Done()}));
  EXPECT_EQ(Deserialize(bytes, HOST_ENCODING_UTF8),
            (Items{Item::Begin(0), Item::Text(0, utf8), Item::Number(1, 3), Item::End(0), Item::Done()}));
}

TEST_F(Latin1RoundTripTest, WithoutOptionsTheHostsDefaultEncodingApplies) {
  Overrides().defaultEncoding = HOST_ENCODING_SYSTEM;
  Stream out;
  void* writer = InitSerializer(nullptr, WriteStream, &out, nullptr);
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(Send(writer, Item::Text(0, "caf\xE9")), 1);
  ASSERT_EQ(FreeSerializer(writer), 1);
  EXPECT_EQ(ViewOf(out.bytes).cells, (std::vector<std::vector<std::string>>{{"string:caf\xC3\xA9"}}));

  Overrides().defaultEncoding = HOST_ENCODING_UTF8;
  Stream in;
  in.bytes = out.bytes;
  void* reader = InitSerializer(ReadStream, nullptr, &in, nullptr);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(ReadAll(reader), (Items{Item::Begin(0), Item::Text(0, "caf\xC3\xA9"), Item::End(0), Item::Done()}));
  EXPECT_EQ(FreeSerializer(reader), 1);
}

TEST_F(Latin1RoundTripTest, OptionsOverrideTheDefaultAndUnknownTagsAreSkipped) {
  Overrides().defaultEncoding = HOST_ENCODING_SYSTEM;
  Stream out;
  HostTag options[] = {{7, 99}, {1, HOST_ENCODING_UTF8}, {HOST_TAG_END, 0}};
  void* writer = InitSerializer(nullptr, WriteStream, &out, options);
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(Send(writer, Item::Text(0, "caf\xC3\xA9")), 1);  // already UTF-8: stored as it is
  ASSERT_EQ(FreeSerializer(writer), 1);
  EXPECT_EQ(ViewOf(out.bytes).cells, (std::vector<std::vector<std::string>>{{"string:caf\xC3\xA9"}}));
}

}  // namespace
}  // namespace serializer_test
