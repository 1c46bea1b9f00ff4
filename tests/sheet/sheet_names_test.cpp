// Sheet names as spreadsheet applications take them, formula prefixes of names that read as references,
// the active tab through moves, and the sheet titles of the extended properties through every edit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

using SheetNames = SheetTest;

TEST(SheetNameRules, NamesApplicationsRefuseAreRefused) {
  const struct {
    const char* name;
    bool valid;
  } cases[] = {
      {"Data", true}, {"Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC", true}, {"it's", true}, {"A1", true},
      {"", false}, {"'quoted", false}, {"quoted'", false}, {"a:b", false}, {"a\\b", false}, {"a/b", false},
      {"a?b", false}, {"a*b", false}, {"a[b", false}, {"a]b", false}, {"tab\t", false}, {"\x1b", false},
      {"1234567890123456789012345678901", true}, {"12345678901234567890123456789012", false},
      // 31 characters beyond ASCII fit; a character beyond the BMP counts as two units.
      {"\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"
       "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"
       "\xC3\xA4\xC3\xA4\xC3\xA4", true},
      {"123456789012345678901234567890\xF0\x9F\x98\x80", false},
  };
  for (const auto& c : cases) EXPECT_EQ(xlsx_sheet_name_is_valid(c.name), c.valid) << c.name;
  const struct {
    const char *a, *b;
    bool same;
  } pairs[] = {{"Data", "DATA", true}, {"\xC3\xA4", "\xC3\x84", true}, {"\xCE\xA3", "\xCF\x83", true},
               {"\xD0\x96", "\xD0\xB6", true}, {"Data", "Dat", false}, {"a", "b", false}, {"\xC3\xA4", "a", false}};
  for (const auto& p : pairs) EXPECT_EQ(xlsx_sheet_names_equal(p.a, p.b), p.same) << p.a << " " << p.b;
}

TEST(SheetNameRules, NamesThatReadAsReferencesAreQuoted) {
  const struct {
    const char *name, *prefix;
  } cases[] = {{"Data", "Data!"},     {"A1", "'A1'!"},     {"xfd1048576", "'xfd1048576'!"}, {"R1C1", "'R1C1'!"},
               {"rc", "'rc'!"},       {"R", "'R'!"},       {"C12", "'C12'!"},               {"XFE1", "XFE1!"},
               {"R1C1x", "R1C1x!"},  {"2024", "'2024'!"}, {"My Data", "'My Data'!"}};
  char prefix[64];
  for (const auto& c : cases) EXPECT_STREQ(xlsx_sheet_ref_prefix(c.name, prefix, sizeof prefix), c.prefix) << c.name;
}

TEST_F(SheetNames, OtherSheetsNamesAreTakenWhateverTheCase) {
  ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "\xC3\xA4"), XLSX_OK);
  EXPECT_EQ(xlsx_workbook_add_sheet(wb_, "\xC3\x84"), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_workbook_add_sheet(wb_, "SHEET1"), XLSX_ERR_INVALID_ARG);
  std::string own = xlsx_workbook_sheet_rid(wb_, "Sheet1");
  EXPECT_EQ(xlsx_workbook_rename_sheet(wb_, own.c_str(), "\xC3\x84"), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_workbook_rename_sheet(wb_, own.c_str(), "SHEET1"), XLSX_OK);
  EXPECT_EQ(xlsx_workbook_sheet_count(wb_), 2u);
}

TEST_F(SheetNames, ARenameToAReferenceLikeNameQuotesItInDefinedNames) {
  std::string xml = workbook_xml();
  xml.insert(xml.find("</sheets>") + 9, "<definedNames><definedName name=\"t\">Sheet1!$A$1</definedName></definedNames>");
  load_workbook(xml);
  ASSERT_EQ(xlsx_workbook_rename_sheet(wb_, xlsx_workbook_sheet_rid(wb_, "Sheet1"), "R1C1"), XLSX_OK);
  EXPECT_NE(workbook_xml().find(">'R1C1'!$A$1<"), std::string::npos) << workbook_xml();
}

TEST_F(SheetNames, TheActiveTabFollowsItsSheetAndTheTitlesTheSheetList) {
  // The template's titles and counts agree with one sheet; every edit keeps them in step.
  auto titles = [this] {
    std::string app = part_xml("docProps/app.xml");
    size_t at = app.find("<TitlesOfParts>");
    return app.substr(app.find("<vt:i4>") + 7, app.find("</vt:i4>") - app.find("<vt:i4>") - 7) + " " +
           app.substr(at, app.find("</TitlesOfParts>") - at);
  };
  ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "Two"), XLSX_OK);
  ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "Three"), XLSX_OK);
  EXPECT_EQ(titles(), "3 <TitlesOfParts><vt:vector size=\"3\" baseType=\"lpstr\"><vt:lpstr>Sheet1</vt:lpstr>"
                      "<vt:lpstr>Two</vt:lpstr><vt:lpstr>Three</vt:lpstr></vt:vector>");
  ASSERT_EQ(xlsx_workbook_move_sheet(wb_, "Sheet1", 3), XLSX_OK);  // the active first sheet
  EXPECT_TRUE(xlsx_workbook_is_active(wb_, xlsx_workbook_sheet_rid(wb_, "Sheet1")));
  ASSERT_EQ(xlsx_workbook_rename_sheet(wb_, xlsx_workbook_sheet_rid(wb_, "Two"), "2nd"), XLSX_OK);
  ASSERT_EQ(xlsx_workbook_delete_sheet(wb_, "Three"), XLSX_OK);
  EXPECT_TRUE(xlsx_workbook_is_active(wb_, xlsx_workbook_sheet_rid(wb_, "Sheet1")));
  EXPECT_EQ(titles(), "2 <TitlesOfParts><vt:vector size=\"2\" baseType=\"lpstr\"><vt:lpstr>2nd</vt:lpstr>"
                      "<vt:lpstr>Sheet1</vt:lpstr></vt:vector>");
}

}  // namespace
}  // namespace sheet_test
