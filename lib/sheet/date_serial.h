// Dates and times as serial numbers of the workbook's date system, and as the texts scripts use:
// "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]" and "HH:MM[:SS]". The 1900 system counts 1900-01-01 as day 1 and
// keeps the day 1900-02-29 (serial 60) that spreadsheet applications have always counted; the 1904
// system counts 1904-01-01 as day 0. Nothing here allocates.
#pragma once

#include <cstdint>

// Size of a buffer that holds every text xlsx_serial_to_date_text writes.
constexpr uint32_t XLSX_DATE_TEXT_SIZE = 20;

// What a date text held.
enum : uint32_t { XLSX_DATE_HAS_DATE = 1, XLSX_DATE_HAS_TIME = 2, XLSX_DATE_HAS_SECONDS = 4 };

// Serial number of text in the 1900 system (date1904 false) or the 1904 system; *parts (may be null)
// gets the XLSX_DATE_ flags of what the text held. False, *serial untouched, for null, a text of another
// form, a day or time that does not exist, or a date before the system's first day or after 9999-12-31.
bool xlsx_date_text_to_serial(const char* text, bool date1904, double* serial, uint32_t* parts);
// The text of serial, to the nearest second: "YYYY-MM-DD" for whole numbers, "HH:MM:SS" below one day,
// else "YYYY-MM-DD HH:MM:SS"; into buffer (XLSX_DATE_TEXT_SIZE bytes). False, buffer "", for a negative
// or non-finite serial or one past 9999-12-31.
bool xlsx_serial_to_date_text(double serial, bool date1904, char* buffer);
