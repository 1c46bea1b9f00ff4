// The mutable XML tree: documents, null-tolerant accessors, editing, moving, removing and copying.
#include "lib/xml/tree.h"

#include <charconv>
#include <cstring>

#include "lib/base/alloc.h"
#include "lib/base/convert.h"
#include "lib/xml/journal.h"
#include "lib/xml/node_pool.h"
#include "lib/xml/text_arena.h"

namespace {

bool names_equal(const char* a, const char* b) {
  return a && b && strcmp(a, b) == 0;
}

// Whether texts of owner must outlive a reload: the document node keeps its own name, value and
// attributes across loads, which free the arena, so their texts are heap blocks.
bool outlives_loads(const XmlNode* owner) {
  return owner == &owner->document->node;
}

// A heap text for the document node's own fields; null when memory runs out.
char* durable_text(XmlDoc* doc, const char* text) {
  if (!text || !*text) return xml_text_empty();
  char* copy = xml_heap_text(text);
  if (copy) doc->heap_texts = true;
  return copy;
}

// A value text for storing in a field of owner: "" and null share the static empty text, short texts
// take a size-class slot from the document's arena (no allocation of their own), long ones a heap block.
char* make_text(const XmlNode* owner, const char* text) {
  XmlDoc* doc = owner->document;
  return outlives_loads(owner) ? durable_text(doc, text) : xml_doc_text(doc, text);
}

// A name for a node or attribute of owner: the document's interned copy, so creating an element or an
// attribute allocates nothing for its name.
char* make_name(const XmlNode* owner, const char* name) {
  XmlDoc* doc = owner->document;
  return outlives_loads(owner) ? durable_text(doc, name) : xml_doc_intern(doc, name);
}

// Replaces *field (a text of owner) with copy; copy null means memory ran out: false, field unchanged.
bool replace_text(const XmlNode* owner, char** field, char* copy) {
  if (!copy) return false;
  XmlDoc* doc = owner->document;
  if (!xml_journal_room(doc, 1)) {
    xml_doc_release(doc, copy);
    return false;
  }
  if (!xml_journal_replaced(doc, field, *field)) xml_doc_release(doc, *field);
  *field = copy;
  xml_doc_changed(doc);
  return true;
}

// Copy of a text of the same document for another node or attribute: arena and static texts are
// shared (they live as long as the document's content), slot and heap texts are duplicated.
bool share_text(XmlDoc* doc, char* text, char** out) {
  if (xml_text_is_borrowed(text)) {
    *out = text;
    return true;
  }
  *out = xml_doc_text(doc, text);
  return *out != nullptr;
}

// Gives back a node slot that a failed operation took; a page grown for it goes again, so the failed
// operation leaves no block behind.
void undo_take_node(XmlNode* node, bool fresh_page) {
  XmlDoc* doc = node->document;
  xml_pool_give_node(node);
  if (fresh_page) xml_pool_drop_node_page(doc);
}

// A detached element named name (null gives ""), or a bare node of another kind; null when memory runs out.
// The slot is taken before the name is interned: the slot can be given back, an interned name stays.
XmlNode* new_node(XmlDoc* doc, XmlNodeType type, const char* name) {
  bool fresh_page = !doc->free_nodes;
  XmlNode* node = xml_pool_take_node(doc, type);
  if (!node || type != XML_NODE_ELEMENT) return node;
  node->name = xml_doc_intern(doc, name);
  if (node->name) return node;
  undo_take_node(node, fresh_page);
  return nullptr;
}

// Unlinks moved from where it stands, journaling the place.
void detach_for_move(XmlNode* moved) {
  xml_journal_moved(moved->document, moved, moved->parent, moved->next_sibling);
  xml_unlink(moved);
}

// Journaled creation of a node linked by the caller: room first, so that nothing is made in vain.
bool room_for_change(XmlDoc* doc) { return xml_journal_room(doc, 1); }

bool is_child_of(const XmlNode* node, const XmlNode* ref) {
  return ref && ref->parent == node;
}

// Whether moved may become a child of node: same document, not the document node, and not node itself or
// one of its ancestors (which would cut the subtree off into a cycle).
bool can_move(const XmlNode* node, const XmlNode* moved) {
  if (!node || !moved || node->document != moved->document) return false;
  if (moved->type == XML_NODE_DOCUMENT) return false;
  for (const XmlNode* up = node; up; up = up->parent) {
    if (up == moved) return false;
  }
  return true;
}

// A detached copy of node with its texts and attributes but no children; null when memory runs out.
XmlNode* copy_one(XmlDoc* doc, const XmlNode* source) {
  XmlNode* copy = xml_pool_take_node(doc, source->type);
  if (!copy) return nullptr;
  if (!share_text(doc, source->name, &copy->name) || !share_text(doc, source->value, &copy->value)) {
    xml_pool_give_node(copy);
    return nullptr;
  }
  for (const XmlAttr* attr = source->first_attribute; attr; attr = attr->next) {
    XmlAttr* target = xml_pool_take_attribute(doc);
    if (!target) {
      xml_pool_give_node(copy);
      return nullptr;
    }
    xml_link_append_attribute(copy, target);
    char* value = attr->value ? attr->value : xml_text_empty();
    if (!share_text(doc, attr->name, &target->name) || !share_text(doc, value, &target->value)) {
      xml_pool_give_node(copy);
      return nullptr;
    }
  }
  return copy;
}

// "%.17g" / "%.9g" of value into buffer (64 bytes). Finite values go through to_chars, which is defined
// to give the same bytes as printf with that precision, without parsing a format or consulting the
// locale; infinities and NaN keep printf's spelling.
bool format_number(char* buffer, int precision, double value) {
  if (value - value == 0.0) {
    *std::to_chars(buffer, buffer + 63, value, std::chars_format::general, precision).ptr = 0;
    return true;
  }
  return xlsx_snprintf(buffer, 64, "%.*g", precision, value) >= 0;
}

// The text of a number as the setters write it: "%.9g" for single, "%.17g" for double precision, decimal
// digits for integers; ok is false on a format error.
struct NumberText {
  char text[64];
  bool ok;
  explicit NumberText(float value) : ok(format_number(text, 9, value)) {}
  explicit NumberText(double value) : ok(format_number(text, 17, value)) {}
  explicit NumberText(uint64_t value) : ok(xlsx_u64_to_text(value, text) > 0) {}
  explicit NumberText(int64_t value) : ok(xlsx_i64_to_text(value, text) > 0) {}
};

// Sets the text of a number on target (an attribute or an element) through set; false for a null target.
template <typename Target, typename Number, typename Set>
bool set_number(Target* target, Number value, Set set) {
  NumberText number(value);
  return target && number.ok && set(target, number.text);
}

// Moves moved under node before next (one of node's children; null: last); moved itself when it is next
// (it stands there already); null when it may not go there or memory runs out.
XmlNode* move_to(XmlNode* node, XmlNode* moved, XmlNode* next) {
  if (!can_move(node, moved) || !room_for_change(node->document)) return nullptr;
  if (moved == next) return moved;
  detach_for_move(moved);
  xml_link_child(node, moved, next);
  xml_doc_changed(node->document);
  return moved;
}

// A new element named name linked under node before next (one of its children), or last when next is null;
// null for a null node or when memory runs out (nothing changed).
XmlNode* new_child(XmlNode* node, const char* name, XmlNode* next) {
  if (!node || !room_for_change(node->document)) return nullptr;
  XmlNode* child = new_node(node->document, XML_NODE_ELEMENT, name);
  if (!child) return nullptr;
  xml_link_child(node, child, next);
  xml_journal_created(node->document, child);
  xml_doc_changed(node->document);
  return child;
}

}  // namespace

// --- documents

XmlDoc* xml_document_create() {
  auto* doc = static_cast<XmlDoc*>(xlsx_calloc(1, sizeof(XmlDoc)));
  if (!doc) return nullptr;
  doc->node.type = XML_NODE_DOCUMENT;
  doc->node.document = doc;
  return doc;
}

void xml_document_destroy(XmlDoc* doc) {
  if (!doc) return;
  xml_journal_release(doc);
  // The document node's own texts first, while every text storage is still there.
  xml_text_release(doc->node.name);
  xml_text_release(doc->node.value);
  xml_pool_release(doc);
  xlsx_free(doc);
}

XmlNode* xml_document_element(const XmlDoc* doc) {
  if (!doc) return nullptr;
  for (XmlNode* child = doc->node.first_child; child; child = child->next_sibling) {
    if (child->type == XML_NODE_ELEMENT) return child;
  }
  return nullptr;
}

// --- accessors

XmlNodeType xml_node_type(const XmlNode* node) {
  return node ? node->type : XML_NODE_NULL;
}
bool xml_node_is_empty(const XmlNode* node) {
  return !node || node->type == XML_NODE_NULL;
}
const char* xml_node_name(const XmlNode* node) {
  return node && node->name ? node->name : "";
}
const char* xml_node_value(const XmlNode* node) {
  return node && node->value ? node->value : "";
}
XmlNode* xml_node_parent(const XmlNode* node) {
  return node ? node->parent : nullptr;
}
XmlNode* xml_node_first_child(const XmlNode* node) {
  return node ? node->first_child : nullptr;
}
XmlNode* xml_node_last_child(const XmlNode* node) {
  return node ? node->last_child : nullptr;
}
XmlNode* xml_node_next_sibling(const XmlNode* node) {
  return node ? node->next_sibling : nullptr;
}
XmlNode* xml_node_previous_sibling(const XmlNode* node) {
  return node ? node->previous_sibling : nullptr;
}

XmlNode* xml_node_child(const XmlNode* node, const char* name) {
  if (!node || !name) return nullptr;
  for (XmlNode* child = node->first_child; child; child = child->next_sibling) {
    if (xml_node_is_element(child, name)) return child;
  }
  return nullptr;
}

XmlNode* xml_node_next_sibling_named(const XmlNode* node, const char* name) {
  if (!node || !name) return nullptr;
  for (XmlNode* next = node->next_sibling; next; next = next->next_sibling) {
    if (xml_node_is_element(next, name)) return next;
  }
  return nullptr;
}

XmlNode* xml_node_previous_sibling_named(const XmlNode* node, const char* name) {
  if (!node || !name) return nullptr;
  for (XmlNode* previous = node->previous_sibling; previous; previous = previous->previous_sibling) {
    if (xml_node_is_element(previous, name)) return previous;
  }
  return nullptr;
}

XmlNode* xml_node_find_child_by_attribute(const XmlNode* node, const char* element_name, const char* attr_name,
                                          const char* attr_value) {
  if (!node || !attr_name || !attr_value) return nullptr;
  for (XmlNode* child = node->first_child; child; child = child->next_sibling) {
    if (child->type != XML_NODE_ELEMENT) continue;
    if (element_name && !names_equal(child->name, element_name)) continue;
    XmlAttr* attr = xml_node_attribute(child, attr_name);
    if (attr && names_equal(xml_attribute_value(attr), attr_value)) return child;
  }
  return nullptr;
}

XmlNode* xml_node_text_node(const XmlNode* node) {
  if (!node) return nullptr;
  for (XmlNode* child = node->first_child; child; child = child->next_sibling) {
    if (child->type == XML_NODE_TEXT || child->type == XML_NODE_CDATA) return child;
  }
  return nullptr;
}

const char* xml_node_text(const XmlNode* node) {
  return xml_node_value(xml_node_text_node(node));
}
const char* xml_node_child_value(const XmlNode* node) {
  return xml_node_text(node);
}

namespace {
bool is_text_kind(const XmlNode* node) { return node->type == XML_NODE_TEXT || node->type == XML_NODE_CDATA; }
}  // namespace

bool xml_node_text_is_whole(const XmlNode* node) {
  XmlNode* first = xml_node_text_node(node);
  if (!first) return true;
  for (XmlNode* child = first->next_sibling; child; child = child->next_sibling)
    if (is_text_kind(child)) return false;
  return true;
}

xlsx_status xml_node_append_text(const XmlNode* node, StrBuf* out) {
  xlsx_status status = XLSX_OK;
  for (XmlNode* child = node ? node->first_child : nullptr; child && status == XLSX_OK; child = child->next_sibling)
    if (is_text_kind(child) && child->value) status = strbuf_append(out, child->value);
  return status;
}
XmlAttr* xml_node_first_attribute(const XmlNode* node) {
  return node ? node->first_attribute : nullptr;
}
XmlAttr* xml_attribute_next(const XmlAttr* attr) {
  return attr ? attr->next : nullptr;
}
const char* xml_attribute_name(const XmlAttr* attr) {
  return attr && attr->name ? attr->name : "";
}
const char* xml_attribute_value(const XmlAttr* attr) {
  return attr && attr->value ? attr->value : "";
}

XmlAttr* xml_node_attribute(const XmlNode* node, const char* name) {
  if (!node || !name) return nullptr;
  for (XmlAttr* attr = node->first_attribute; attr; attr = attr->next) {
    if (names_equal(attr->name, name)) return attr;
  }
  return nullptr;
}

bool xml_node_has_attribute(const XmlNode* node, const char* name) {
  return xml_node_attribute(node, name);
}

// --- typed readers

namespace {

bool text_as_bool(const char* text, bool def) {
  switch (text[0]) {
    case 0:
      return def;
    case '1':
    case 't':
    case 'T':
    case 'y':
    case 'Y':
      return true;
    default:
      return false;
  }
}

double text_as_double(const char* text, double def) {
  double value;
  return xlsx_text_to_double(text, &value) ? value : def;
}

uint64_t text_as_u64(const char* text, uint64_t def) {
  uint64_t value;
  return xlsx_text_to_u64(text, &value) ? value : def;
}

int64_t text_as_i64(const char* text, int64_t def) {
  int64_t value;
  return xlsx_text_to_i64(text, &value) ? value : def;
}

}  // namespace

bool xml_attribute_as_bool(const XmlAttr* attr, bool def) {
  return text_as_bool(xml_attribute_value(attr), def);
}
bool xml_node_text_as_bool(const XmlNode* node, bool def) {
  return text_as_bool(xml_node_text(node), def);
}

double xml_attribute_as_double(const XmlAttr* attr, double def) {
  return attr ? text_as_double(xml_attribute_value(attr), def) : def;
}

double xml_node_text_as_double(const XmlNode* node, double def) {
  return text_as_double(xml_node_text(node), def);
}

uint64_t xml_attribute_as_u64(const XmlAttr* attr, uint64_t def) {
  return attr ? text_as_u64(xml_attribute_value(attr), def) : def;
}

uint64_t xml_node_text_as_u64(const XmlNode* node, uint64_t def) {
  return text_as_u64(xml_node_text(node), def);
}

int64_t xml_attribute_as_i64(const XmlAttr* attr, int64_t def) {
  return attr ? text_as_i64(xml_attribute_value(attr), def) : def;
}

int64_t xml_node_text_as_i64(const XmlNode* node, int64_t def) {
  return text_as_i64(xml_node_text(node), def);
}

uint32_t xml_attribute_as_uint(const XmlAttr* attr, uint32_t def) {
  uint64_t value = xml_attribute_as_u64(attr, def);
  return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
}

int32_t xml_attribute_as_int(const XmlAttr* attr, int32_t def) {
  int64_t value = xml_attribute_as_i64(attr, def);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// --- attribute writers

const char* xml_attribute_set_value(XmlAttr* attr, const char* text) {
  if (!attr || !replace_text(attr->owner, &attr->value, make_text(attr->owner, text))) return nullptr;
  return attr->value;
}

bool xml_attribute_set_name(XmlAttr* attr, const char* text) {
  return attr && replace_text(attr->owner, &attr->name, make_name(attr->owner, text));
}

bool xml_attribute_set_bool(XmlAttr* attr, bool flag) {
  return xml_attribute_set_value(attr, flag ? "true" : "false");
}

bool xml_attribute_set_float(XmlAttr* attr, float value) { return set_number(attr, value, xml_attribute_set_value); }

bool xml_attribute_set_double(XmlAttr* attr, double value) { return set_number(attr, value, xml_attribute_set_value); }

bool xml_attribute_set_u64(XmlAttr* attr, uint64_t value) { return set_number(attr, value, xml_attribute_set_value); }

bool xml_attribute_set_i64(XmlAttr* attr, int64_t value) { return set_number(attr, value, xml_attribute_set_value); }

// --- element text writers

bool xml_node_set_text(XmlNode* node, const char* text) {
  if (!node) return false;
  XmlDoc* doc = node->document;
  XmlNode* text_node = xml_node_text_node(node);
  if (text_node) return replace_text(text_node, &text_node->value, make_text(text_node, text));
  if (!room_for_change(doc)) return false;
  bool fresh_page = !doc->free_nodes;
  text_node = xml_pool_take_node(doc, XML_NODE_TEXT);
  if (!text_node) return false;
  text_node->value = xml_doc_text(doc, text);
  if (!text_node->value) {
    undo_take_node(text_node, fresh_page);
    return false;
  }
  xml_link_append(node, text_node);
  xml_journal_created(doc, text_node);
  xml_doc_changed(doc);
  return true;
}

bool xml_node_set_whole_text(XmlNode* node, const char* text) {
  if (!xml_node_set_text(node, text)) return false;
  XmlNode* child = xml_node_text_node(node)->next_sibling;
  while (child) {
    XmlNode* next = child->next_sibling;
    if (is_text_kind(child) && !xml_node_remove_child(node, child)) return false;
    child = next;
  }
  return true;
}

bool xml_node_set_text_float(XmlNode* node, float value) { return set_number(node, value, xml_node_set_text); }

bool xml_node_set_text_double(XmlNode* node, double value) { return set_number(node, value, xml_node_set_text); }

bool xml_node_set_text_u64(XmlNode* node, uint64_t value) { return set_number(node, value, xml_node_set_text); }

bool xml_node_set_text_i64(XmlNode* node, int64_t value) { return set_number(node, value, xml_node_set_text); }

bool xml_node_set_value(XmlNode* node, const char* text) {
  return node && replace_text(node, &node->value, make_text(node, text));
}

// --- creating

XmlNode* xml_node_append_child(XmlNode* node, const char* name) { return new_child(node, name, nullptr); }

XmlNode* xml_node_prepend_child(XmlNode* node, const char* name) {
  return node ? new_child(node, name, node->first_child) : nullptr;
}

XmlNode* xml_node_insert_child_after(XmlNode* node, const char* name, XmlNode* ref) {
  return new_child(node, name, is_child_of(node, ref) ? ref->next_sibling : nullptr);
}

XmlNode* xml_node_insert_child_before(XmlNode* node, const char* name, XmlNode* ref) {
  return new_child(node, name, is_child_of(node, ref) ? ref : nullptr);
}

XmlNode* xml_node_append_child_of_type(XmlNode* node, XmlNodeType type) {
  if (!node || type == XML_NODE_DOCUMENT || type > XML_NODE_DOCTYPE) return nullptr;
  if (!room_for_change(node->document)) return nullptr;
  XmlNode* child = xml_pool_take_node(node->document, type);
  if (!child) return nullptr;
  xml_link_append(node, child);
  xml_journal_created(node->document, child);
  xml_doc_changed(node->document);
  return child;
}

XmlAttr* xml_node_append_attribute(XmlNode* node, const char* name) {
  if (!node) return nullptr;
  XmlDoc* doc = node->document;
  if (!room_for_change(doc)) return nullptr;
  // The slot first, as in new_node: it can be given back when the name fails.
  bool fresh_page = !doc->free_attributes;
  XmlAttr* attr = xml_pool_take_attribute(doc);
  if (!attr) return nullptr;
  attr->name = make_name(node, name);
  if (!attr->name) {
    xml_pool_give_attribute(doc, attr);
    if (fresh_page) xml_pool_drop_attribute_page(doc);
    return nullptr;
  }
  attr->value = xml_text_empty();
  xml_link_append_attribute(node, attr);
  xml_journal_attribute_created(doc, attr);
  xml_doc_changed(doc);
  return attr;
}

XmlAttr* xml_node_set_attribute(XmlNode* node, const char* name, const char* text) {
  if (!node) return nullptr;
  XmlAttr* attr = xml_node_attribute(node, name);
  if (attr) return xml_attribute_set_value(attr, text) ? attr : nullptr;
  XmlDoc* doc = node->document;
  char* value = make_text(node, text);
  if (!value) return nullptr;
  attr = xml_node_append_attribute(node, name);
  if (!attr) {
    xml_doc_release(doc, value);
    return nullptr;
  }
  attr->value = value;
  return attr;
}

// --- moving

XmlNode* xml_node_prepend_move(XmlNode* node, XmlNode* moved) {
  return node ? move_to(node, moved, node->first_child) : nullptr;
}

XmlNode* xml_node_append_move(XmlNode* node, XmlNode* moved) { return move_to(node, moved, nullptr); }

XmlNode* xml_node_insert_move_before(XmlNode* node, XmlNode* moved, XmlNode* ref) {
  return move_to(node, moved, is_child_of(node, ref) ? ref : nullptr);
}

XmlNode* xml_node_insert_move_after(XmlNode* node, XmlNode* moved, XmlNode* ref) {
  if (!is_child_of(node, ref)) return xml_node_prepend_move(node, moved);
  if (moved == ref) return can_move(node, moved) ? moved : nullptr;
  return move_to(node, moved, ref->next_sibling);
}

// --- removing

bool xml_node_remove_child(XmlNode* node, XmlNode* child) {
  if (!node || !child || child->parent != node) return false;
  XmlDoc* doc = node->document;
  if (!room_for_change(doc)) return false;
  XmlNode* next = child->next_sibling;
  xml_unlink(child);
  if (xml_journal_keeps(doc)) xml_journal_removed(doc, child, node, next);
  else xml_pool_free_subtree(child);
  xml_doc_changed(doc);
  return true;
}

bool xml_node_remove_child_named(XmlNode* node, const char* name) {
  return xml_node_remove_child(node, xml_node_child(node, name));
}

void xml_node_remove_children(XmlNode* node) {
  if (!node || !node->first_child) return;
  if (xml_journal_keeps(node->document)) {
    // One journaled removal after the other; with no room for them all nothing is removed.
    uint32_t count = 0;
    for (XmlNode* child = node->first_child; child; child = child->next_sibling) count++;
    if (!xml_journal_room(node->document, count)) return;
    while (node->first_child) xml_node_remove_child(node, node->last_child);
    return;
  }
  XmlNode* child = node->first_child;
  while (child) {
    XmlNode* next = child->next_sibling;
    xml_pool_free_subtree(child);
    child = next;
  }
  node->first_child = nullptr;
  node->last_child = nullptr;
  xml_doc_changed(node->document);
}

bool xml_node_remove_attribute(XmlNode* node, const char* name) {
  XmlAttr* attr = xml_node_attribute(node, name);
  if (!attr) return false;
  XmlDoc* doc = node->document;
  if (!room_for_change(doc)) return false;
  XmlAttr* next = attr->next;
  xml_unlink_attribute(attr);
  if (xml_journal_keeps(doc)) xml_journal_attribute_removed(doc, attr, node, next);
  else xml_pool_give_attribute(doc, attr);
  xml_doc_changed(doc);
  return true;
}

// --- copying

XmlNode* xml_node_copy(const XmlNode* node) {
  if (!node || node->type == XML_NODE_DOCUMENT) return nullptr;
  XmlDoc* doc = node->document;
  if (!room_for_change(doc)) return nullptr;
  XmlNode* root = copy_one(doc, node);
  if (!root) return nullptr;
  // Pre-order walk over the source; target follows it one level at a time.
  const XmlNode* source = node;
  XmlNode* target = root;
  for (;;) {
    const XmlNode* next = source->first_child;
    XmlNode* parent = target;
    if (!next) {
      while (source != node && !source->next_sibling) {
        source = source->parent;
        target = target->parent;
      }
      if (source == node) break;
      next = source->next_sibling;
      parent = target->parent;
    }
    XmlNode* copy = copy_one(doc, next);
    if (!copy) {
      xml_pool_free_subtree(root);
      return nullptr;
    }
    xml_link_append(parent, copy);
    source = next;
    target = copy;
  }
  xml_journal_created(doc, root);
  xml_doc_changed(doc);
  return root;
}
