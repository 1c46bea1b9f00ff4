// The parser: what each option keeps, texts and attribute values with their white-space and reference
// rules, errors, NUL bytes, the depth limit, interned names and reloading.
#include <string>

#include "tests/support/cases.h"
#include "tests/xml/xml_test_util.h"

namespace {

using xml_test::XmlTest;
using Parse = XmlTest;

// Null arguments leave the document alone; length zero reads to the terminator.
TEST_F(Parse, NullArgumentsLeaveTheDocumentAloneAndLengthZeroReadsToTheTerminator) {
  ASSERT_EQ(load("<r/>", 0), XLSX_OK);
  uint32_t generation = doc_->generation;
  EXPECT_EQ(xml_document_load_buffer(nullptr, "<r/>", 4, 0), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xml_document_load_buffer(doc_, nullptr, 4, 0), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(doc_->generation, generation);
  const char text[] = "<a>x</a>\0<b/>";
  EXPECT_TRUE(xml_document_load_buffer(doc_, text, 0, 0) == XLSX_OK && body() == "<a>x</a>");
  EXPECT_TRUE(xml_document_load_buffer(doc_, text, sizeof text - 1, 0) == XLSX_OK && body() == "<a>x</a><b/>");
}

// The cases of tests/xml/xml.cases: what each input keeps, texts and attribute values with their
// white-space and reference rules, references decoded once, and malformed input that fails the parse and
// leaves the document empty.
TEST_F(Parse, Cases) {
  for (const xlsx_test::Case& c : xlsx_test::read_cases("xml/xml.cases", "keeps")) {
    ASSERT_EQ(load(c[1], xml_test::options(c[0])), XLSX_OK) << c.where;
    EXPECT_EQ(body(), c[2]) << c.where;
  }
  for (const xlsx_test::Case& c : xlsx_test::read_cases("xml/xml.cases", "value")) {
    ASSERT_EQ(load(c[1], xml_test::options(c[0])), XLSX_OK) << c.where;
    EXPECT_EQ(c[2].empty() ? xml_node_text(root()) : xml_attribute_value(xml_node_attribute(root(), c[2].c_str())), c[3])
        << c.where;
  }
  for (const xlsx_test::Case& c : xlsx_test::read_cases("xml/xml.cases", "reference")) {
    ASSERT_EQ(load("<r a=\"" + c[0] + "\">" + c[0] + "</r>", XML_PARSE_ENTITIES), XLSX_OK) << c.where;
    EXPECT_EQ(xml_node_text(root()), c[1]) << c.where;
    EXPECT_EQ(xml_attribute_value(xml_node_attribute(root(), "a")), c[1]) << c.where;
  }
  for (const xlsx_test::Case& c : xlsx_test::read_cases("xml/xml.cases", "malformed")) {
    ASSERT_EQ(load("<old/>", 0), XLSX_OK);
    EXPECT_EQ(load(c[1], xml_test::options(c[0])), XLSX_ERR_PARSE) << c.where;
    EXPECT_EQ(body(), "") << c.where;
  }
}

std::string nested(uint32_t depth, const char* innermost) {
  std::string open, close;
  for (uint32_t i = 1; i < depth; i++) open += "<d>", close += "</d>";
  return open + innermost + close;
}

// Nesting is limited to XML_MAX_DEPTH (an error, not a stack overflow).
TEST_F(Parse, NestingIsLimited) {
  ASSERT_EQ(load(nested(XML_MAX_DEPTH, "<d></d>"), 0), XLSX_OK);
  EXPECT_EQ(body(), nested(XML_MAX_DEPTH, "<d/>"));
  EXPECT_EQ(load(nested(XML_MAX_DEPTH + 1, "<d/>"), 0), XLSX_ERR_PARSE);
  EXPECT_EQ(load(nested(XML_MAX_DEPTH + 1, "<d></d>"), 0), XLSX_ERR_PARSE);
}

// Names are interned per load: names that begin alike and more distinct names than the per-load table
// keeps all come back exactly.
TEST_F(Parse, InternedNamesComeBackExactly) {
  std::string text = "<r>";
  for (int i = 0; i < 40; i++) text += i % 2 ? "<ab ax=\"1\" ay=\"2\"/>" : "<ac ay=\"3\" ax=\"4\"/>";
  for (std::string name : {"abcdefghijklmno", "abcdefghijklmnop", "abcdefghijklmnopq"}) {
    text += "<" + name + " " + name + "=\"v\"/>";
  }
  for (int i = 0; i < 600; i++) text += "<n" + std::to_string(i) + "/>";
  ASSERT_EQ(load(text + "</r>", 0), XLSX_OK);
  EXPECT_EQ(body(), text + "</r>");
}

// A load replaces the whole content (edited texts and detached copies go with it) but keeps the document
// node's own attributes.
TEST_F(Parse, LoadReplacesEverythingAndKeepsTheDocumentNodesOwnTexts) {
  xml_node_set_attribute(top(), "first", "value of the document node");
  std::string text = "<r>";
  for (int i = 0; i < 1000; i++) text += "<c a='1'/>";
  ASSERT_EQ(load(text + "</r>", 0), XLSX_OK);
  XmlNode* detached = xml_node_copy(root());
  ASSERT_NE(detached, nullptr);
  xml_node_set_attribute(root(), "edited", std::string(100, 'x').c_str());
  uint32_t live = xlsx_live_allocations();
  ASSERT_EQ(load(text + "</r>", 0), XLSX_OK);
  EXPECT_LE(xlsx_live_allocations(), live) << "the edited text and the detached copy went with the old content";
  EXPECT_FALSE(xml_node_has_attribute(root(), "edited"));
  EXPECT_TRUE(load("<s/>", 0) == XLSX_OK && body() == "<s/>");
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(top(), "first")), "value of the document node");
}

}  // namespace
