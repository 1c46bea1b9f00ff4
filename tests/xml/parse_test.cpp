// The parser: what each option keeps, leniency, errors, the byte order mark and the depth limit.
#include <cstring>
#include <string>

#include "tests/xml/xml_test_util.h"

namespace {

using xml_test::XmlTest;

class Parse : public XmlTest {};

TEST_F(Parse, NullArgumentsLeaveTheDocumentAloneAndLengthZeroReadsToTheTerminator) {
  ASSERT_EQ(load("<r/>", 0), XLSX_OK);
  uint32_t generation = doc_->generation;
  EXPECT_EQ(xml_document_load_buffer(nullptr, "<r/>", 4, 0), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xml_document_load_buffer(doc_, nullptr, 4, 0), XLSX_ERR_INVALID_ARG);
  EXPECT_STREQ(xml_node_name(root()), "r");
  EXPECT_EQ(doc_->generation, generation);
  const char text[] = "<a>x</a>\0<b/>";
  EXPECT_EQ(xml_document_load_buffer(doc_, text, 0, 0), XLSX_OK);
  EXPECT_EQ(body(), "<a>x</a>");
  EXPECT_EQ(xml_document_load_buffer(doc_, text, sizeof text - 1, 0), XLSX_OK);
  EXPECT_EQ(body(), "<a>x</a><b/>");
}

// Each input parsed with its options and written back (without the default declaration in front).
TEST_F(Parse, WhatEachInputKeeps) {
  const struct {
    const char* text;
    uint32_t options;
    const char* written;
  } rows[] = {
      {"", XML_PARSE_PACKAGE, ""},
      {"\xEF\xBB\xBF<r a='1'>t</r>", 0, "<r a=\"1\">t</r>"},  // the byte order mark is skipped
      {"\xEF\xBB\xBF", 0, ""},
      {"\xEF\xBB", 0, ""},  // two bytes of a mark are text at the document level, dropped
      {"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<r>\n  <a v=\"x\ty\"/>\n</r>",
       XML_PARSE_PACKAGE, "<r>\n  <a v=\"x y\"/>\n</r>"},
      // White-space text only with the option; text mixed with content is kept as it is.
      {"<r> <a/>\t\r\n</r>", 0, "<r><a/></r>"},
      {"<r> <a/>\t\r\n</r>", XML_PARSE_WS_TEXT, "<r> <a/>\t\r\n</r>"},
      {"<r> x </r>", 0, "<r> x </r>"},
      {"lead<r/>trail<s/>", XML_PARSE_WS_TEXT, "<r/><s/>"},  // text at the document level is dropped
      // Comments, CDATA and document type declarations only with their options.
      {"<r><!-- c --></r>", 0, "<r/>"},
      {"<r><!-- c -- d --></r>", XML_PARSE_COMMENTS, "<r><!-- c -- d --></r>"},
      {"<r><![CDATA[x]]></r>", 0, "<r/>"},
      {"<r/><![CDA", 0, "<r/>"},  // a short "<![CDA" is a "<!" construct, not CDATA
      {"<r><?target x?></r>", 0, "<r/>"},
      {"<!DOCTYPE r [ > ]><r/>", 0, "<r/>"},
      // A closing tag at the document level ends the parse; closing tags are not compared; unclosed
      // elements are kept.
      {"<a/><b/></c><d/>", 0, "<a/><b/>"},
      {"<a/></", 0, "<a/>"},
      {"<a><b></a>x</b>", 0, "<a><b/>x</a>"},
      {"<a><b>t</>u</a>", 0, "<a><b>t</b>u</a>"},
      {"<a><b>text", 0, "<a><b>text</b></a>"},
      {"<a><b></", 0, "<a><b/></a>"},
      {"<x:a-b.c_1 y:z='1'/>", 0, "<x:a-b.c_1 y:z=\"1\"/>"},
      {"<-lead/>", 0, "<-lead/>"},  // any name character may start a name
  };
  for (const auto& row : rows) {
    ASSERT_EQ(load(row.text, row.options), XLSX_OK) << row.text;
    EXPECT_EQ(body(), row.written) << row.text;
  }
  const std::string text = "<r a='&amp;'> <b/>x&lt;</r>";
  EXPECT_EQ(round_trip(text, XML_PARSE_PACKAGE | 0x080 | 0x100 | 0x200), round_trip(text, XML_PARSE_PACKAGE))
      << "unused option bits change nothing";
}

// The text of the root element (attr nullptr) or the value of its attribute after parsing.
TEST_F(Parse, TextsAndAttributeValues) {
  const struct {
    const char* text;
    uint32_t options;
    const char* attr;
    const char* value;
  } rows[] = {
      {"<r>\v</r>", 0, nullptr, "\v"},  // vertical tab is not dropped white space
      {"<r><![CDATA[a&amp;\r\n<b>]]></r>", XML_PARSE_CDATA | XML_PARSE_ENTITIES | XML_PARSE_EOL, nullptr,
       "a&amp;\r\n<b>"},  // CDATA is raw
      {"<r>1\r\n2\r3\n</r>", XML_PARSE_EOL, nullptr, "1\n2\n3\n"},
      {"<r>1\r\n2\r</r>", 0, nullptr, "1\r\n2\r"},
      {"<r>a&#13;\r\nb</r>", XML_PARSE_EOL | XML_PARSE_ENTITIES, nullptr, "a\r\nb"},
      {"<r>\xFF\xFE</r>", 0, nullptr, "\xFF\xFE"},  // bytes that are not UTF-8 are accepted in text
      {"<r a='say \"hi\"' b=\"it's > ok\"c='3' d = '4'/>", 0, "a", "say \"hi\""},
      {"<r a='say \"hi\"' b=\"it's > ok\"c='3' d = '4'/>", 0, "b", "it's > ok"},
      {"<r a='say \"hi\"' b=\"it's > ok\"c='3' d = '4'/>", 0, "c", "3"},
      {"<r a='say \"hi\"' b=\"it's > ok\"c='3' d = '4'/>", 0, "d", "4"},
      {"<r e=''/>", 0, "e", ""},
      // Line ends in attributes always change; with the option all white space becomes a space.
      {"<r a='1\r\n2\r3\n4\t5'/>", 0, "a", "1\n2\n3\n4\t5"},
      {"<r a='1\r\n2\r3\n4\t5'/>", XML_PARSE_ATTR_WS, "a", "1 2 3 4 5"},
      // Character references are decoded after the white-space rule, so they survive it.
      {"<r a='&#9;&#10;&#13;'/>", XML_PARSE_PACKAGE, "a", "\t\n\r"},
  };
  for (const auto& row : rows) {
    ASSERT_EQ(load(row.text, row.options), XLSX_OK) << row.text;
    const char* got = row.attr ? xml_attribute_value(xml_node_attribute(root(), row.attr)) : xml_node_text(root());
    EXPECT_STREQ(got, row.value) << row.text << " " << (row.attr ? row.attr : "text");
  }
  EXPECT_EQ(load("<\xC3\xA9l\xC3\xA9ment/>", 0), XLSX_ERR_PARSE) << "names are ASCII";
}

// Comments are covered by the written-back table above; instructions keep their target and value.
TEST_F(Parse, ProcessingInstructions) {
  ASSERT_EQ(load("<r><?target  some text ?><?bare?><?xml-stylesheet href='a'?></r>", XML_PARSE_PI), XLSX_OK);
  XmlNode* pi = xml_node_first_child(root());
  EXPECT_EQ(xml_node_type(pi), XML_NODE_PI);
  EXPECT_STREQ(xml_node_name(pi), "target");
  EXPECT_STREQ(xml_node_value(pi), "some text ");
  XmlNode* bare = xml_node_next_sibling(pi);
  EXPECT_STREQ(xml_node_name(bare), "bare");
  EXPECT_EQ(bare->value, nullptr);
  EXPECT_STREQ(xml_node_name(xml_node_next_sibling(bare)), "xml-stylesheet");
}

TEST_F(Parse, DeclarationAndDocumentType) {
  ASSERT_EQ(load("<?xml version='1.0' encoding=\"a&amp;b\tc\"?><r/>", XML_PARSE_DECLARATION | XML_PARSE_ENTITIES),
            XLSX_OK);
  XmlNode* declaration = xml_node_first_child(top());
  EXPECT_EQ(xml_node_type(declaration), XML_NODE_DECLARATION);
  EXPECT_STREQ(xml_node_name(declaration), "xml");
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(declaration, "version")), "1.0");
  // Declaration values are decoded but their white space is left alone.
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(declaration, "encoding")), "a&b\tc");
  // The target is case-sensitive: XML is a processing instruction.
  ASSERT_EQ(load("<?XML v='1'?><r/>", XML_PARSE_DECLARATION | XML_PARSE_PI), XLSX_OK);
  EXPECT_EQ(xml_node_type(xml_node_first_child(top())), XML_NODE_PI);
  ASSERT_EQ(load("<!DOCTYPE r [<!ENTITY e 'v'>]><r/>", XML_PARSE_DOCTYPE), XLSX_OK);
  XmlNode* doctype = xml_node_first_child(top());
  EXPECT_EQ(xml_node_type(doctype), XML_NODE_DOCTYPE);
  EXPECT_STREQ(xml_node_value(doctype), "r [<!ENTITY e 'v'>]");
  EXPECT_STREQ(xml_node_name(root()), "r");
  ASSERT_EQ(load("<!DOCTYPE><r/>", XML_PARSE_DOCTYPE), XLSX_OK);
  EXPECT_EQ(xml_node_first_child(top())->value, nullptr);
  EXPECT_EQ(load("<r/><!DOCTYPE [", XML_PARSE_DOCTYPE), XLSX_OK) << "running to the end of input is no error";
}

TEST_F(Parse, MalformedInputFailsAndLeavesTheDocumentEmpty) {
  const char* inputs[] = {
      "<r><!-- x </r>",
      "<r><![CDATA[x</r>",
      "<?xml version='1.0'",
      "<r><?pi x</r>",  // unterminated
      "<r>< b/></r>",
      "<r>a<",
      "<r a/>",
      "<r a '1'/>",
      "<r a=1/>",
      "<r a='1/>",
      "<r a='1'",
      "<r a='1' / >",
      "<r ?>",
      "<r #a='1'/>",
      "<r><a>t</a><b c=></r>",  // an error after good content
  };
  for (const char* text : inputs) {
    ASSERT_EQ(load("<old/>", 0), XLSX_OK);
    EXPECT_EQ(load(text, 0xFFF), XLSX_ERR_PARSE) << text;
    EXPECT_EQ(xml_node_first_child(top()), nullptr) << text;
    EXPECT_EQ(body(), "") << text;
  }
}

std::string nested(uint32_t depth, bool self_closing_innermost) {
  std::string text;
  for (uint32_t i = 1; i < depth; i++) text += "<d>";
  text += self_closing_innermost ? "<d/>" : "<d></d>";
  for (uint32_t i = 1; i < depth; i++) text += "</d>";
  return text;
}

TEST_F(Parse, NestingIsLimitedNotSiblings) {
  ASSERT_EQ(load(nested(XML_MAX_DEPTH, true), 0), XLSX_OK);
  uint32_t depth = 0;
  for (XmlNode* node = root(); node; node = xml_node_first_child(node)) depth++;
  EXPECT_EQ(depth, XML_MAX_DEPTH);
  EXPECT_EQ(round_trip(nested(XML_MAX_DEPTH, false), 0), "<?xml version=\"1.0\"?>" + nested(XML_MAX_DEPTH, true));
  EXPECT_EQ(load(nested(XML_MAX_DEPTH + 1, true), 0), XLSX_ERR_PARSE);
  EXPECT_EQ(xml_node_first_child(top()), nullptr);
  EXPECT_EQ(load(nested(XML_MAX_DEPTH + 1, false), 0), XLSX_ERR_PARSE);
  std::string siblings = "<r>";
  for (int i = 0; i < 5000; i++) siblings += "<a><b/></a>";
  EXPECT_EQ(load(siblings, 0), XLSX_OK);
  std::string huge;
  for (int i = 0; i < 1000000; i++) huge += "<a>";
  EXPECT_EQ(load(huge, 0), XLSX_ERR_PARSE) << "an error, not a stack overflow";
}

TEST_F(Parse, LoadReplacesEverythingAndReusesPages) {
  std::string text = "<r>";
  for (int i = 0; i < 1000; i++) text += "<c a='1'/>";
  text += "</r>";
  ASSERT_EQ(load(text, 0), XLSX_OK);
  XmlNode* detached = xml_node_copy(root());
  ASSERT_NE(detached, nullptr);
  xml_node_set_attribute(root(), "edited", "yes");
  uint32_t live = xlsx_live_allocations();
  ASSERT_EQ(load(text, 0), XLSX_OK);
  // Pages stay; the edited text and the detached copy are gone with the old content.
  EXPECT_LE(xlsx_live_allocations(), live);
  EXPECT_FALSE(xml_node_has_attribute(root(), "edited"));
  EXPECT_EQ(load("<s/>", 0), XLSX_OK);
  EXPECT_EQ(body(), "<s/>");
}

}  // namespace
