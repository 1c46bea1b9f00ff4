// Cell formats: dates in both date systems, number format codes, colours, and the styles model.
#include "lib/sheet/styles.h"
#include "lib/sheet/colors.h"
#include "lib/sheet/date_serial.h"
#include "lib/sheet/number_format.h"
#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

// Dates and times both ways in both systems, and texts that name no day; number format codes.
TEST(CellFormats, DatesAndNumberFormatCodes) {
  char text[XLSX_DATE_TEXT_SIZE];
  double serial = -1;
  for (const auto& c : cases("date")) {
    ASSERT_TRUE(xlsx_date_text_to_serial(c[0].c_str(), c[1] == "1", &serial, nullptr)) << c.where;
    EXPECT_DOUBLE_EQ(serial, std::strtod(c[2].c_str(), nullptr)) << c.where;
    ASSERT_TRUE(xlsx_serial_to_date_text(serial, c[1] == "1", text)) << c.where;
    EXPECT_EQ(text, c[3]) << c.where;
  }
  for (const auto& c : cases("no-date"))
    EXPECT_FALSE(xlsx_date_text_to_serial(c[0].c_str(), c[1] == "1", &serial, nullptr)) << c.where;
  for (double bad : {-1.0, 2958466.0, 1.0 / 0.0}) EXPECT_FALSE(xlsx_serial_to_date_text(bad, false, text)) << bad;
  for (const auto& c : cases("format")) {
    EXPECT_EQ(xlsx_format_code_is_valid(c[0].c_str()), c[1] == "1") << c.where;
    EXPECT_TRUE(c[1] != "1" || xlsx_format_code_is_date(c[0].c_str()) == (c[2] == "1")) << c.where;
  }
  EXPECT_FALSE(xlsx_format_code_is_valid(std::string(256, '0').c_str()));
  EXPECT_EQ(xlsx_builtin_format_id("mm-dd-yy"), 14);
  EXPECT_STREQ(xlsx_builtin_format_code(49), "@");
  EXPECT_EQ(xlsx_builtin_format_code(30), nullptr);
  EXPECT_TRUE(xlsx_builtin_format_is_date(30) && !xlsx_builtin_format_is_date(49));
}

// Colour elements resolve as applications show them: red-green-blue, the palette (as the styles redefine
// it), the theme's scheme under any prefix (a colour it lacks from the default theme), tints.
TEST(CellFormats, ThemeAndPaletteColours) {
  auto parse = [](XmlDoc* doc, const std::string& xml) {
    EXPECT_EQ(xml_document_load_buffer(doc, xml.c_str(), 0, XML_PARSE_PACKAGE), XLSX_OK) << xml;
    return xml_document_element(doc);
  };
  XmlDoc* doc = xml_document_create();
  XlsxThemeColors theme;
  xlsx_theme_colors_read(parse(doc, cases("theme")[0][0]), &theme);
  XmlDoc* palette = xml_document_create();
  parse(palette, cases("theme")[0][1]);
  for (const auto& c : cases("color")) {
    int32_t color = xlsx_color_resolve(parse(doc, c[0]), xml_document_element(palette), &theme);
    char shown[16] = "none";
    if (color >= 0) std::snprintf(shown, sizeof shown, "%06X", static_cast<unsigned>(color));
    EXPECT_EQ(shown, c[1]) << c.where;
  }
  xml_document_destroy(palette);
  xml_document_destroy(doc);
}

// The styles of the test book and its first sheet.
class Styles : public SheetTest {
 protected:
  void SetUp() override {
    SheetTest::SetUp();
    ASSERT_EQ(xlsx_workbook_styles(wb_, &styles_), XLSX_OK);
  }
  // The cell at ref, lent until the next call.
  const XlsxCell* Cell(const char* ref) {
    EXPECT_EQ(xlsx_sheet_cell_by_ref(&ws_, ref, &cell_), XLSX_OK);
    return &cell_;
  }
  uint32_t Style(const char* ref) { return xlsx_cell_style(Cell(ref)); }
  xlsx_status Apply(const char* ref, const XlsxStyleChange& change) {
    return xlsx_styles_apply(styles_, Cell(ref), &change);
  }
  XlsxFontLook Font(const char* ref) {
    XlsxFontLook font{};
    xlsx_styles_font(styles_, Style(ref), &font);
    return font;
  }
  XlsxPart* StylesPart() { return xlsx_package_find_part(pkg_, "xl/styles.xml"); }
  static XlsxStyleChange Font(const char* name, double size, int32_t flags, int32_t color) {
    XlsxStyleChange change = xlsx_style_change(XLSX_ASPECT_FONT);
    change.font_name = name, change.font_size = size, change.font_flags = flags, change.color = color;
    return change;
  }
  static XlsxStyleChange Bold() { return Font(nullptr, XLSX_STYLE_KEEP, XLSX_FONT_BOLD, XLSX_STYLE_KEEP); }
  static XlsxStyleChange Fill(int32_t color) {
    XlsxStyleChange change = xlsx_style_change(XLSX_ASPECT_FILL);
    change.color = color;
    return change;
  }
  XlsxStyles* styles_ = nullptr;
  XlsxCell cell_{};
};

// A change keeps every aspect it does not name (a border without colour none); a refused one changes nothing.
TEST_F(Styles, ChangeKeepsWhatItDoesNotName) {
  ASSERT_EQ(Apply("B2", Font("Arial", 14, XLSX_FONT_ITALIC, 0xC00000)), XLSX_OK);
  XlsxStyleChange border = xlsx_style_change(XLSX_ASPECT_BORDER);
  border.sides = XLSX_SIDE_LEFT, border.border_style = 5;
  ASSERT_EQ(Apply("B2", border), XLSX_OK);
  ASSERT_EQ(Apply("B2", Font("", XLSX_STYLE_KEEP, XLSX_FONT_BOLD, XLSX_STYLE_KEEP)), XLSX_OK);
  XlsxFontLook font = Font("B2");
  EXPECT_STREQ(font.name, "Arial");
  EXPECT_TRUE(font.size == 14 && font.flags == XLSX_FONT_BOLD && font.color == 0xC00000);
  uint32_t xf = Style("B2");
  int32_t style = 0, color = 0;
  xlsx_styles_border(styles_, xf, XLSX_SIDE_LEFT, &style, &color);
  EXPECT_TRUE(style == 5 && color == XLSX_STYLE_NO_COLOR);
  EXPECT_EQ(Apply("B2", Font("", 500, XLSX_STYLE_KEEP, XLSX_STYLE_KEEP)), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(Style("B2"), xf);
}

// An index beyond the records reads as the default, and a change on it starts from the default; a change
// that needs no new record leaves the styles part unchanged.
TEST_F(Styles, OutOfRangeIndexesReadAsDefaultAndNoNeedlessRecordIsMade) {
  ASSERT_TRUE(xml_node_set_attribute(Cell("A1")->element, "s", "4000"));
  EXPECT_EQ(Font("A1").flags, 0u);
  EXPECT_STREQ(xlsx_styles_number_format(styles_, 4000), "General");
  ASSERT_EQ(Apply("A1", Bold()), XLSX_OK);
  EXPECT_EQ(Font("A1").flags, XLSX_FONT_BOLD);
  EXPECT_EQ(Font("A1").size, 12) << "the default font's size";
  ASSERT_EQ(Apply("B1", Fill(0x00FF00)), XLSX_OK);  // so that the bold record is looked up, not remembered
  const std::string before = part_text(StylesPart());
  ASSERT_EQ(Apply("D9", Bold()) + Apply("A1", Bold()), XLSX_OK);
  EXPECT_EQ(part_text(StylesPart()), before);
  EXPECT_EQ(Style("D9"), 1u);
}

// A change with its n-th allocation failing leaves the styles and the sheet as they were.
TEST_F(Styles, FailedChangeLeavesBothTreesAsTheyWere) {
  ASSERT_EQ(Apply("A1", Fill(0x123456)), XLSX_OK);
  XlsxCell cell = *Cell("A1");
  std::string styles_before = part_text(StylesPart()), sheet_before = part_text(ws_.part);
  XlsxStyleChange change = Font("Verdana", 9, XLSX_FONT_STRIKE, 0x336699);
  xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& faults) {
    xlsx_status status = xlsx_styles_apply(styles_, &cell, &change);
    if (faults.failures() == 0) return;
    faults.fail_after(0);  // the checks below need memory
    ASSERT_NE(status, XLSX_OK);
    ASSERT_EQ(part_text(StylesPart()), styles_before);
    ASSERT_EQ(part_text(ws_.part), sheet_before);
  });
  EXPECT_STREQ(Font("A1").name, "Verdana");
  EXPECT_EQ(xlsx_styles_fill(styles_, Style("A1")), 0x123456);
  // An edit begun when the index must be rebuilt (its tree changed behind it) fails without memory.
  for (uint32_t n = 1; n < 1000; n++) {
    ASSERT_TRUE(xml_node_set_attribute(xlsx_part_root(StylesPart()), "changed", std::to_string(n).c_str()));
    xlsx_test::FaultAllocation fault(n);
    xlsx_status status = xlsx_styles_edit_begin(styles_, ws_.part->xml);
    bool failed = fault.failures() > 0;
    fault.fail_after(0);
    EXPECT_EQ(status, failed ? XLSX_ERR_NO_MEMORY : XLSX_OK) << n;
    if (failed) continue;
    EXPECT_EQ(xlsx_styles_edit_end(styles_, ws_.part->xml, XLSX_OK), XLSX_OK);
    break;
  }
}

}  // namespace
}  // namespace sheet_test
