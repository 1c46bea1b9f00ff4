// Decimal number texts with many digits or an exponent: the value read is the correctly rounded double,
// bit for bit what the C library's converter gives, and texts outside the plain form keep their old
// readings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

class DecimalTexts : public SheetTest {
 protected:
  // Loads the texts as `v` of plain cells, one row each, A1 downwards.
  void load_texts(const std::vector<std::string>& texts);
};

void DecimalTexts::load_texts(const std::vector<std::string>& texts) {
  std::string cells;
  for (size_t i = 0; i < texts.size(); i++) {
    std::string row = std::to_string(i + 1);
    cells += "<row r=\"" + row + "\"><c r=\"A" + row + "\"><v>" + texts[i] + "</v></c></row>";
  }
  load_sheet(worksheet_with("<sheetData>" + cells + "</sheetData>"));
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class ReadBack {
 public:
  explicit ReadBack(const XlsxCell& c) {
    EXPECT_EQ(xlsx_cell_get_value(&c, &value_), XLSX_OK);
  }
  ~ReadBack() { xlsx_value_reset(&value_); }
  const XlsxCellValue& value() const { return value_; }

 private:
  XlsxCellValue value_{};
};

TEST_F(DecimalTexts, SeventeenDigitFractionsReadAsTheConverterRoundsThem) {
  std::vector<std::string> texts;
  char buffer[64];
  for (int r = 1; r <= 600; r++) {
    for (double x : {r / 3.0, r * 0.001, r * 1.5 + 0.25, -r / 7.0, r * 1e-9, r * 1e15 / 3.0}) {
      std::snprintf(buffer, sizeof buffer, "%.17g", x);
      // Whole numbers ("1" for 3/3.0) are integers, read elsewhere.
      if (std::strpbrk(buffer, ".e")) texts.push_back(buffer);
    }
  }
  // Exponents, long mantissas, the edges of the double range and halfway cases.
  for (const char* t : {"1.2345678901234567e-5", "9.999999999999999e22", "1.7976931348623157e308",
                        "2.2250738585072014e-308", "4.9406564584124654e-324", "2.4703282292062328e-324",
                        "0.1000000000000000055511151231257827", "9007199254740993.0", "-0.0", "0.0e0",
                        "123456789012345678901234567890.5", "1E+2", "7.0000000000000000001"})
    texts.push_back(t);
  load_texts(texts);
  for (size_t i = 0; i < texts.size(); i++) {
    ReadBack read(cell(static_cast<uint32_t>(i + 1), 1));
    ASSERT_EQ(xlsx_value_type(&read.value()), XLSX_VALUE_FLOAT) << texts[i];
    double expected = std::strtod(texts[i].c_str(), nullptr);
    EXPECT_TRUE(same_bits(read.value().number, expected))
        << texts[i] << " read as " << read.value().number << ", expected " << expected;
  }
}

TEST_F(DecimalTexts, TextsOutsideThePlainFormKeepTheirReadings) {
  // Overflow becomes the error "#NUM!"; a leading plus or white space is left to the general converter
  // (which takes them); a trailing letter or a lone exponent reads as 0.0; a huge whole number is a float;
  // "nan", which the C converter takes, is not a finite number either.
  load_texts({"1e309", "-1e400", "+1.5", " 2.5", "1.5e", "1.5x", "99999999999999999999", "1e-400", "nan"});
  EXPECT_EQ(value_at(1, 1), "error:#NUM!");
  EXPECT_EQ(value_at(2, 1), "error:#NUM!");
  EXPECT_EQ(value_at(3, 1), "float:1.5");
  EXPECT_EQ(value_at(4, 1), "float:2.5");
  EXPECT_EQ(value_at(5, 1), "float:0");
  EXPECT_EQ(value_at(6, 1), "float:0");
  EXPECT_EQ(value_at(7, 1), "float:1e+20");
  EXPECT_EQ(value_at(8, 1), "float:0");
  EXPECT_EQ(value_at(9, 1), "error:#NUM!");
}

}  // namespace
}  // namespace sheet_test
