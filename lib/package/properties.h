// The 20 document properties (docProps/core.xml and docProps/app.xml) as plain texts, and the list of
// sheet titles in the extended properties.
#pragma once

#include <cstdint>

#include "lib/base/status.h"

struct XlsxPackage;
struct XlsxPart;

// Property numbers (the plugin's XLSX_PROPERTY_ constants have the same values).
enum : uint32_t {
  XLSX_PROP_TITLE = 0,
  XLSX_PROP_SUBJECT = 1,
  XLSX_PROP_CREATOR = 2,
  XLSX_PROP_KEYWORDS = 3,
  XLSX_PROP_DESCRIPTION = 4,
  XLSX_PROP_LAST_MODIFIED_BY = 5,
  XLSX_PROP_LAST_PRINTED = 6,
  XLSX_PROP_CREATED = 7,
  XLSX_PROP_MODIFIED = 8,
  XLSX_PROP_CATEGORY = 9,
  XLSX_PROP_APPLICATION = 10,
  XLSX_PROP_DOC_SECURITY = 11,
  XLSX_PROP_SCALE_CROP = 12,
  XLSX_PROP_MANAGER = 13,
  XLSX_PROP_COMPANY = 14,
  XLSX_PROP_LINKS_UP_TO_DATE = 15,
  XLSX_PROP_SHARED_DOC = 16,
  XLSX_PROP_HYPERLINK_BASE = 17,
  XLSX_PROP_HYPERLINKS_CHANGED = 18,
  XLSX_PROP_APP_VERSION = 19,
  XLSX_PROP_COUNT = 20,
};

// Element name of a property ("dc:title", ...); null for numbers outside the table. Static storage.
const char* xlsx_property_element(uint32_t number);
// Whether the value is acceptable for the property (null and "" always are); false for unknown numbers.
bool xlsx_property_value_valid(uint32_t number, const char* value);
// Stores value (null = "") as the text of the property's element, creating the element when missing, and
// the part (with its content type and package relationship) when the package has none. Characters XML
// cannot carry are stored escaped (lib/xml/escape.h). XLSX_ERR_INVALID_ARG for a null package, unknown
// number or invalid value (dates: YYYY-MM-DD[Thh:mm[:ss[.s]](Z|+hh:mm|-hh:mm)]); XLSX_ERR_NOT_FOUND when
// the part did not parse or the package lacks the records to add it to; XLSX_ERR_NO_MEMORY. Keeps to the
// failure rule (lib/base/status.h).
xlsx_status xlsx_package_set_property(XlsxPackage* package, uint32_t number, const char* value);
// The property's text as stored (escapes not decoded), or "" (null package, unknown number, missing part
// or element). Never null; does not change the XML. Borrowed from the tree: valid until the element
// changes.
const char* xlsx_package_get_property(XlsxPackage* package, uint32_t number);
// The property's text as it reads: every text node of the element joined, escapes decoded. A new text
// (the caller frees it with xlsx_free), "" for what xlsx_package_get_property gives "" for; null when
// memory runs out.
char* xlsx_package_property_text(XlsxPackage* package, uint32_t number);
// Sets the property to the empty text (the element stays).
xlsx_status xlsx_package_delete_property(XlsxPackage* package, uint32_t number);
// Sets the modification date, and with created the creation date too, to now (seconds since 1970-01-01
// UTC) in the form the properties use; nothing for a package without core properties. XLSX_ERR_INVALID_ARG
// for null; XLSX_ERR_NO_MEMORY (nothing changed).
xlsx_status xlsx_package_stamp_dates(XlsxPackage* package, int64_t now, bool created);

// Sheet titles of the extended properties (TitlesOfParts vector and its size). Each returns XLSX_OK
// without effect for a null part or name, a part without TitlesOfParts, or no match; XLSX_ERR_NO_MEMORY
// leaves the XML unchanged.
xlsx_status xlsx_app_add_title(XlsxPart* app_properties, const char* name);
xlsx_status xlsx_app_remove_title(XlsxPart* app_properties, const char* name);
xlsx_status xlsx_app_rename_title(XlsxPart* app_properties, const char* old_name, const char* new_name);
// Makes the sheet titles and the counts of their headings ("Worksheets", "Charts") in the extended
// properties agree with the sheet lists given (in workbook order); the titles of other headings (named
// ranges) stay. Nothing for a null part, one without TitlesOfParts, or HeadingPairs the library does not
// read. XLSX_ERR_NO_MEMORY (call inside a journaled edit of the part: the tree is then partly changed).
xlsx_status xlsx_app_sync_titles(XlsxPart* app_properties, const char* const* worksheets, uint32_t worksheet_count,
                                 const char* const* charts, uint32_t chart_count);
