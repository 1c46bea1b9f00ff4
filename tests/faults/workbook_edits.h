// The edits that the fault-injection tests make to a workbook, and the check that a saved file holds every
// edit that reported success.
#pragma once

#include <cstdint>
#include <string>

#include "lib/base/status.h"

struct XlsxDocument;

namespace xlsx_test {

// Which edits reported success; the first status that was not XLSX_OK (XLSX_OK when none).
struct EditLog {
  bool text = false;     // "Data"!A1 = "changed text"
  bool number = false;   // "Data"!B2 = 4711
  bool formula = false;  // "Data"!C3 = formula "B2*2"
  bool far = false;      // "Data"!XFD1048576 = 1.5
  bool sheet = false;    // sheet "Extra" added
  bool renamed = false;  // sheet 2 renamed "Renamed"
  // The name of sheet 2 could not be looked up. The sheet-list getters have no status: while memory is
  // exhausted they answer as for a sheet that does not exist, so the rename is not attempted then.
  bool lookup_failed = false;
  xlsx_status first_failure = XLSX_OK;
};

// Applies the edits to the open document's first sheet and sheet list, logging each outcome.
EditLog apply_edits(XlsxDocument* document);
// "" when the document holds every edit that log says succeeded, else what is missing.
std::string missing_edits(XlsxDocument* document, const EditLog& log);

}  // namespace xlsx_test
