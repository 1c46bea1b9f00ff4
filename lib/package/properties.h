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
// Stores value (null = "") as the text of the property's element, creating the element when missing.
// XLSX_ERR_INVALID_ARG for a null package, unknown number or invalid value; XLSX_ERR_NOT_FOUND when the
// package has no such part (or one that did not parse); XLSX_ERR_NO_MEMORY. Keeps to the failure rule
// (lib/base/status.h).
xlsx_status xlsx_package_set_property(XlsxPackage* package, uint32_t number, const char* value);
// The property's text, or "" (null package, unknown number, missing part or element). Never null; does
// not change the XML. Borrowed from the tree: valid until the element changes.
const char* xlsx_package_get_property(XlsxPackage* package, uint32_t number);
// Sets the property to the empty text (the element stays).
xlsx_status xlsx_package_delete_property(XlsxPackage* package, uint32_t number);

// Sheet titles of the extended properties (TitlesOfParts vector and its size). Each returns XLSX_OK
// without effect for a null part or name, a part without TitlesOfParts, or no match; XLSX_ERR_NO_MEMORY
// leaves the XML unchanged.
xlsx_status xlsx_app_add_title(XlsxPart* app_properties, const char* name);
xlsx_status xlsx_app_remove_title(XlsxPart* app_properties, const char* name);
xlsx_status xlsx_app_rename_title(XlsxPart* app_properties, const char* old_name, const char* new_name);
