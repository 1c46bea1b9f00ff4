// Cell formats: date texts and serial numbers in both date systems, number format codes, and the styles
// model on a workbook (records shared, a change keeps what it does not name, indexes out of range, a
// part left as it was when no record is needed, the failure rule under failing allocations).
#include <gtest/gtest.h>

#include <string>

#include "lib/base/alloc.h"
#include "lib/document/document.h"
#include "lib/package/part.h"
#include "lib/sheet/date_serial.h"
#include "lib/sheet/number_format.h"
#include "lib/sheet/styles.h"
#include "lib/sheet/workbook.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(DateSerial, TextsAndSerialsBothWays) {
  struct Row {
    const char* text;
    bool date1904;
    double serial;
    const char* back;  // what the serial reads back as
  } rows[] = {
      {"1900-01-01", false, 1, "1900-01-01"},
      {"1900-02-28", false, 59, "1900-02-28"},
      {"1900-02-29", false, 60, "1900-02-29"},  // the day the 1900 system counts
      {"1900-03-01", false, 61, "1900-03-01"},
      {"2026-12-07", false, 46363, "2026-12-07"},
      {"9999-12-31", false, 2958465, "9999-12-31"},
      {"2026-12-07 18:30", false, 46363.770833333336, "2026-12-07 18:30:00"},
      {"2000-02-29T06:00:01", false, 36585.250011574077, "2000-02-29 06:00:01"},
      {"12:00", false, 0.5, "12:00:00"},
      {"23:59:59", true, 0.99998842592592596, "23:59:59"},
      {"1904-01-02", true, 1, "1904-01-02"},
      {"2026-12-07", true, 44901, "2026-12-07"},
  };
  for (const Row& row : rows) {
    double serial = -1;
    ASSERT_TRUE(xlsx_date_text_to_serial(row.text, row.date1904, &serial, nullptr)) << row.text;
    EXPECT_DOUBLE_EQ(serial, row.serial) << row.text;
    char text[XLSX_DATE_TEXT_SIZE];
    ASSERT_TRUE(xlsx_serial_to_date_text(serial, row.date1904, text)) << row.text;
    EXPECT_STREQ(text, row.back);
  }
  for (const char* bad : {"", "2026-13-01", "2026-02-29", "1899-12-31", "2026-1-07", "2026-12-07 24:00", "12:60",
                          "2026-12-07 ", "10000-01-01", "1904-02-29x"}) {
    double serial = -1;
    EXPECT_FALSE(xlsx_date_text_to_serial(bad, false, &serial, nullptr)) << bad;
  }
  double serial = 0;
  EXPECT_FALSE(xlsx_date_text_to_serial("1900-02-29", true, &serial, nullptr)) << "no such day from 1904 on";
  char text[XLSX_DATE_TEXT_SIZE];
  for (double bad : {-1.0, 2958466.0, 1.0 / 0.0}) EXPECT_FALSE(xlsx_serial_to_date_text(bad, false, text)) << bad;
}

TEST(NumberFormat, CodesDatesAndBuiltins) {
  struct Row {
    const char* code;
    bool valid, date;
  } rows[] = {
      {"General", true, false},         {"0.00", true, false},          {"\"$\"#,##0.00", true, false},
      {"yyyy-mm-dd", true, true},       {"[h]:mm", true, true},          {"hh:mm AM/PM", true, true},
      {"\"day\" 0", true, false},       {"[Red]0.00;[Blue]-0", true, false}, {"0\\d", true, false},
      {"[$-409]d-mmm", true, true},     {"_(* #,##0_)", true, false},    {"\"open", false, false},
      {"[Red0", false, false},          {"0;0;0;@;0", false, false},     {"", false, false},
      {"0\\", false, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(xlsx_format_code_is_valid(row.code), row.valid) << row.code;
    if (row.valid) {
      EXPECT_EQ(xlsx_format_code_is_date(row.code), row.date) << row.code;
    }
  }
  EXPECT_FALSE(xlsx_format_code_is_valid(std::string(256, '0').c_str()));
  EXPECT_EQ(xlsx_builtin_format_id("mm-dd-yy"), 14);
  EXPECT_STREQ(xlsx_builtin_format_code(49), "@");
  EXPECT_EQ(xlsx_builtin_format_code(30), nullptr);
  EXPECT_TRUE(xlsx_builtin_format_is_date(30));
  EXPECT_FALSE(xlsx_builtin_format_is_date(49));
}

// A new workbook, its styles and the first sheet.
class Styles : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    doc_ = xlsx_document_new();
    ASSERT_EQ(xlsx_document_create(doc_, dir_.file("book.xlsx").c_str()), XLSX_OK);
    Reopen(false);
  }
  void TearDown() override {
    xlsx_document_free(doc_);
    CountedTest::TearDown();
  }
  // Saves (when asked) and opens the file again; the styles and sheet are found anew.
  void Reopen(bool save) {
    if (save) {
      ASSERT_EQ(xlsx_document_save(doc_), XLSX_OK);
    }
    ASSERT_EQ(xlsx_document_open(doc_, dir_.file("book.xlsx").c_str()), XLSX_OK);
    XlsxWorkbook* workbook = xlsx_document_workbook(doc_);
    ASSERT_EQ(xlsx_workbook_worksheet_at(workbook, 1, &sheet_), XLSX_OK);
    ASSERT_EQ(xlsx_workbook_styles(workbook, &styles_), XLSX_OK);
  }
  XlsxCell Cell(const char* ref) {
    XlsxCell cell{};
    EXPECT_EQ(xlsx_sheet_cell_by_ref(&sheet_, ref, &cell), XLSX_OK);
    return cell;
  }
  xlsx_status Apply(const char* ref, const XlsxStyleChange& change) {
    XlsxCell cell = Cell(ref);
    return xlsx_styles_apply(styles_, &cell, &change);
  }
  XlsxFontLook Font(const char* ref) {
    XlsxCell cell = Cell(ref);
    XlsxFontLook font{};
    xlsx_styles_font(styles_, xlsx_cell_style(&cell), &font);
    return font;
  }
  XlsxPart* StylesPart() { return xlsx_package_find_part(xlsx_document_package(doc_), "xl/styles.xml"); }
  uint32_t Count(const char* list) {
    XmlNode* node = xml_node_child(xlsx_part_root(StylesPart()), list);
    uint32_t n = 0;
    for (XmlNode* c = xml_node_first_element(node); c; c = xml_node_next_element(c)) n++;
    EXPECT_EQ(xml_attribute_as_uint(xml_node_attribute(node, "count"), 0), n) << list;
    return n;
  }
  static XlsxStyleChange Font(const char* name, double size, int32_t flags, int32_t color) {
    XlsxStyleChange change = xlsx_style_change(XLSX_ASPECT_FONT);
    change.font_name = name;
    change.font_size = size;
    change.font_flags = flags;
    change.color = color;
    return change;
  }
  static XlsxStyleChange Fill(int32_t color) {
    XlsxStyleChange change = xlsx_style_change(XLSX_ASPECT_FILL);
    change.color = color;
    return change;
  }

  xlsx_test::TempDir dir_;
  XlsxDocument* doc_ = nullptr;
  XlsxWorksheet sheet_{};
  XlsxStyles* styles_ = nullptr;
};

TEST_F(Styles, IdenticalRecordsAreShared) {
  XlsxStyleChange bold = Font(nullptr, XLSX_STYLE_KEEP, XLSX_FONT_BOLD, XLSX_STYLE_KEEP);
  XlsxStyleChange band = Fill(0xF2F2F2);
  XlsxStyleChange money = xlsx_style_change(XLSX_ASPECT_NUMBER_FORMAT);
  money.number_format = "\"$\"#,##0.00";
  for (uint32_t row = 1; row <= 2000; row++) {
    for (uint32_t column = 1; column <= 5; column++) {
      XlsxCell cell{};
      ASSERT_EQ(xlsx_sheet_cell(&sheet_, row, column, &cell), XLSX_OK);
      if (row == 1) {
        ASSERT_EQ(xlsx_styles_apply(styles_, &cell, &bold), XLSX_OK);
      }
      if (row % 2 == 0) {
        ASSERT_EQ(xlsx_styles_apply(styles_, &cell, &band), XLSX_OK);
      }
      if (column == 3) {
        ASSERT_EQ(xlsx_styles_apply(styles_, &cell, &money), XLSX_OK);
      }
    }
  }
  Reopen(true);
  // Plain, bold, bold money, banded, banded money, money: six cell formats; one font, fill and format more.
  EXPECT_EQ(Count("cellXfs"), 6u);
  EXPECT_EQ(Count("fonts"), 2u);
  EXPECT_EQ(Count("fills"), 3u);
  EXPECT_EQ(Count("numFmts"), 1u);
  XlsxCell cell = Cell("C4");
  EXPECT_STREQ(xlsx_styles_number_format(styles_, xlsx_cell_style(&cell)), "\"$\"#,##0.00");
  EXPECT_EQ(xlsx_styles_fill(styles_, xlsx_cell_style(&cell)), 0xF2F2F2);
}

TEST_F(Styles, ChangeKeepsWhatItDoesNotName) {
  ASSERT_EQ(Apply("B2", Font("Arial", 14, XLSX_FONT_ITALIC, 0xC00000)), XLSX_OK);
  ASSERT_EQ(Apply("B2", Fill(0x00FF00)), XLSX_OK);
  XlsxStyleChange border = xlsx_style_change(XLSX_ASPECT_BORDER);
  border.sides = XLSX_SIDE_TOP | XLSX_SIDE_LEFT;
  border.border_style = 5;
  ASSERT_EQ(Apply("B2", border), XLSX_OK);
  ASSERT_EQ(Apply("B2", Font("", XLSX_STYLE_KEEP, XLSX_FONT_BOLD | XLSX_FONT_UNDERLINE, XLSX_STYLE_KEEP)), XLSX_OK);
  XlsxStyleChange align = xlsx_style_change(XLSX_ASPECT_ALIGNMENT);
  align.rotation = -30;
  align.wrap = 1;
  ASSERT_EQ(Apply("B2", align), XLSX_OK);
  Reopen(true);
  XlsxFontLook font = Font("B2");
  EXPECT_STREQ(font.name, "Arial");
  EXPECT_EQ(font.size, 14);
  EXPECT_EQ(font.flags, XLSX_FONT_BOLD | XLSX_FONT_UNDERLINE);
  EXPECT_EQ(font.color, 0xC00000);
  XlsxCell cell = Cell("B2");
  uint32_t xf = xlsx_cell_style(&cell);
  EXPECT_EQ(xlsx_styles_fill(styles_, xf), 0x00FF00);
  int32_t style = 0, color = 0;
  xlsx_styles_border(styles_, xf, XLSX_SIDE_LEFT, &style, &color);
  EXPECT_EQ(style, 5);
  EXPECT_EQ(color, XLSX_STYLE_NO_COLOR);
  xlsx_styles_border(styles_, xf, XLSX_SIDE_BOTTOM, &style, &color);
  EXPECT_EQ(style, 0);
  XlsxAlignmentLook a{};
  xlsx_styles_alignment(styles_, xf, &a);
  EXPECT_EQ(a.rotation, -30);
  EXPECT_EQ(a.wrap, 1);
  EXPECT_EQ(a.horizontal, 0);
  EXPECT_EQ(a.vertical, XLSX_VERTICAL_DEFAULT);
  // A refused value changes nothing.
  EXPECT_EQ(Apply("B2", Font("", 500, XLSX_STYLE_KEEP, XLSX_STYLE_KEEP)), XLSX_ERR_INVALID_ARG);
  XlsxStyleChange bad = Fill(0x1000000);
  EXPECT_STREQ(xlsx_style_change_problem(&bad), "colour");
  EXPECT_EQ(xlsx_cell_style(&cell), xf);
}

TEST_F(Styles, IndexOutOfRangeReadsAsDefault) {
  XlsxCell cell = Cell("A1");
  ASSERT_TRUE(xml_node_set_attribute(cell.element, "s", "4000"));
  XlsxFontLook font = Font("A1");
  EXPECT_EQ(font.flags, 0u);
  EXPECT_STREQ(xlsx_styles_number_format(styles_, 4000), "General");
  ASSERT_EQ(Apply("A1", Font(nullptr, XLSX_STYLE_KEEP, XLSX_FONT_BOLD, XLSX_STYLE_KEEP)), XLSX_OK);
  font = Font("A1");
  EXPECT_EQ(font.flags, XLSX_FONT_BOLD);
  EXPECT_EQ(font.size, 12) << "the default font's size";
}

TEST_F(Styles, NoNewRecordLeavesThePartUnchanged) {
  ASSERT_EQ(Apply("A1", Font(nullptr, XLSX_STYLE_KEEP, XLSX_FONT_BOLD, XLSX_STYLE_KEEP)), XLSX_OK);
  Reopen(true);
  ASSERT_FALSE(xlsx_part_is_dirty(StylesPart()));
  ASSERT_EQ(Apply("D9", Font(nullptr, XLSX_STYLE_KEEP, XLSX_FONT_BOLD, XLSX_STYLE_KEEP)), XLSX_OK);
  ASSERT_EQ(Apply("A1", Font(nullptr, XLSX_STYLE_KEEP, XLSX_FONT_BOLD, XLSX_STYLE_KEEP)), XLSX_OK);
  EXPECT_FALSE(xlsx_part_is_dirty(StylesPart()));
  XlsxCell cell = Cell("D9");
  EXPECT_EQ(xlsx_cell_style(&cell), 1u);
}

TEST_F(Styles, FailedChangeLeavesBothTreesAsTheyWere) {
  ASSERT_EQ(Apply("A1", Fill(0x123456)), XLSX_OK);
  auto text_of = [](XlsxPart* part) {
    char* text = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(xlsx_part_serialize(part, &text, &length), XLSX_OK);
    std::string out(text ? text : "", length);
    xlsx_free(text);
    return out;
  };
  XlsxCell cell = Cell("A1");
  std::string styles_before = text_of(StylesPart()), sheet_before = text_of(sheet_.part);
  XlsxStyleChange change = Font("Verdana", 9, XLSX_FONT_STRIKE, 0x336699);
  xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& faults) {
    xlsx_status status = xlsx_styles_apply(styles_, &cell, &change);
    if (faults.failures() == 0) return;
    faults.fail_after(0);  // the checks below need memory
    ASSERT_NE(status, XLSX_OK);
    ASSERT_EQ(text_of(StylesPart()), styles_before);
    ASSERT_EQ(text_of(sheet_.part), sheet_before);
  });
  EXPECT_STREQ(Font("A1").name, "Verdana");
  EXPECT_EQ(xlsx_styles_fill(styles_, xlsx_cell_style(&cell)), 0x123456);
}

}  // namespace
