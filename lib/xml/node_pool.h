// Slot pools of a document: nodes and attributes come from pages of slots with free lists, and the
// low-level linking shared by the tree operations and the parser. Internal to lib/xml.
// A document's first page holds XML_FIRST_PAGE_SLOTS slots and every further page twice as many as the one
// before, up to what fits XML_PAGE_BYTES: a small part costs a few kilobytes, and a large one is held in
// blocks that the host can back with whole huge pages (header and slots fill the block to within one slot).
#pragma once

#include <cstdint>

#include "lib/xml/tree.h"

enum : uint32_t { XML_FIRST_PAGE_SLOTS = 64, XML_PAGE_BYTES = 2u << 20 };

// Page headers; the page's slots follow the header.
struct alignas(8) XmlNodePage {
  XmlNodePage* previous;
  uint32_t count;  // slots in the page
};

struct alignas(8) XmlAttrPage {
  XmlAttrPage* previous;
  uint32_t count;
};

inline XmlNode* xml_page_slots(XmlNodePage* page) {
  return reinterpret_cast<XmlNode*>(page + 1);
}

inline XmlAttr* xml_page_slots(XmlAttrPage* page) {
  return reinterpret_cast<XmlAttr*>(page + 1);
}

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
// Number of node / attribute pages, and the bytes they take, headers included (diagnostic figures).
uint32_t xml_pool_node_pages(const XmlDoc* doc);
uint32_t xml_pool_attribute_pages(const XmlDoc* doc);
uint64_t xml_pool_node_bytes(const XmlDoc* doc);
uint64_t xml_pool_attribute_bytes(const XmlDoc* doc);

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
