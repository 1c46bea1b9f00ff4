// The _xHHHH_ escapes of cell and property texts: what is escaped, how, and that decoding gives back
// every text, as well as the escapes other writers produce.
#include <gtest/gtest.h>

#include <string>

#include "lib/xml/escape.h"

namespace {

std::string escaped(const std::string& text) {
  StrBuf out;
  strbuf_init(&out);
  EXPECT_EQ(xml_escape_text(text.c_str(), &out), XLSX_OK);
  std::string result = out.data ? out.data : "";
  strbuf_free(&out);
  return result;
}

std::string unescaped(std::string text) {
  uint32_t n = xml_unescape_text(text.data(), static_cast<uint32_t>(text.size()));
  return text.substr(0, n);
}

TEST(Escapes, TextsCarryOnlyWhatXmlCanAndDecodeBackWhole) {
  const struct {
    std::string text, stored;
  } cases[] = {
      {"plain, tab\t and line\n", "plain, tab\t and line\n"},
      {"esc\x1b", "esc_x001B_"},
      {std::string("\x01\x1f", 2), "_x0001__x001F_"},
      {"cr\r\nlf", "cr_x000D_\nlf"},
      {"lit _x0041_", "lit _x005F_x0041_"},
      {"_x005F_", "_x005F_x005F_"},
      {"_x0041__x0042_", "_x005F_x0041__x005F_x0042_"},
      {"_x004_ _xZZZZ_ _x00411_", "_x004_ _xZZZZ_ _x00411_"},
      {"non\xEF\xBF\xBE" "character", "non_xFFFE_character"},
      {"Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(escaped(c.text), c.stored) << c.text;
    EXPECT_EQ(xml_text_needs_escape(c.text.c_str()), c.stored != c.text) << c.text;
    EXPECT_EQ(unescaped(c.stored), c.text) << c.stored;
  }
  EXPECT_FALSE(xml_text_needs_escape(nullptr));
  EXPECT_FALSE(xml_text_has_escape(nullptr));
}

TEST(Escapes, OtherWritersFormsDecode) {
  const struct {
    std::string stored, text;
  } cases[] = {
      {"_x0041__x000d__x000a_", "A\r\n"},
      {"_xD83D__xDE00_", "\xF0\x9F\x98\x80"},            // a pair of surrogates is one character
      {"_xD83D_ alone _xDE00_", "_xD83D_ alone _xDE00_"},  // halves without their partner stay
      {"_x0000_", "_x0000_"},                              // no text holds a NUL
      {"_x00E9_", "\xC3\xA9"},
      {"end _x0041", "end _x0041"},
  };
  for (const auto& c : cases) {
    if (c.stored != c.text) {
      EXPECT_TRUE(xml_text_has_escape(c.stored.c_str())) << c.stored;
    }
    EXPECT_EQ(unescaped(c.stored), c.text) << c.stored;
  }
}

}  // namespace
