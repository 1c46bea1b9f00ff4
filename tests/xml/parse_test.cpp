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

// Instructions keep their target and value, declarations their decoded values, document types their text.
TEST_F(Parse, InstructionsDeclarationsAndDocumentTypes) {
  ASSERT_EQ(load("<r><?target  some text ?><?bare?><?xml-stylesheet href='a'?></r>", XML_PARSE_PI), XLSX_OK);
  XmlNode* pi = xml_node_first_child(root());
  EXPECT_EQ(xml_node_type(pi), XML_NODE_PI);
  EXPECT_EQ(xml_node_name(pi) + std::string("|") + xml_node_value(pi), "target|some text ");
  EXPECT_EQ(xml_node_next_sibling(pi)->value, nullptr);
  EXPECT_STREQ(xml_node_name(xml_node_last_child(root())), "xml-stylesheet");
  ASSERT_EQ(load("<?xml version='1.0' encoding=\"a&amp;b\tc\"?><r/>", XML_PARSE_DECLARATION | XML_PARSE_ENTITIES),
            XLSX_OK);
  XmlNode* declaration = xml_node_first_child(top());
  EXPECT_EQ(xml_node_type(declaration), XML_NODE_DECLARATION);
  // Declaration values are decoded but their white space is left alone.
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(declaration, "encoding")), "a&b\tc");
  ASSERT_EQ(load("<?XML v='1'?><r/>", XML_PARSE_DECLARATION | XML_PARSE_PI), XLSX_OK);
  EXPECT_EQ(xml_node_type(xml_node_first_child(top())), XML_NODE_PI) << "the target is case-sensitive";
  ASSERT_EQ(load("<!DOCTYPE r [<!ENTITY e 'v'>]><r/>", XML_PARSE_DOCTYPE), XLSX_OK);
  EXPECT_EQ(xml_node_value(xml_node_first_child(top())) + std::string("|") + xml_node_name(root()),
            "r [<!ENTITY e 'v'>]|r");
  ASSERT_EQ(load("<!DOCTYPE><r/>", XML_PARSE_DOCTYPE), XLSX_OK);
  EXPECT_EQ(xml_node_first_child(top())->value, nullptr);
  EXPECT_EQ(load("<r/><!DOCTYPE [", XML_PARSE_DOCTYPE), XLSX_OK) << "running to the end of input is no error";
}

std::string nested(uint32_t depth, bool self_closing_innermost) {
  std::string text;
  for (uint32_t i = 1; i < depth; i++) text += "<d>";
  text += self_closing_innermost ? "<d/>" : "<d></d>";
  for (uint32_t i = 1; i < depth; i++) text += "</d>";
  return text;
}

// Nesting is limited to XML_MAX_DEPTH (an error, not a stack overflow).
TEST_F(Parse, NestingIsLimited) {
  EXPECT_EQ(round_trip(nested(XML_MAX_DEPTH, false), 0), "<?xml version=\"1.0\"?>" + nested(XML_MAX_DEPTH, true));
  EXPECT_EQ(load(nested(XML_MAX_DEPTH + 1, true), 0), XLSX_ERR_PARSE);
  EXPECT_EQ(load(nested(XML_MAX_DEPTH + 1, false), 0), XLSX_ERR_PARSE);
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
