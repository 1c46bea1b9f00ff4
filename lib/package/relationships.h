// Relationship parts (_rels/.rels, xl/_rels/workbook.xml.rels): find, read, add with the next free id,
// remove. Relationship parts of other parts stay untouched in the archive.
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/base/strbuf.h"
#include "lib/xml/tree.h"

struct XlsxPart;

// Relationship type codes (XLSX_REL_DIALOGSHEET and XLSX_REL_MACROSHEET have no URI; XLSX_REL_NONE means
// none).
enum : uint32_t {
  XLSX_REL_CORE_PROPERTIES = 0,
  XLSX_REL_EXTENDED_PROPERTIES = 1,
  XLSX_REL_CUSTOM_PROPERTIES = 2,
  XLSX_REL_OFFICE_DOCUMENT = 3,
  XLSX_REL_WORKSHEET = 4,
  XLSX_REL_CHARTSHEET = 5,
  XLSX_REL_DIALOGSHEET = 6,
  XLSX_REL_MACROSHEET = 7,
  XLSX_REL_CALC_CHAIN = 8,
  XLSX_REL_EXTERNAL_LINK = 9,
  XLSX_REL_EXTERNAL_LINK_PATH = 10,
  XLSX_REL_THEME = 11,
  XLSX_REL_STYLES = 12,
  XLSX_REL_CHART = 13,
  XLSX_REL_CHART_STYLE = 14,
  XLSX_REL_CHART_COLORS = 15,
  XLSX_REL_IMAGE = 16,
  XLSX_REL_DRAWING = 17,
  XLSX_REL_VML_DRAWING = 18,
  XLSX_REL_SHARED_STRINGS = 19,
  XLSX_REL_PRINTER_SETTINGS = 20,
  XLSX_REL_VBA_PROJECT = 21,
  XLSX_REL_CONTROL_PROPERTIES = 22,
  XLSX_REL_NONE = 23,
};

// Type URI of hyperlink relationships (a type without code: such relationships are found by their Id).
extern const char XLSX_REL_HYPERLINK_URI[];
// Text of a relationships part with no relationship, for a part that gets its first one.
extern const char XLSX_EMPTY_RELATIONSHIPS[];

// Handle on one .rels part of the document; does not own it.
struct XlsxRelationships {
  XlsxPart* part;  // may be null
};

// Handle on one Relationship element; node may be null.
struct XlsxRelItem {
  XmlNode* node;
};

// Type URI of a code (static storage); null for the codes without one, XLSX_REL_NONE and above.
const char* xlsx_rel_type_uri(uint32_t code);
// Code whose URI equals uri exactly; XLSX_REL_NONE for null or an unknown URI.
uint32_t xlsx_rel_type_code(const char* uri);
// The Relationships element (loading the part), or null.
XmlNode* xlsx_rels_root(const XlsxRelationships* rels);
// Builds the index through which Id and Target lookups go (they build it on first use themselves, and
// scan when memory runs out). XLSX_OK also for a part without root; XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_rels_prepare(const XlsxRelationships* rels);
// First element child whose Id equals id; a null item when none (or null arguments).
XlsxRelItem xlsx_rels_find_by_id(const XlsxRelationships* rels, const char* id);
// First element child whose Target equals target; a null item when none.
XlsxRelItem xlsx_rels_find_by_target(const XlsxRelationships* rels, const char* target);
// First element child whose Type is the code's URI; a null item when none.
XlsxRelItem xlsx_rels_find_by_type(const XlsxRelationships* rels, uint32_t code);
// The Id; "" for a null item or missing attribute. Borrowed from the tree: valid until the item changes.
const char* xlsx_rel_item_id(XlsxRelItem item);
// The Target; "" for a null item or missing attribute. Borrowed from the tree: valid until the item changes.
const char* xlsx_rel_item_target(XlsxRelItem item);
// Code of the item's Type; XLSX_REL_NONE for a null item.
uint32_t xlsx_rel_item_type(XlsxRelItem item);
// Appends Relationship (Id = next free "rId<n>", Type, Target, and TargetMode "External" for
// XLSX_REL_EXTERNAL_LINK_PATH).
// A null item when the code has no URI, the part has no root or memory runs out (nothing added then).
XlsxRelItem xlsx_rels_add(const XlsxRelationships* rels, uint32_t code, const char* target);
// Appends Relationship (Id = next free "rId<n>", Type uri, Target, TargetMode "External"): a link to
// something outside the package, such as a hyperlink. A null item for a null uri, a part without root
// or when memory runs out (nothing added then).
XlsxRelItem xlsx_rels_add_external(const XlsxRelationships* rels, const char* uri, const char* target);
// Removes the first element child whose Id equals id: 1 when removed, else 0.
int xlsx_rels_remove_by_id(const XlsxRelationships* rels, const char* id);

// Sets out to the entry name of the part that target names, for a relationship held for the part at
// source ("" for the package itself): a target starting with "/" from the package root, any other from
// source's folder, "." and ".." segments resolved ("worksheets/sheet1.xml" from "book/main.xml" gives
// "book/worksheets/sheet1.xml"). XLSX_ERR_NOT_FOUND, out then unspecified, for a target that names no
// part: empty, an empty segment (also "a//b", "x:/" of a URI, a trailing "/"), ending in "." or "..",
// or leading out of the package; XLSX_ERR_NO_MEMORY; XLSX_ERR_INVALID_ARG for null arguments.
xlsx_status xlsx_rels_resolve_target(const char* source, const char* target, StrBuf* out);
// Sets out to the path of the relationships part of the part at path: "xl/_rels/workbook.xml.rels" for
// "xl/workbook.xml". XLSX_ERR_NO_MEMORY (out unspecified); XLSX_ERR_INVALID_ARG for null arguments.
xlsx_status xlsx_rels_part_path(const char* path, StrBuf* out);
