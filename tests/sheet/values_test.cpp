// References, values, formulas, dates, number formats, colours and styles (lib/sheet).
#include "tests/sheet/sheet_fixture.h"

namespace {

// Letters <-> columns both ways for every column; row digits within the sheet; nothing beyond wraps.
TEST_F(Values, ColumnLettersAndRowDigits) {
  auto letters = [](uint32_t column) { char buffer[4]; return std::string(xlsx_column_to_letters(column, buffer)); };
  for (const auto& c : cases("letters")) {
    EXPECT_EQ(letters(std::stoul(c[0])), c[1]) << c.where;
    EXPECT_EQ(xlsx_letters_to_column(c[1].c_str()), std::stoul(c[0])) << c.where;
  }
  for (uint32_t column = 1; column <= XLSX_CELLREF_MAX_COLUMN; ++column)
    ASSERT_EQ(xlsx_letters_to_column(letters(column).c_str()), column) << column;
  EXPECT_EQ(letters(0) + letters(16385), "");
  EXPECT_EQ(xlsx_letters_to_column("xfd") + xlsx_letters_to_column("Aa"), 16384 + 27);
  for (const auto& c : cases("no-column")) EXPECT_EQ(xlsx_letters_to_column(c[0].c_str()), 0) << c.where;
  for (const auto& c : cases("row-of")) EXPECT_EQ(xlsx_cellref_row_of(c[0].c_str()), std::stoul(c[1])) << c.where;
  EXPECT_EQ(xlsx_letters_to_column(nullptr) + xlsx_cellref_row_of(nullptr), 0u);
}

// One reader behind set_text, a cell's column and the formatter: a valid text is kept, any other gives A1.
TEST_F(Values, ReferenceTextsFollowOneRule) {
  for (const auto& c : cases("ref")) {
    uint32_t row = std::stoul(c[1]), column = std::stoul(c[2]), r = 77, col = 77;
    EXPECT_EQ(xlsx_cellref_read(c[0].c_str(), &r, &col), row != 0) << c.where;
    EXPECT_EQ(r * 100000 + col, row * 100000 + column) << c.where;
    EXPECT_EQ(xlsx_cellref_column_of(c[0].c_str()), column) << c.where;
    XlsxCellRef ref;
    ASSERT_EQ(xlsx_cellref_set(&ref, 9, 9), XLSX_OK);
    EXPECT_EQ(xlsx_cellref_set_text(&ref, c[0].c_str()), row ? XLSX_OK : XLSX_ERR_INVALID_ARG) << c.where;
    EXPECT_EQ(xlsx_cellref_row(&ref) * 100000 + xlsx_cellref_column(&ref), row ? r * 100000 + col : 100001u);
    EXPECT_STREQ(xlsx_cellref_text(&ref), row ? c[0].c_str() : "A1");
  }
  XlsxCellRef ref;
  ASSERT_EQ(xlsx_cellref_set_text(&ref, ("B2" + std::string(40, ' ')).c_str()), XLSX_OK);
  EXPECT_EQ(std::strlen(xlsx_cellref_text(&ref)), 23u) << "cut, but the whole text was read";
  for (const char* empty : {"", static_cast<const char*>(nullptr)}) {
    ASSERT_EQ(xlsx_cellref_set(&ref, 4, 4), XLSX_OK);
    EXPECT_EQ(xlsx_cellref_set_text(&ref, empty), XLSX_OK);
    EXPECT_STREQ(xlsx_cellref_text(&ref), "A1");
  }
  EXPECT_EQ(xlsx_cellref_set_text(nullptr, "A1"), XLSX_ERR_INVALID_ARG);
  EXPECT_FALSE(xlsx_cellref_read(nullptr, nullptr, nullptr) || xlsx_cellref_column_of(nullptr));
  char buffer[XLSX_CELLREF_TEXT_SIZE];
  EXPECT_EQ(xlsx_cellref_format(1048576, 16384, buffer), 10u);
  EXPECT_STREQ(buffer, "XFD1048576");
  EXPECT_EQ(xlsx_cellref_format(0, 1, buffer) + std::strlen(buffer), 0u);
  for (const auto& c : cases("area")) {
    XlsxCellArea a{};
    ASSERT_EQ(xlsx_area_read(c[0].c_str(), &a), !c[1].empty()) << c.where;
    if (c[1].empty()) continue;
    EXPECT_STREQ(xlsx_area_format(&a, false, buffer), c[1].c_str()) << c.where;
    EXPECT_TRUE(c[2].empty() || xlsx_area_format(&a, true, buffer) == c[2]) << c.where;
  }
}

// Numbers outside the sheet are refused and change nothing; references order by row, then column.
TEST_F(Values, ReferenceNumbersWithinTheLimitsAndTheirOrder) {
  XlsxCellRef ref;
  xlsx_cellref_init(&ref);
  EXPECT_STREQ(xlsx_cellref_text(&ref), "A1");
  ASSERT_EQ(xlsx_cellref_set(&ref, 5, 3) + xlsx_cellref_set_row(&ref, 9) + xlsx_cellref_set_column(&ref, 28), XLSX_OK);
  EXPECT_STREQ(xlsx_cellref_text(&ref), "AB9");
  const XlsxCellRef before = ref;
  const uint32_t pairs[][2] = {{1048577, 1}, {1, 16385}, {0, 1}, {1, 0}, {1, 65537}};  // 65537 is 1 in 16 bits
  for (const auto& pair : pairs) {
    EXPECT_FALSE(xlsx_cellref_is_valid(pair[0], pair[1]));
    EXPECT_EQ(xlsx_cellref_set(&ref, pair[0], pair[1]), XLSX_ERR_INVALID_ARG) << pair[0] << "," << pair[1];
  }
  EXPECT_EQ(xlsx_cellref_set_row(&ref, 0) + xlsx_cellref_set_column(&ref, 16385), 2 * XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(std::memcmp(&ref, &before, sizeof ref), 0);
  EXPECT_EQ(xlsx_cellref_set(nullptr, 1, 1) + xlsx_cellref_set_row(nullptr, 1) + xlsx_cellref_set_column(nullptr, 1),
            3 * XLSX_ERR_INVALID_ARG);
  XlsxCellRef b2_text, b2, z1, a2;
  ASSERT_EQ(xlsx_cellref_set_text(&b2_text, "b 2") + xlsx_cellref_set(&b2, 2, 2), XLSX_OK);
  ASSERT_EQ(xlsx_cellref_set_text(&z1, "Z1") + xlsx_cellref_set_text(&a2, "A2"), XLSX_OK);
  EXPECT_TRUE(xlsx_cellref_equal(&b2_text, &b2) && xlsx_cellref_equal(nullptr, nullptr));
  EXPECT_FALSE(xlsx_cellref_equal(&a2, nullptr));
  const std::vector<int> orders = {xlsx_cellref_compare(&b2_text, &b2), xlsx_cellref_compare(&z1, &a2),
                                   xlsx_cellref_compare(&b2, &a2), xlsx_cellref_compare(nullptr, &a2),
                                   xlsx_cellref_compare(&a2, nullptr), xlsx_cellref_compare(nullptr, nullptr)};
  EXPECT_EQ(orders, (std::vector<int>{0, -1, 1, -1, 1, 0}));
  EXPECT_EQ(xlsx_cellref_row(nullptr) + xlsx_cellref_column(nullptr), 0u);
  EXPECT_STREQ(xlsx_cellref_text(nullptr), "");
}

// Getters answer only for their kind (an error is a NaN float), setters normalise (no infinite float).
TEST_F(Values, SettersNormaliseAndGettersDoNotConvert) {
  Value a, b;
  auto got = [](xlsx_status status, bool untouched, const std::string& value) -> std::string {
    if (status == XLSX_ERR_VALUE_TYPE) return untouched ? "-" : "output changed on failure";
    return status == XLSX_OK ? value : "status " + std::to_string(status);
  };
  for (const auto& c : cases("getters")) {
    ASSERT_EQ(set_value(&a, c[0]), XLSX_OK) << c.where;
    EXPECT_STREQ(xlsx_value_type_name(&a), c[1].c_str()) << c.where;
    bool number = a.type == XLSX_VALUE_BOOLEAN || a.type == XLSX_VALUE_INTEGER || a.type == XLSX_VALUE_FLOAT;
    EXPECT_TRUE(a.boolean <= 1 && !(number && a.text)) << c.where << ": numbers carry no text";
    bool flag = false;
    int64_t i = 5;
    double d = 5;
    const char* text = nullptr;
    xlsx_status as_bool = xlsx_value_get_bool(&a, &flag), as_int = xlsx_value_get_int(&a, &i),
                as_float = xlsx_value_get_float(&a, &d), as_text = xlsx_value_get_text(&a, &text);
    std::string float_text = std::isnan(d) ? "nan" : d == 0.5 ? "0.5" : "?";
    EXPECT_EQ(got(as_bool, !flag, flag ? "1" : "0"), c[2]) << c.where;
    EXPECT_EQ(got(as_int, i == 5, std::to_string(i)), c[3]) << c.where;
    EXPECT_EQ(got(as_float, d == 5, float_text), c[4]) << c.where;
    EXPECT_EQ(got(as_text, text == nullptr, text ? text : "(null)"), c[5]) << c.where;
  }
  xlsx_value_reset(&a);
  EXPECT_EQ(a.text, nullptr);
  const char* text = nullptr;
  ASSERT_EQ(xlsx_value_get_text(&a, &text), XLSX_OK);
  EXPECT_STREQ(text, "") << "a reset value reads as the empty text";
  XlsxCellValue unknown = a;
  unknown.type = 6;
  EXPECT_STREQ(xlsx_value_type_name(&unknown), "error");
  EXPECT_STREQ(xlsx_value_type_name(nullptr), "empty");
  EXPECT_EQ(xlsx_value_type(nullptr), 0u);
  xlsx_value_reset(nullptr);
  EXPECT_EQ(xlsx_value_set_string(nullptr, "x") + xlsx_value_get_text(&a, nullptr), 2 * XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_value_get_float(nullptr, &b.number), XLSX_ERR_INVALID_ARG);
  ASSERT_EQ(xlsx_value_set_float(&a, std::numeric_limits<double>::max()), XLSX_OK);
  EXPECT_EQ(a.type, XLSX_VALUE_FLOAT);
}

// Texts are owned copies, may come from the value itself, and a copy that cannot be made changes nothing.
TEST_F(Values, TextsAreOwnedCopiesAndMayComeFromTheValueItself) {
  Value a, b;
  char source[] = "self";
  ASSERT_EQ(xlsx_value_set_string(&a, source), XLSX_OK);
  source[0] = 'X';
  ASSERT_EQ(xlsx_value_set_error(&a, a.text), XLSX_OK);
  ASSERT_EQ(xlsx_value_copy(&b, &a), XLSX_OK);
  EXPECT_TRUE(b.text != a.text && std::string(b.text) == "self" && b.type == XLSX_VALUE_ERROR);
  ASSERT_EQ(xlsx_value_set_int(&a, 3), XLSX_OK);
  ASSERT_EQ(xlsx_value_copy(&b, &a), XLSX_OK);  // releases b's text
  EXPECT_TRUE(b.text == nullptr && b.integer == 3);
  ASSERT_EQ(xlsx_value_set_string(&a, "kept") + xlsx_value_set_string(&b, "source"), XLSX_OK);
  char* before = a.text;
  xlsx_test::FaultAllocation fault(1, true);
  for (const char* typed : {"string:new", "error:#REF!", "empty:", "float:inf"})
    EXPECT_EQ(set_value(&a, typed), XLSX_ERR_NO_MEMORY) << typed;
  EXPECT_EQ(xlsx_value_copy(&a, &b), XLSX_ERR_NO_MEMORY);
  EXPECT_TRUE(a.type == XLSX_VALUE_STRING && a.text == before);
  XlsxCellValue v;
  EXPECT_EQ(xlsx_value_init(&v), XLSX_ERR_NO_MEMORY);
  fault.fail_after(0);
  const char* text = nullptr;
  ASSERT_EQ(xlsx_value_get_text(&v, &text), XLSX_OK) << "a failed init leaves a valid empty value";
  EXPECT_STREQ(text, "");
  xlsx_value_reset(&v);
}

// Ordering: texts, then integers, then floats, then booleans; never by magnitude across classes.
TEST_F(Values, ComparisonReferenceTable) {
  Value a, b;
  for (const auto& c : cases("compare")) {
    ASSERT_EQ(set_value(&a, c[0]) + set_value(&b, c[1]), XLSX_OK) << c.where;
    EXPECT_EQ(xlsx_value_compare(&a, &b), std::stoi(c[2])) << c.where;
    EXPECT_EQ(xlsx_value_compare(&b, &a), -std::stoi(c[2])) << c.where;
    EXPECT_EQ(xlsx_value_equal(&a, &b), c[3] == "1") << c.where;
  }
  xlsx_value_reset(&a);
  EXPECT_EQ(xlsx_value_compare(nullptr, &a) * 10 + xlsx_value_compare(nullptr, nullptr), -10) << "missing ones first";
  EXPECT_TRUE(xlsx_value_equal(nullptr, nullptr) && !xlsx_value_equal(&a, nullptr));
  ASSERT_EQ(xlsx_value_set_string(&b, ""), XLSX_OK);
  EXPECT_TRUE(xlsx_value_equal(&a, &b)) << "a reset value equals the empty text";
}

// Formula texts are owned copies (also from their own text); a failed copy keeps the old text.
TEST_F(Values, FormulaTextsAreOwnedCopies) {
  XlsxText a, b;
  ASSERT_EQ(xlsx_text_init(&a) + xlsx_text_init(&b), XLSX_OK);
  EXPECT_STREQ(xlsx_text_get(&a), "");
  ASSERT_EQ(xlsx_text_set(&a, "SUM(A1:A3)"), XLSX_OK);
  ASSERT_EQ(xlsx_text_set(&a, a.text), XLSX_OK);  // from its own text
  ASSERT_EQ(xlsx_text_assign(&b, &a), XLSX_OK);
  EXPECT_TRUE(a.text != b.text && xlsx_text_equal(&a, &b));
  EXPECT_STREQ(xlsx_text_get(&b), "SUM(A1:A3)");
  {
    xlsx_test::FaultAllocation fault(1, true);
    EXPECT_EQ(xlsx_text_set(&a, "new") + xlsx_text_assign(&a, &b), 2 * XLSX_ERR_NO_MEMORY);
    EXPECT_STREQ(xlsx_text_get(&a), "SUM(A1:A3)");
  }
  ASSERT_EQ(xlsx_text_set(&a, nullptr) + xlsx_text_assign(&b, nullptr), XLSX_OK);
  EXPECT_STREQ(xlsx_text_get(&b), "");
  xlsx_text_release(&a);
  EXPECT_EQ(a.text, nullptr);
  EXPECT_TRUE(xlsx_text_equal(&a, &b) && xlsx_text_equal(nullptr, nullptr) && !xlsx_text_equal(&a, nullptr));
  EXPECT_STREQ(xlsx_text_get(nullptr), "");
  EXPECT_EQ(xlsx_text_set(nullptr, "x"), XLSX_ERR_INVALID_ARG);
  xlsx_text_release(&b);
  xlsx_text_release(nullptr);
  for (const auto& c : cases("move")) {
    StrBuf out;
    strbuf_init(&out);
    ASSERT_EQ(xlsx_formula_move(c[0].c_str(), std::stoll(c[1]), std::stoll(c[2]), &out), XLSX_OK) << c.where;
    EXPECT_STREQ(out.data, c[3].c_str()) << c.where;
    strbuf_free(&out);
  }
}

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
  void SetUp() override { SheetTest::SetUp(); ASSERT_EQ(xlsx_workbook_styles(wb_, &styles_), XLSX_OK); }
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
  // A change of the aspect (a font: its colour, name, size and flags), every other field kept.
  static XlsxStyleChange Font(const char* name, double size, int32_t flags, int32_t color,
                              XlsxStyleAspect aspect = XLSX_ASPECT_FONT) {
    XlsxStyleChange change = xlsx_style_change(aspect);
    change.font_name = name, change.font_size = size, change.font_flags = flags, change.color = color;
    return change;
  }
  static XlsxStyleChange Bold() { return Font(nullptr, XLSX_STYLE_KEEP, XLSX_FONT_BOLD, XLSX_STYLE_KEEP); }
  static auto Fill(int32_t c) { return Font(nullptr, XLSX_STYLE_KEEP, XLSX_STYLE_KEEP, c, XLSX_ASPECT_FILL); }
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
  XlsxStyleChange change = Font("Verdana", 9, XLSX_FONT_STRIKE, 0x336699);
  expect_failed_edits_change_nothing([&] { return xlsx_styles_apply(styles_, &cell, &change); },
                                     [&] { return part_text(StylesPart()) + part_text(ws_.part); });
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
