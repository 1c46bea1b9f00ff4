#include "lib/sheet/dimension.h"

#include <cstdint>

#include "lib/base/convert.h"
#include "lib/package/part.h"
#include "lib/sheet/cellref.h"
#include "lib/sheet/sheet_index.h"
#include "lib/xml/tree.h"

namespace {

struct Extent {
  uint32_t first_row = 0, last_row = 0, first_column = 0, last_column = 0;
};

void widen(Extent& extent, uint32_t row, uint32_t column) {
  if (row == 0 || column == 0) return;
  if (extent.first_row == 0 || row < extent.first_row) extent.first_row = row;
  if (row > extent.last_row) extent.last_row = row;
  if (extent.first_column == 0 || column < extent.first_column) extent.first_column = column;
  if (column > extent.last_column) extent.last_column = column;
}

// Cells are in ascending column order within a row, so the first and last cell of each row are enough.
Extent cell_extent(const XmlNode* sheet_data) {
  Extent extent;
  for (XmlNode* row = xml_node_first_element(sheet_data); row; row = xml_node_next_element(row)) {
    XmlNode* first = xml_node_first_element(row);
    if (!first) continue;
    uint32_t number = sheet_row_number(row);
    widen(extent, number, sheet_cell_column(first));
    widen(extent, number, sheet_cell_column(xml_node_last_element(row)));
  }
  return extent;
}

}  // namespace

xlsx_status xlsx_sheet_update_dimension(XlsxPart* part) {
  XmlNode* root = xlsx_part_root(part);
  XmlNode* dimension = xml_node_child(root, "dimension");
  if (!dimension) return XLSX_OK;
  Extent extent = cell_extent(xml_node_child(root, "sheetData"));
  char ref[2 * XLSX_CELLREF_TEXT_SIZE] = "A1";
  if (extent.first_row != 0) {
    uint32_t n = xlsx_cellref_format(extent.first_row, extent.first_column, ref);
    if (extent.first_row != extent.last_row || extent.first_column != extent.last_column) {
      ref[n++] = ':';
      xlsx_cellref_format(extent.last_row, extent.last_column, ref + n);
    }
  }
  XmlAttr* attr = xml_node_attribute(dimension, "ref");
  if (attr && xlsx_str_equal(xml_attribute_value(attr), ref)) return XLSX_OK;
  return xml_node_set_attribute(dimension, "ref", ref) ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}
