// Page pools of nodes and attributes, and freeing of subtrees and whole documents.
#include "lib/xml/node_pool.h"

#include "lib/base/alloc.h"
#include "lib/xml/text_arena.h"

namespace {

// Slot count of the page that follows a page of newest slots (0: the first page of the pool), for pages of
// a header of header bytes and slots of size bytes.
uint32_t next_page_slots(uint32_t newest, uint32_t header, uint32_t size) {
  uint32_t largest = (XML_PAGE_BYTES - header) / size;
  if (newest == 0) return XML_FIRST_PAGE_SLOTS < largest ? XML_FIRST_PAGE_SLOTS : largest;
  return newest >= largest / 2 ? largest : newest * 2;
}

// Pushes the slots of a page on the free list in ascending order, so the last slot is taken first. Only
// the link and the in-use mark (document) are written: a slot is cleared whole when it is taken, and
// clearing every page twice cost a pass over all node memory while parsing.
void push_node_slots(XmlDoc* doc, XmlNodePage* page) {
  XmlNode* slots = xml_page_slots(page);
  for (uint32_t i = 0; i < page->count; i++) {
    XmlNode* slot = &slots[i];
    slot->document = nullptr;
    slot->next_sibling = doc->free_nodes;
    doc->free_nodes = slot;
  }
}

// Heap texts only: used when the whole arena goes, slots included.
void release_node_texts(XmlNode* node) {
  xml_text_release(node->name);
  xml_text_release(node->value);
}

// The heap texts of the page's slots in use.
void release_texts_of(XmlNodePage* page) {
  XmlNode* slots = xml_page_slots(page);
  for (uint32_t i = 0; i < page->count; i++) {
    if (slots[i].document) release_node_texts(&slots[i]);
  }
}

void release_attribute_texts(XmlAttr* attr) {
  xml_text_release(attr->name);
  xml_text_release(attr->value);
}

// Heap texts are freed and slots go back to their free lists: used when one node or attribute goes.
void give_back_texts(XmlDoc* doc, char* name, char* value) {
  xml_doc_release(doc, name);
  xml_doc_release(doc, value);
}

}  // namespace

bool xml_pool_grow_nodes(XmlDoc* doc) {
  uint32_t newest = doc->node_pages ? doc->node_pages->count : 0;
  uint32_t count = next_page_slots(newest, sizeof(XmlNodePage), sizeof(XmlNode));
  auto* page = static_cast<XmlNodePage*>(xlsx_malloc(uint32_t(sizeof(XmlNodePage) + count * sizeof(XmlNode))));
  if (!page) return false;
  page->count = count;
  page->previous = doc->node_pages;
  doc->node_pages = page;
  push_node_slots(doc, page);
  return true;
}

bool xml_pool_grow_attributes(XmlDoc* doc) {
  uint32_t newest = doc->attribute_pages ? doc->attribute_pages->count : 0;
  uint32_t count = next_page_slots(newest, sizeof(XmlAttrPage), sizeof(XmlAttr));
  auto* page = static_cast<XmlAttrPage*>(xlsx_malloc(uint32_t(sizeof(XmlAttrPage) + count * sizeof(XmlAttr))));
  if (!page) return false;
  page->count = count;
  page->previous = doc->attribute_pages;
  doc->attribute_pages = page;
  XmlAttr* slots = xml_page_slots(page);
  for (uint32_t i = 0; i < count; i++) {
    XmlAttr* slot = &slots[i];
    slot->owner = nullptr;  // the in-use mark; the rest is cleared when the slot is taken
    slot->next = doc->free_attributes;
    doc->free_attributes = slot;
  }
  return true;
}

void xml_pool_drop_node_page(XmlDoc* doc) {
  XmlNodePage* page = doc->node_pages;
  doc->node_pages = page->previous;
  doc->free_nodes = nullptr;
  xlsx_free(page);
}

void xml_pool_drop_attribute_page(XmlDoc* doc) {
  XmlAttrPage* page = doc->attribute_pages;
  doc->attribute_pages = page->previous;
  doc->free_attributes = nullptr;
  xlsx_free(page);
}

void xml_pool_give_attribute(XmlDoc* doc, XmlAttr* attr) {
  give_back_texts(doc, attr->name, attr->value);
  *attr = XmlAttr{};
  attr->next = doc->free_attributes;
  doc->free_attributes = attr;
}

void xml_pool_give_node(XmlNode* node) {
  XmlDoc* doc = node->document;
  XmlAttr* attr = node->first_attribute;
  while (attr) {
    XmlAttr* next = attr->next;
    xml_pool_give_attribute(doc, attr);
    attr = next;
  }
  give_back_texts(doc, node->name, node->value);
  *node = XmlNode{};
  node->next_sibling = doc->free_nodes;
  doc->free_nodes = node;
}

void xml_pool_free_subtree(XmlNode* root) {
  // Post-order walk that unlinks each freed child from its parent, so that every step looks only at
  // first_child, next_sibling and parent of nodes still alive.
  XmlNode* node = root;
  for (;;) {
    if (node->first_child) {
      node = node->first_child;
      continue;
    }
    if (node == root) break;
    XmlNode* parent = node->parent;
    XmlNode* next = node->next_sibling;
    xml_pool_give_node(node);
    parent->first_child = next;
    node = next ? next : parent;
  }
  xml_pool_give_node(root);
}

void xml_pool_reset(XmlDoc* doc) {
  XmlNode* owner = &doc->node;
  doc->free_nodes = nullptr;
  for (XmlNodePage* page = doc->node_pages; page; page = page->previous) {
    if (doc->heap_texts) release_texts_of(page);
    push_node_slots(doc, page);
  }
  doc->free_attributes = nullptr;
  for (XmlAttrPage* page = doc->attribute_pages; page; page = page->previous) {
    XmlAttr* slots = xml_page_slots(page);
    for (uint32_t i = 0; i < page->count; i++) {
      XmlAttr& slot = slots[i];
      if (slot.owner == owner) continue;  // the document node keeps its own attributes
      if (slot.owner && doc->heap_texts) release_attribute_texts(&slot);
      slot = XmlAttr{};
      slot.next = doc->free_attributes;
      doc->free_attributes = &slot;
    }
  }
  owner->first_child = nullptr;
  owner->last_child = nullptr;
  xml_doc_texts_reset(doc);
  xml_arena_free(&doc->arena);
}

void xml_pool_release(XmlDoc* doc) {
  XmlNodePage* node_page = doc->node_pages;
  while (node_page) {
    XmlNodePage* previous = node_page->previous;
    if (doc->heap_texts) release_texts_of(node_page);
    xlsx_free(node_page);
    node_page = previous;
  }
  XmlAttrPage* attr_page = doc->attribute_pages;
  while (attr_page) {
    XmlAttrPage* previous = attr_page->previous;
    if (doc->heap_texts) {
      XmlAttr* slots = xml_page_slots(attr_page);
      for (uint32_t i = 0; i < attr_page->count; i++) {
        if (slots[i].owner) release_attribute_texts(&slots[i]);
      }
    }
    xlsx_free(attr_page);
    attr_page = previous;
  }
  doc->node_pages = nullptr;
  doc->attribute_pages = nullptr;
  doc->free_nodes = nullptr;
  doc->free_attributes = nullptr;
  xml_doc_texts_release(doc);
  xml_arena_free(&doc->arena);
}

uint64_t xml_pool_node_bytes(const XmlDoc* doc) {
  uint64_t bytes = 0;
  for (const XmlNodePage* page = doc->node_pages; page; page = page->previous)
    bytes += sizeof(XmlNodePage) + uint64_t(page->count) * sizeof(XmlNode);
  return bytes;
}

uint64_t xml_pool_attribute_bytes(const XmlDoc* doc) {
  uint64_t bytes = 0;
  for (const XmlAttrPage* page = doc->attribute_pages; page; page = page->previous)
    bytes += sizeof(XmlAttrPage) + uint64_t(page->count) * sizeof(XmlAttr);
  return bytes;
}
