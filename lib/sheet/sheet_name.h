// Sheet names: the rules a name must keep, names compared as spreadsheet applications compare them
// (letter case ignored, also beyond ASCII), and the prefix by which formulas name a sheet.
#pragma once

#include <cstdint>

// Whether name may name a sheet: 1 to 31 characters (counted as UTF-16 units), none of : \ / ? * [ ] and
// no control character, not starting or ending with an apostrophe. False for null.
bool xlsx_sheet_name_is_valid(const char* name);
// Whether two names are the same sheet name: equal once letter case is ignored (Latin, Greek, Cyrillic,
// Armenian and full-width letters: "ä" is "Ä"). False when either is null.
bool xlsx_sheet_names_equal(const char* a, const char* b);
// Writes the prefix by which formulas name the sheet ("Data!", or "'My Data'!" with apostrophes doubled
// for names that need quoting: names with characters other than letters, digits, "_" and ".", names that
// start with a digit, and names that read as a cell reference such as A1 or R1C1) into buffer, cut to
// size - 1 bytes; returns buffer ("" for a null name).
char* xlsx_sheet_ref_prefix(const char* name, char* buffer, uint32_t size);
