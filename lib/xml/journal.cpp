// The edit journal: changes recorded in order, taken back in reverse order, or kept.
#include "lib/xml/journal.h"

#include "lib/base/alloc.h"
#include "lib/xml/node_pool.h"
#include "lib/xml/text_arena.h"

enum class XmlChange : uint8_t { kCreated, kRemoved, kMoved, kReplaced, kAttributeCreated, kAttributeRemoved };

struct XmlJournalEntry {
  XmlChange change;
  XmlNode* node;    // created, removed or moved node; owner of a removed attribute
  XmlNode* parent;  // where a removed or moved node stood
  XmlNode* next;
  XmlAttr* attribute;  // created or removed attribute
  XmlAttr* next_attribute;
  char** field;  // replaced text field
  char* old;     // the text it held
};

namespace {

void record(XmlDoc* doc, const XmlJournalEntry& entry) {
  if (xml_journal_keeps(doc)) doc->journal->entries[doc->journal->count++] = entry;
}

// Puts node (detached) back under parent before next, or last when next is null.
void relink(XmlNode* node, XmlNode* parent, XmlNode* next) {
  if (next) xml_link_before(next, node);
  else xml_link_append(parent, node);
}

void take_back(XmlDoc* doc, const XmlJournalEntry& e) {
  switch (e.change) {
    case XmlChange::kCreated:
      xml_unlink(e.node);
      xml_pool_free_subtree(e.node);
      break;
    case XmlChange::kRemoved: relink(e.node, e.parent, e.next); break;
    case XmlChange::kMoved:
      xml_unlink(e.node);
      if (e.parent) relink(e.node, e.parent, e.next);
      break;
    case XmlChange::kReplaced:
      xml_doc_release(doc, *e.field);
      *e.field = e.old;
      break;
    case XmlChange::kAttributeCreated:
      xml_unlink_attribute(e.attribute);
      xml_pool_give_attribute(doc, e.attribute);
      break;
    case XmlChange::kAttributeRemoved: xml_link_attribute_before(e.node, e.attribute, e.next_attribute); break;
  }
}

// Frees what a kept change replaced or removed.
void keep(XmlDoc* doc, const XmlJournalEntry& e) {
  if (e.change == XmlChange::kRemoved) xml_pool_free_subtree(e.node);
  else if (e.change == XmlChange::kReplaced) xml_doc_release(doc, e.old);
  else if (e.change == XmlChange::kAttributeRemoved) xml_pool_give_attribute(doc, e.attribute);
}

void finish(XmlDoc* doc, bool keep_changes) {
  XmlJournal* journal = doc->journal;
  journal->open = 0;  // the changes below are not to be journaled
  if (keep_changes) {
    for (uint32_t i = 0; i < journal->count; i++) keep(doc, journal->entries[i]);
  } else {
    for (uint32_t i = journal->count; i > 0; i--) take_back(doc, journal->entries[i - 1]);
    // The tree is as it was at the begin: so is its generation, and whoever was in step then is again.
    // Generations handed out during the edit are never handed out again (see xml_doc_changed).
    doc->generation = journal->generation;
  }
  journal->count = 0;
}

}  // namespace

bool xml_journal_grow(XmlDoc* doc, uint32_t n) {
  XmlJournal* journal = doc->journal;
  return journal->count <= UINT32_MAX - n &&
         xlsx_grow_array(&journal->entries, &journal->capacity, journal->count + n, 16) == XLSX_OK;
}

void xml_journal_created(XmlDoc* doc, XmlNode* node) { record(doc, {XmlChange::kCreated, node, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr}); }

void xml_journal_removed(XmlDoc* doc, XmlNode* node, XmlNode* parent, XmlNode* next) {
  record(doc, {XmlChange::kRemoved, node, parent, next, nullptr, nullptr, nullptr, nullptr});
}

void xml_journal_moved(XmlDoc* doc, XmlNode* node, XmlNode* parent, XmlNode* next) {
  record(doc, {XmlChange::kMoved, node, parent, next, nullptr, nullptr, nullptr, nullptr});
}

bool xml_journal_replaced(XmlDoc* doc, char** field, char* old) {
  if (!xml_journal_keeps(doc)) return false;
  record(doc, {XmlChange::kReplaced, nullptr, nullptr, nullptr, nullptr, nullptr, field, old});
  return true;
}

void xml_journal_attribute_created(XmlDoc* doc, XmlAttr* attr) {
  record(doc, {XmlChange::kAttributeCreated, nullptr, nullptr, nullptr, attr, nullptr, nullptr, nullptr});
}

void xml_journal_attribute_removed(XmlDoc* doc, XmlAttr* attr, XmlNode* owner, XmlAttr* next) {
  record(doc, {XmlChange::kAttributeRemoved, owner, nullptr, nullptr, attr, next, nullptr, nullptr});
}

void xml_journal_discard(XmlDoc* doc) {
  if (doc && xml_journal_keeps(doc)) finish(doc, true);
}

void xml_journal_release(XmlDoc* doc) {
  if (!doc || !doc->journal) return;
  xml_journal_discard(doc);
  xlsx_free(doc->journal->entries);
  xlsx_free(doc->journal);
  doc->journal = nullptr;
}

bool xml_document_begin_edit(XmlDoc* doc) {
  if (!doc) return false;
  if (xml_journal_keeps(doc)) {
    doc->journal->depth++;
    return true;
  }
  if (!doc->journal) doc->journal = static_cast<XmlJournal*>(xlsx_calloc(1, sizeof(XmlJournal)));
  if (!doc->journal) return false;
  doc->journal->open = 1;
  doc->journal->depth = 0;
  doc->journal->generation = doc->generation;
  return true;
}

void xml_document_end_edit(XmlDoc* doc, bool keep_changes) {
  if (!doc || !xml_journal_keeps(doc)) return;
  if (doc->journal->depth > 0) {
    doc->journal->depth--;
    return;
  }
  finish(doc, keep_changes);
}
