// Declarative test cases: a file of one case per line, "kind | field | field ...". Lines that are empty or
// start with "#" are skipped. In a field, \n \r \t \0 \\ \| and \xHH stand for their bytes; a field is
// trimmed of the blanks around the separators (write \x20 for a leading or trailing space).
#pragma once

#include <string>
#include <vector>

namespace xlsx_test {

struct Case {
  std::string where;                // "file:line", for failure messages
  std::string kind;                 // the first field
  std::vector<std::string> fields;  // the others, decoded
  // The field at i; fails the test and gives "" when there is none.
  const std::string& operator[](size_t i) const;
};

// The cases of the file (a path relative to the tests/ folder) whose kind is kind.
std::vector<Case> read_cases(const std::string& file, const std::string& kind);

}  // namespace xlsx_test
