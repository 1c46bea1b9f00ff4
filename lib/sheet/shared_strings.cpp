// The shared strings table: the array of texts read from xl/sharedStrings.xml, a hash index over it for
// lookups by text, and appends that keep the XML and the array in step.
#include "lib/sheet/shared_strings.h"

#include <cstring>

#include "lib/base/alloc.h"
#include "lib/base/strbuf.h"
#include "lib/base/strmap.h"
#include "lib/package/document.h"
#include "lib/package/part.h"
#include "lib/xml/tree.h"

namespace {

XmlNode* next_element(XmlNode* node) {
  while (node && xml_node_type(node) != XML_NODE_ELEMENT) node = xml_node_next_sibling(node);
  return node;
}

XmlNode* first_element_child(const XmlNode* node) { return next_element(xml_node_first_child(node)); }

const char* text_at(const DynArray* strings, uint32_t index) {
  char** slot = static_cast<char**>(dynarray_get(strings, index));
  return slot && *slot ? *slot : "";
}

// The text of one si: its t, or the runs' t texts joined. Phonetic guides (rPh) and their properties
// are reading aids shown above the text, not part of it, and are left out.
char* item_text(const XmlNode* item) {
  XmlNode* first = first_element_child(item);
  if (!first || strcmp(xml_node_name(first), "r") != 0) return xlsx_strdup(xml_node_text(first));
  StrBuf sb;
  strbuf_init(&sb);
  for (XmlNode* run = first; run; run = next_element(xml_node_next_sibling(run))) {
    if (strcmp(xml_node_name(run), "r") != 0) continue;
    if (strbuf_append(&sb, xml_node_text(xml_node_child(run, "t"))) != XLSX_OK) {
      strbuf_free(&sb);
      return nullptr;
    }
  }
  return strbuf_detach(&sb, nullptr);
}

uint32_t hash_text(const char* text) { return xlsx_hash_bytes(text, uint32_t(strlen(text))); }

// Slot of text in the index: the slot holding it, or the empty slot where it would go.
uint32_t probe(const XlsxSharedStrings* table, const char* text) {
  uint32_t mask = table->slot_count - 1;
  uint32_t i = hash_text(text) & mask;
  while (table->slots[i] != 0 && strcmp(text_at(table->strings, table->slots[i] - 1), text) != 0) {
    i = (i + 1) & mask;
  }
  return i;
}

xlsx_status grow_index(XlsxSharedStrings* table) {
  uint32_t count = table->slot_count ? table->slot_count * 2 : 1024;
  if (count == 0 || count > (UINT32_MAX / sizeof(uint32_t))) return XLSX_ERR_NO_MEMORY;
  uint32_t* slots = static_cast<uint32_t*>(xlsx_calloc(count, sizeof(uint32_t)));
  if (!slots) return XLSX_ERR_NO_MEMORY;
  uint32_t* old = table->slots;
  uint32_t old_count = table->slot_count;
  table->slots = slots;
  table->slot_count = count;
  for (uint32_t i = 0; i < old_count; i++) {
    if (old[i] != 0) table->slots[probe(table, text_at(table->strings, old[i] - 1))] = old[i];
  }
  xlsx_free(old);
  return XLSX_OK;
}

// Indexes the texts not yet indexed; on memory failure the rest stays unindexed (found by scanning).
void update_index(XlsxSharedStrings* table) {
  if (table->indexed > table->strings->count) {  // the array was emptied behind the index's back
    xlsx_free(table->slots);
    table->slots = nullptr;
    table->slot_count = 0;
    table->indexed = 0;
    table->distinct = 0;
  }
  while (table->indexed < table->strings->count) {
    if (uint64_t(table->distinct + 1) * 4 > uint64_t(table->slot_count) * 3 && grow_index(table) != XLSX_OK) return;
    uint32_t slot = probe(table, text_at(table->strings, table->indexed));
    if (table->slots[slot] == 0) {  // only the first position of a text is kept: find gives the smallest
      table->slots[slot] = table->indexed + 1;
      table->distinct++;
    }
    table->indexed++;
  }
}

// Sets the root's count attribute name (when present) to value; false when memory runs out.
bool set_count(XmlNode* root, const char* name, const char* value) {
  XmlAttr* attr = xml_node_attribute(root, name);
  return !attr || xml_attribute_set_value(attr, value);
}

XmlNode* append_item(XmlNode* root, const char* text) {
  XmlNode* item = xml_node_append_child(root, "si");
  XmlNode* t = xml_node_append_child(item, "t");
  size_t length = strlen(text);
  bool edge_space = length > 0 && (text[0] == ' ' || text[length - 1] == ' ');
  bool ok = t && (!edge_space || xml_node_set_attribute(t, "xml:space", "preserve")) &&
            (length == 0 || xml_node_set_text(t, text));
  if (!ok && item) {
    xml_node_remove_child(root, item);
    item = nullptr;
  }
  return item;
}

// Updates uniqueCount and count to value; on failure restores what it changed and removes item.
bool update_counts(XmlNode* root, XmlNode* item, const char* value) {
  char old[24] = "";
  const char* current = xml_attribute_value(xml_node_attribute(root, "uniqueCount"));
  bool restorable = strlen(current) < sizeof(old);
  if (restorable) strcpy(old, current);
  if (!set_count(root, "uniqueCount", value)) {
    xml_node_remove_child(root, item);
    return false;
  }
  if (!set_count(root, "count", value)) {
    if (restorable) set_count(root, "uniqueCount", old);
    xml_node_remove_child(root, item);
    return false;
  }
  return true;
}

}  // namespace

void xlsx_sst_init(XlsxSharedStrings* table, XlsxPart* part, DynArray* strings) {
  if (!table) return;
  *table = XlsxSharedStrings{};
  table->part = part;
  table->strings = strings;
}

void xlsx_sst_release(XlsxSharedStrings* table) {
  if (!table) return;
  xlsx_free(table->slots);
  *table = XlsxSharedStrings{};
}

xlsx_status xlsx_sst_ensure_loaded(XlsxSharedStrings* table) {
  if (!table) return XLSX_ERR_INVALID_ARG;
  if (table->loaded || !table->part || !table->strings) return XLSX_OK;
  xlsx_part_load(table->part);
  if (!table->part->loaded) return XLSX_ERR_NO_MEMORY;  // left unparsed for lack of memory
  DynArray* strings = table->strings;
  uint32_t before = strings->count;
  for (XmlNode* item = first_element_child(xlsx_part_root(table->part)); item;
       item = next_element(xml_node_next_sibling(item))) {
    char* text = item_text(item);
    if (!text || !dynarray_push(strings, &text)) {
      xlsx_free(text);
      while (strings->count > before) {
        xlsx_free(*static_cast<char**>(dynarray_get(strings, strings->count - 1)));
        dynarray_pop(strings);
      }
      return XLSX_ERR_NO_MEMORY;
    }
  }
  table->loaded = 1;
  return XLSX_OK;
}

xlsx_status xlsx_sst_load(XlsxDocument* document) {
  if (!document) return XLSX_ERR_INVALID_ARG;
  return xlsx_sst_ensure_loaded(xlsx_document_shared_strings(document));
}

const char* xlsx_sst_get(XlsxSharedStrings* table, uint32_t index) {
  if (!table || !table->strings || xlsx_sst_ensure_loaded(table) != XLSX_OK) return "";
  return text_at(table->strings, index);
}

uint32_t xlsx_sst_count(XlsxSharedStrings* table) {
  if (!table || !table->strings || xlsx_sst_ensure_loaded(table) != XLSX_OK) return 0;
  return table->strings->count;
}

int32_t xlsx_sst_find(XlsxSharedStrings* table, const char* text) {
  if (!table || !table->strings || !text || xlsx_sst_ensure_loaded(table) != XLSX_OK) return -1;
  update_index(table);
  if (table->slot_count > 0) {
    uint32_t slot = table->slots[probe(table, text)];
    if (slot != 0) return int32_t(slot - 1);
  }
  for (uint32_t i = table->indexed; i < table->strings->count; i++) {
    if (strcmp(text_at(table->strings, i), text) == 0) return int32_t(i);
  }
  return -1;
}

bool xlsx_sst_contains(XlsxSharedStrings* table, const char* text) { return xlsx_sst_find(table, text) >= 0; }

int32_t xlsx_sst_append(XlsxSharedStrings* table, const char* text) {
  if (!table || !table->part || !table->strings || xlsx_sst_ensure_loaded(table) != XLSX_OK) return -1;
  if (!text) text = "";
  XmlNode* root = xlsx_part_root(table->part);
  DynArray* strings = table->strings;
  if (!root || strings->count >= uint32_t(INT32_MAX)) return -1;
  char* copy = xlsx_strdup(text);
  if (!copy || dynarray_reserve(strings, strings->count + 1) != XLSX_OK) {
    xlsx_free(copy);
    return -1;
  }
  char count[24];
  xlsx_snprintf(count, sizeof(count), "%u", unsigned(strings->count + 1));
  XmlNode* item = append_item(root, text);
  if (!item || !update_counts(root, item, count)) {
    xlsx_free(copy);
    return -1;
  }
  dynarray_push(strings, &copy);  // cannot fail: the slot was reserved
  return int32_t(strings->count - 1);
}

int32_t xlsx_sst_find_or_append(XlsxSharedStrings* table, const char* text) {
  int32_t index = xlsx_sst_find(table, text ? text : "");
  return index >= 0 ? index : xlsx_sst_append(table, text);
}
