// Entity and character references: the five names, decimal and hexadecimal numbers into UTF-8, the forms
// copied verbatim, and one level of decoding only.
#include <ostream>
#include <string>

#include "tests/xml/xml_test_util.h"

namespace {

using xml_test::XmlTest;

struct Reference {
  const char* written;
  const char* decoded;
};

// Names the row in failure messages.
void PrintTo(const Reference& reference, std::ostream* os) {
  *os << '"' << reference.written << '"';
}

class Decode : public XmlTest, public ::testing::WithParamInterface<Reference> {
 protected:
  std::string text_of(const std::string& content, uint32_t options = XML_PARSE_ENTITIES) {
    if (load("<r>" + content + "</r>", options) != XLSX_OK) return "<parse error>";
    return xml_node_text(root());
  }
  std::string attribute_of(const std::string& value) {
    if (load("<r a=\"" + value + "\"/>", XML_PARSE_ENTITIES) != XLSX_OK) return "<parse error>";
    return xml_attribute_value(xml_node_attribute(root(), "a"));
  }
};

TEST_P(Decode, InText) {
  EXPECT_EQ(text_of(GetParam().written), GetParam().decoded);
}
TEST_P(Decode, InAttributeValues) {
  EXPECT_EQ(attribute_of(GetParam().written), GetParam().decoded);
}

const Reference kReferences[] = {
    {"&amp;", "&"},
    {"&lt;&gt;", "<>"},
    {"&quot;&apos;", "\"'"},
    {"&#65;", "A"},
    {"&#x42;&#X43;", "BC"},
    {"&#x7f;", "\x7F"},
    {"&#xE9;", "\xC3\xA9"},             // two bytes
    {"&#2047;", "\xDF\xBF"},            // largest two-byte code
    {"&#x20AC;", "\xE2\x82\xAC"},       // three bytes
    {"&#xFFFF;", "\xEF\xBF\xBF"},       // largest three-byte code
    {"&#x1F600;", "\xF0\x9F\x98\x80"},  // four bytes
    {"&#128512;", "\xF0\x9F\x98\x80"},
    {"&#4294967361;", "A"},  // accumulated in 32 bits: 2^32 + 65
    // Copied verbatim.
    {"&unknown;", "&unknown;"},
    {"&AMP;", "&AMP;"},
    {"&;", "&;"},
    {"&#;", "&#;"},
    {"&#x;", "&#x;"},
    {"&#12a;", "&#12a;"},
    {"&#xG1;", "&#xG1;"},
    {"&#0;", "&#0;"},
    {"&#x00;", "&#x00;"},
    {"&#4294967296;", "&#4294967296;"},  // wraps to 0
    {"& amp;", "& amp;"},
    {"a & b", "a & b"},
    {"&", "&"},
    {"&amp", "&amp"},
    // ";" is looked for among the next 12 bytes only.
    {"&#0000000065;", "A"},                // body of 11 bytes: found
    {"&#00000000065;", "&#00000000065;"},  // body of 12 bytes: "&" copied, the rest is plain text
    {"&#00000000065;&amp;", "&#00000000065;&"},
    {"&&amp;", "&&amp;"},  // the body "&amp" is no reference, so all of it is copied
    // One level only.
    {"&amp;lt;", "&lt;"},
    {"&amp;#65;", "&#65;"},
};

INSTANTIATE_TEST_SUITE_P(References, Decode, ::testing::ValuesIn(kReferences));

class DecodeOptions : public Decode {};

TEST_F(DecodeOptions, WithoutTheOptionEverythingIsVerbatim) {
  EXPECT_EQ(text_of("&amp;&#65;", 0), "&amp;&#65;");
  ASSERT_EQ(load("<r a='&lt;'/>", 0), XLSX_OK);
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(root(), "a")), "&lt;");
}

TEST_F(DecodeOptions, LineEndsAreNormalisedBeforeTheReferenceWindow) {
  // After CR LF becomes LF the ";" is 12 bytes after the "&", so the whole construct is one (unknown)
  // reference and is copied verbatim, inner "&amp;" included.
  EXPECT_EQ(text_of("&\r\nabcdef&amp;", XML_PARSE_ENTITIES | XML_PARSE_EOL), "&\nabcdef&amp;");
  // Without normalisation the ";" is 13 bytes away: the first "&" is copied and "&amp;" decoded.
  EXPECT_EQ(text_of("&\r\nabcdef&amp;", XML_PARSE_ENTITIES), "&\r\nabcdef&");
}

TEST_F(DecodeOptions, AttributeWhiteSpaceIsHandledBeforeDecoding) {
  ASSERT_EQ(load("<r a='&\r\nabcdef&amp;'/>", XML_PARSE_ENTITIES), XLSX_OK);
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(root(), "a")), "&\nabcdef&amp;");
}

}  // namespace
