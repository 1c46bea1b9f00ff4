// The _xHHHH_ escapes of cell and property texts (the escape and unescape cases of tests/xml/xml.cases):
// what is escaped, how, that decoding gives back every text, and the escapes other writers produce.
#include <gtest/gtest.h>

#include <string>

#include "lib/xml/escape.h"
#include "tests/support/cases.h"

namespace {

std::string unescaped(std::string text) {
  return text.substr(0, xml_unescape_text(text.data(), static_cast<uint32_t>(text.size())));
}

TEST(Escapes, TextsCarryOnlyWhatXmlCanAndDecodeBackWhole) {
  for (const xlsx_test::Case& c : xlsx_test::read_cases("xml/xml.cases", "escape")) {
    StrBuf out;
    strbuf_init(&out);
    EXPECT_EQ(xml_escape_text(c[0].c_str(), &out), XLSX_OK);
    EXPECT_EQ(std::string(out.data ? out.data : ""), c[1]) << c.where;
    strbuf_free(&out);
    EXPECT_EQ(xml_text_needs_escape(c[0].c_str()), c[1] != c[0]) << c.where;
    EXPECT_EQ(unescaped(c[1]), c[0]) << c.where;
  }
  for (const xlsx_test::Case& c : xlsx_test::read_cases("xml/xml.cases", "unescape")) {
    EXPECT_TRUE(c[0] == c[1] || xml_text_has_escape(c[0].c_str())) << c.where;
    EXPECT_EQ(unescaped(c[0]), c[1]) << c.where;
  }
  EXPECT_FALSE(xml_text_needs_escape(nullptr) || xml_text_has_escape(nullptr));
}

}  // namespace
