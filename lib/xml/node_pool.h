// Slot pools of a document: nodes and attributes come from pages of 256 slots with free lists, and the
// low-level linking shared by the tree operations and the parser. Internal to lib/xml.
#pragma once

#include <cstdint>

#include "lib/xml/tree.h"

enum : uint32_t { XML_PAGE_SLOTS = 256 };

struct XmlNodePage {
  XmlNodePage* previous;
  XmlNode slots[XML_PAGE_SLOTS];
};

struct XmlAttrPage {
  XmlAttrPage* previous;
  XmlAttr slots[XML_PAGE_SLOTS];
};

// Adds a page of free node / attribute slots; false when memory runs out (nothing changes).
bool xml_pool_grow_nodes(XmlDoc* doc);
bool xml_pool_grow_attributes(XmlDoc* doc);

// Zero-filled node slot of the given type belonging to doc; null when a new page cannot be allocated.
inline XmlNode* xml_pool_take_node(XmlDoc* doc, XmlNodeType type) {
  if (!doc->free_nodes && !xml_pool_grow_nodes(doc)) return nullptr;
  XmlNode* node = doc->free_nodes;
  doc->free_nodes = node->next_sibling;
  *node = XmlNode{};
  node->type = type;
  node->document = doc;
  return node;
}

// Zero-filled attribute slot of doc; null when a new page cannot be allocated. Not yet linked to owner.
inline XmlAttr* xml_pool_take_attribute(XmlDoc* doc) {
  if (!doc->free_attributes && !xml_pool_grow_attributes(doc)) return nullptr;
  XmlAttr* attr = doc->free_attributes;
  doc->free_attributes = attr->next;
  *attr = XmlAttr{};
  return attr;
}

// Frees the newest node / attribute page, whose slots must all be free (the undo of a grow made by the
// failed operation that took the only slot it used and gave it back).
void xml_pool_drop_node_page(XmlDoc* doc);
void xml_pool_drop_attribute_page(XmlDoc* doc);

// Releases the attribute's texts and returns its slot to the free list (it must be unlinked already).
void xml_pool_give_attribute(XmlDoc* doc, XmlAttr* attr);
// Releases the node's texts and attributes and returns its slot; children and links are not looked at.
void xml_pool_give_node(XmlNode* node);
// Frees node and its whole subtree, without recursion. The caller detaches node first (or discards it).
void xml_pool_free_subtree(XmlNode* node);
// Releases every node and attribute of doc except the document node and its own attributes, and the text
// arena; the pages stay and all their slots are free again.
void xml_pool_reset(XmlDoc* doc);
// Releases every page (and the heap texts of slots in use). The document is unusable afterwards.
void xml_pool_release(XmlDoc* doc);
// Number of node / attribute pages (diagnostic figures).
uint32_t xml_pool_node_pages(const XmlDoc* doc);
uint32_t xml_pool_attribute_pages(const XmlDoc* doc);

// Links child (detached) as the last child of parent.
inline void xml_link_append(XmlNode* parent, XmlNode* child) {
  XmlNode* last = parent->last_child;
  child->parent = parent;
  child->previous_sibling = last;
  child->next_sibling = nullptr;
  if (last) {
    last->next_sibling = child;
  } else {
    parent->first_child = child;
  }
  parent->last_child = child;
}

// Links child (detached) directly before ref, a child of some parent.
inline void xml_link_before(XmlNode* ref, XmlNode* child) {
  XmlNode* parent = ref->parent;
  child->parent = parent;
  child->next_sibling = ref;
  child->previous_sibling = ref->previous_sibling;
  if (ref->previous_sibling) {
    ref->previous_sibling->next_sibling = child;
  } else {
    parent->first_child = child;
  }
  ref->previous_sibling = child;
}

// Unlinks node from its parent (nothing for a detached node); its subtree stays with it.
inline void xml_unlink(XmlNode* node) {
  XmlNode* parent = node->parent;
  if (!parent) return;
  if (node->previous_sibling) {
    node->previous_sibling->next_sibling = node->next_sibling;
  } else {
    parent->first_child = node->next_sibling;
  }
  if (node->next_sibling) {
    node->next_sibling->previous_sibling = node->previous_sibling;
  } else {
    parent->last_child = node->previous_sibling;
  }
  node->parent = nullptr;
  node->next_sibling = nullptr;
  node->previous_sibling = nullptr;
}

// Unlinks attr from its owner (attr->owner stays set).
inline void xml_unlink_attribute(XmlAttr* attr) {
  XmlNode* owner = attr->owner;
  if (attr->previous) {
    attr->previous->next = attr->next;
  } else {
    owner->first_attribute = attr->next;
  }
  if (attr->next) {
    attr->next->previous = attr->previous;
  } else {
    owner->last_attribute = attr->previous;
  }
}

// Records that doc changed: a generation it never had before (an edit taken back restores an older one,
// so counting on from the current value could repeat a generation seen during that edit).
inline void xml_doc_changed(XmlDoc* doc) { doc->generation = ++doc->last_generation; }

// Links attr (fresh) as the last attribute of owner.
inline void xml_link_append_attribute(XmlNode* owner, XmlAttr* attr) {
  XmlAttr* last = owner->last_attribute;
  attr->owner = owner;
  attr->previous = last;
  attr->next = nullptr;
  if (last) {
    last->next = attr;
  } else {
    owner->first_attribute = attr;
  }
  owner->last_attribute = attr;
}

// Links attr (unlinked) into owner's attributes directly before next, or last when next is null.
inline void xml_link_attribute_before(XmlNode* owner, XmlAttr* attr, XmlAttr* next) {
  if (!next) {
    xml_link_append_attribute(owner, attr);
    return;
  }
  attr->owner = owner;
  attr->next = next;
  attr->previous = next->previous;
  if (next->previous) {
    next->previous->next = attr;
  } else {
    owner->first_attribute = attr;
  }
  next->previous = attr;
}
