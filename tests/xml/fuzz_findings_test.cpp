// Inputs found by the parser's fuzz target, kept as regression tests. Each one is parsed, written and
// parsed again the way the fuzz target does it.
#include <string>

#include "tests/xml/xml_test_util.h"

namespace {

using xml_test::XmlTest;

class FuzzFindings : public XmlTest {};

// "<r>\0": the text run held only a NUL byte. Texts are NUL-terminated, so it was stored as an empty text
// node that the writer cannot express ("<r></r>" reads back without it), and a longer run would have been
// cut short without a word. A NUL byte inside a text that would be kept is now a parse error, so the
// package keeps such a part's original bytes instead of saving a truncated copy.
TEST_F(FuzzFindings, NulByteInATextIsAParseError) {
  EXPECT_EQ(load(std::string("<r>\0", 4), XML_PARSE_PACKAGE), XLSX_ERR_PARSE);
  EXPECT_EQ(load(std::string("<r>a\0b</r>", 10), 0), XLSX_ERR_PARSE);
  EXPECT_EQ(load(std::string("<r a='x\0y'/>", 12), 0), XLSX_ERR_PARSE);
  EXPECT_EQ(load(std::string("<r><!--\0--></r>", 15), XML_PARSE_COMMENTS), XLSX_ERR_PARSE);
  EXPECT_EQ(load(std::string("<r><![CDATA[\0]]></r>", 20), XML_PARSE_CDATA), XLSX_ERR_PARSE);
  EXPECT_EQ(load(std::string("<r><?p \0?></r>", 14), XML_PARSE_PI), XLSX_ERR_PARSE);
  EXPECT_EQ(xml_node_first_child(top()), nullptr);
}

TEST_F(FuzzFindings, NulBytesWhereNothingIsStoredAreHarmless) {
  // Text at the document level is dropped, and so are comments without the option.
  EXPECT_EQ(load(std::string("<r/>\0\0", 6), XML_PARSE_PACKAGE), XLSX_OK);
  EXPECT_EQ(load(std::string("<r><!--\0--></r>", 15), 0), XLSX_OK);
  EXPECT_EQ(body(), "<r/>");
}

}  // namespace
