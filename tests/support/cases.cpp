#include "tests/support/cases.h"

#include <gtest/gtest.h>

#include <fstream>

namespace xlsx_test {
namespace {

std::string trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(' '), last = text.find_last_not_of(' ');
  return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

// Splits a line at unescaped " | " and decodes each field.
std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> fields(1);
  for (size_t i = 0; i < line.size(); i++) {
    if (line[i] == '|' && (i == 0 || line[i - 1] != '\\'))
      fields.emplace_back();
    else
      fields.back() += line[i];
  }
  for (std::string& field : fields) {
    std::string raw = trimmed(field), out;
    for (size_t i = 0; i < raw.size(); i++) {
      if (raw[i] != '\\' || i + 1 == raw.size()) {
        out += raw[i];
        continue;
      }
      char e = raw[++i];
      if (e == 'x' && i + 2 < raw.size()) {
        out += static_cast<char>(std::stoi(raw.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e == '0' ? '\0' : e;
      }
    }
    field = out;
  }
  return fields;
}

}  // namespace

const std::string& Case::operator[](size_t i) const {
  static const std::string none;
  if (i < fields.size()) return fields[i];
  ADD_FAILURE() << where << ": no field " << i;
  return none;
}

std::vector<Case> read_cases(const std::string& file, const std::string& kind) {
  std::vector<Case> cases;
  std::ifstream in(std::string(XLSX_TEST_SOURCES) + "/" + file);
  EXPECT_TRUE(in) << file;
  std::string line;
  for (int number = 1; std::getline(in, line); number++) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields = split(line);
    if (fields[0] != kind) continue;
    cases.push_back({file + ":" + std::to_string(number), kind, {fields.begin() + 1, fields.end()}});
  }
  EXPECT_FALSE(cases.empty()) << file << " has no case of kind " << kind;
  return cases;
}

}  // namespace xlsx_test
