// Date texts and serial numbers. Days are counted with integer arithmetic on the proleptic Gregorian
// calendar (days since 1970-01-01), so results do not depend on the platform's time functions.
#include "lib/sheet/date_serial.h"

#include <cmath>

#include "lib/base/alloc.h"
#include "lib/base/convert.h"

namespace {

constexpr int64_t kSecondsPerDay = 86400;

// Days from 1970-01-01 to the given day.
int64_t days_from_civil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2 ? 1 : 0;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civil_from_days(int64_t z, int64_t* y, int64_t* m, int64_t* d) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp + (mp < 10 ? 3 : -9);
  *y = yoe + era * 400 + (*m <= 2 ? 1 : 0);
}

bool is_leap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int64_t days_in_month(int64_t y, int64_t m) {
  static const int8_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && is_leap(y) ? 29 : kDays[m - 1];
}

// Reads exactly n digits at *p, advancing it; false when fewer are there.
bool read_digits(const char** p, uint32_t n, int64_t* out) {
  int64_t value = 0;
  for (uint32_t i = 0; i < n; i++) {
    char c = (*p)[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  *p += n;
  *out = value;
  return true;
}

// "HH:MM[:SS]" at p, to the end of the text; seconds of the day into *seconds.
bool read_time(const char* p, int64_t* seconds, uint32_t* parts) {
  int64_t h = 0, m = 0, s = 0;
  if (!read_digits(&p, 2, &h) || *p++ != ':' || !read_digits(&p, 2, &m)) return false;
  if (*p == ':') {
    p++;
    if (!read_digits(&p, 2, &s)) return false;
    *parts |= XLSX_DATE_HAS_SECONDS;
  }
  if (*p || h > 23 || m > 59 || s > 59) return false;
  *seconds = h * 3600 + m * 60 + s;
  *parts |= XLSX_DATE_HAS_TIME;
  return true;
}

// The serial day of y-m-d in the system; false before its first day.
bool serial_day(int64_t y, int64_t m, int64_t d, bool date1904, int64_t* day) {
  if (date1904) {
    *day = days_from_civil(y, m, d) - days_from_civil(1904, 1, 1);
    return *day >= 0;
  }
  if (y == 1900 && m == 2 && d == 29) {
    *day = 60;
    return true;
  }
  *day = days_from_civil(y, m, d) - days_from_civil(1899, 12, 31);
  if (*day >= 60) ++*day;
  return *day >= 1;
}

// The day of a serial day in the system, 1900-02-29 included.
void day_of_serial(int64_t day, bool date1904, int64_t* y, int64_t* m, int64_t* d) {
  if (date1904) return civil_from_days(day + days_from_civil(1904, 1, 1), y, m, d);
  if (day == 60) {
    *y = 1900, *m = 2, *d = 29;
    return;
  }
  civil_from_days(day - (day > 60 ? 1 : 0) + days_from_civil(1899, 12, 31), y, m, d);
}

}  // namespace

bool xlsx_date_text_to_serial(const char* text, bool date1904, double* serial, uint32_t* parts) {
  if (!text) return false;
  uint32_t found = 0;
  int64_t day = 0, seconds = 0;
  const char* p = text;
  if (p[0] && p[1] && p[2] == ':') {
    if (!read_time(p, &seconds, &found)) return false;
  } else {
    int64_t y = 0, m = 0, d = 0;
    if (!read_digits(&p, 4, &y) || *p++ != '-' || !read_digits(&p, 2, &m) || *p++ != '-' || !read_digits(&p, 2, &d))
      return false;
    bool quirk = !date1904 && y == 1900 && m == 2 && d == 29;
    if (m < 1 || m > 12 || d < 1 || (d > days_in_month(y, m) && !quirk)) return false;
    if (!serial_day(y, m, d, date1904, &day)) return false;
    found |= XLSX_DATE_HAS_DATE;
    if (*p == ' ' || *p == 'T') {
      if (!read_time(p + 1, &seconds, &found)) return false;
    } else if (*p) {
      return false;
    }
  }
  *serial = static_cast<double>(day) + static_cast<double>(seconds) / kSecondsPerDay;
  if (parts) *parts = found;
  return true;
}

bool xlsx_serial_to_date_text(double serial, bool date1904, char* buffer) {
  buffer[0] = '\0';
  // 9999-12-31 is day 2958465 in the 1900 system and 1462 days fewer in the 1904 system.
  double limit = date1904 ? 2957004.0 : 2958466.0;
  if (!std::isfinite(serial) || serial < 0 || serial >= limit) return false;
  int64_t total = std::llround(serial * kSecondsPerDay);
  int64_t day = total / kSecondsPerDay, seconds = total % kSecondsPerDay;
  if (day >= static_cast<int64_t>(limit)) return false;
  int64_t h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
  bool whole = serial == std::floor(serial);
  if (day == 0 && !whole) {
    xlsx_snprintf(buffer, XLSX_DATE_TEXT_SIZE, "%02d:%02d:%02d", int(h), int(m), int(s));
    return true;
  }
  int64_t y = 0, mo = 0, d = 0;
  day_of_serial(day, date1904, &y, &mo, &d);
  if (whole) {
    xlsx_snprintf(buffer, XLSX_DATE_TEXT_SIZE, "%04d-%02d-%02d", int(y), int(mo), int(d));
  } else {
    xlsx_snprintf(buffer, XLSX_DATE_TEXT_SIZE, "%04d-%02d-%02d %02d:%02d:%02d", int(y), int(mo), int(d), int(h),
                  int(m), int(s));
  }
  return true;
}
