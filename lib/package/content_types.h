// [Content_Types].xml: the Override list that names every part and its MIME type. Default elements
// (mappings by extension) are never read or changed.
#pragma once

#include <cstdint>

#include "lib/base/dynarray.h"
#include "lib/base/status.h"
#include "lib/xml/tree.h"

struct XlsxPart;

// Content type codes (the code numbers are stable; XLSX_CT_NONE means none).
enum : uint32_t {
  XLSX_CT_WORKBOOK = 0,
  XLSX_CT_WORKBOOK_MACRO = 1,
  XLSX_CT_WORKSHEET = 2,
  XLSX_CT_CHARTSHEET = 3,
  XLSX_CT_EXTERNAL_LINK = 4,
  XLSX_CT_THEME = 5,
  XLSX_CT_STYLES = 6,
  XLSX_CT_SHARED_STRINGS = 7,
  XLSX_CT_DRAWING = 8,
  XLSX_CT_CHART = 9,
  XLSX_CT_CHART_STYLE = 10,
  XLSX_CT_CHART_COLORS = 11,
  XLSX_CT_CONTROL_PROPERTIES = 12,
  XLSX_CT_CALC_CHAIN = 13,
  XLSX_CT_VBA_PROJECT = 14,
  XLSX_CT_CORE_PROPERTIES = 15,
  XLSX_CT_EXTENDED_PROPERTIES = 16,
  XLSX_CT_CUSTOM_PROPERTIES = 17,
  XLSX_CT_COMMENTS = 18,
  XLSX_CT_TABLE = 19,
  XLSX_CT_VML_DRAWING = 20,
  XLSX_CT_NONE = 21,
};

// Handle on the document's [Content_Types].xml part; does not own it.
struct XlsxContentTypes {
  XlsxPart* part;  // may be null
};

// Handle on one Override element; node may be null.
struct XlsxContentItem {
  XmlNode* node;
};

// MIME text of a code (static storage); null for XLSX_CT_NONE and above.
const char* xlsx_content_type_text(uint32_t code);
// Code whose MIME text equals text exactly; XLSX_CT_NONE for null or an unknown text.
uint32_t xlsx_content_type_code(const char* text);
// The Types element (loading the part), or null for a null handle, missing part or empty part.
XmlNode* xlsx_content_types_root(const XlsxContentTypes* types);
// Appends one XlsxContentItem per element child named Override, in document order, to list (element
// size sizeof(XlsxContentItem); the caller creates and frees it). Items borrow nodes of the tree: valid
// until they are removed. XLSX_ERR_NO_MEMORY leaves the list as it was; XLSX_ERR_INVALID_ARG for null list.
xlsx_status xlsx_content_types_list(const XlsxContentTypes* types, DynArray* list);
// First Override whose PartName equals part_name, or a null item.
XlsxContentItem xlsx_content_types_find(const XlsxContentTypes* types, const char* part_name);
// Appends an Override (PartName, ContentType) as the last child of Types. Does nothing (XLSX_OK) for a
// null handle, a part without root or a code without text; XLSX_ERR_NO_MEMORY leaves the XML unchanged.
// Does not check for an existing Override of the same name.
xlsx_status xlsx_content_types_add(const XlsxContentTypes* types, const char* part_name, uint32_t code);
// Removes the first element child whose PartName equals part_name: 1 when removed, else 0.
int xlsx_content_types_remove(const XlsxContentTypes* types, const char* part_name);
// PartName of the item; "" for a null item or missing attribute. Borrowed from the tree.
const char* xlsx_content_item_part_name(XlsxContentItem item);
// Code of the item's ContentType; XLSX_CT_NONE for a null item.
uint32_t xlsx_content_item_type(XlsxContentItem item);
