// Package parts: an XML tree per part, parsed from the part's archive entry the first time it is needed.
#include "lib/package/part.h"

#include "lib/base/alloc.h"
#include "lib/package/content_types.h"
#include "lib/package/namespaces.h"
#include "lib/package/package.h"
#include "lib/xml/parser.h"
#include "lib/xml/writer.h"

namespace {

// Asks the loader for the text and parses it. XLSX_ERR_NO_MEMORY means: nothing settled, try later.
xlsx_status load_from_loader(XlsxPart* part) {
  uint32_t size = 0;
  xlsx_status status = XLSX_OK;
  const char* text = part->loader(part->loader_context, part->path, &size, &status);
  if (!text) return status == XLSX_OK ? XLSX_ERR_PARSE : status;
  if (size == 0) {
    // An absent or empty entry: an empty document, not a parse of whatever follows in memory.
    xml_node_remove_children(&part->xml->node);
    return XLSX_ERR_PARSE;
  }
  // The tree's cost is taken from its package's budget (a part without a package has none).
  uint64_t unbounded = UINT64_MAX;
  uint64_t* budget = part->owner ? &part->owner->parsed_left : &unbounded;
  status = xml_document_load_within(part->xml, text, size, XML_PARSE_PACKAGE, budget);
  if (part->release) part->release(part->loader_context, part->path);
  part->text_size = size;
  if (status == XLSX_ERR_PARSE) {
    // A tree that failed (perhaps at its budget, after hundreds of megabytes) keeps its pages for reuse:
    // the part gets a new empty tree so that they go back now. Without memory for it, the old one stays.
    if (XmlDoc* fresh = xml_document_create()) {
      xml_document_destroy(part->xml);
      part->xml = fresh;
    }
  }
  // Bytes that hold no element (binary data, plain text) are not this part's XML either.
  if (status == XLSX_OK && !xml_document_element(part->xml)) status = XLSX_ERR_PARSE;
  if (status == XLSX_OK) status = xlsx_part_use_usual_prefixes(part->xml);
  return status;
}

}  // namespace

xlsx_status xlsx_part_init(XlsxPart* part, XlsxPackage* owner, const char* path, const char* rel_id,
                           uint32_t content_type) {
  if (!part) return XLSX_ERR_INVALID_ARG;
  *part = XlsxPart{};
  part->owner = owner;
  part->content_type = content_type;
  part->path = xlsx_strdup(path ? path : "");
  part->rel_id = xlsx_strdup(rel_id ? rel_id : "");
  part->xml = xml_document_create();
  if (!part->path || !part->rel_id || !part->xml) {
    xlsx_part_free(part);
    return XLSX_ERR_NO_MEMORY;
  }
  part->clean_generation = part->xml->generation;
  return XLSX_OK;
}

void xlsx_part_set_loader(XlsxPart* part, XlsxPartLoader loader, void* context) {
  if (!part) return;
  part->loader = loader;
  part->loader_context = context;
}

void xlsx_part_set_release(XlsxPart* part, XlsxPartRelease release) {
  if (part) part->release = release;
}

XmlDoc* xlsx_part_load(XlsxPart* part) {
  if (!part || !part->xml) return nullptr;
  if (part->loaded) return part->xml;
  if (xml_document_element(part->xml)) {
    // Built in memory before anyone read it: the tree is the part's content (and is written at save).
    part->loaded = 1;
    return part->xml;
  }
  xlsx_status status = part->loader ? load_from_loader(part) : XLSX_OK;
  if (status == XLSX_ERR_NO_MEMORY) {
    xml_node_remove_children(&part->xml->node);
    part->clean_generation = part->xml->generation;
    return part->xml;  // not settled: the next call tries again
  }
  part->load_status = status;
  part->loaded = 1;
  part->clean_generation = part->xml->generation;
  return part->xml;
}

xlsx_status xlsx_part_load_status(const XlsxPart* part) { return part ? part->load_status : XLSX_ERR_INVALID_ARG; }

XmlNode* xlsx_part_root(XlsxPart* part) { return xml_document_element(xlsx_part_load(part)); }

bool xlsx_part_is_dirty(const XlsxPart* part) {
  return part && part->xml && part->xml->generation != part->clean_generation;
}

void xlsx_part_mark_clean(XlsxPart* part) {
  if (part && part->xml) part->clean_generation = part->xml->generation;
}

xlsx_status xlsx_parts_edit_begin(XlsxPartsEdit* edit, XlsxPart* const* parts, uint32_t count) {
  if (!edit || count > XLSX_EDIT_MAX_PARTS) return XLSX_ERR_INVALID_ARG;
  edit->count = 0;
  for (uint32_t i = 0; i < count; i++) {
    XlsxPart* part = parts[i];
    if (!part) continue;
    // Loaded before the edit begins: a load replaces the tree and is no change of the document.
    xlsx_part_load(part);
    if (!part->loaded || !xml_document_begin_edit(part->xml)) {
      xlsx_parts_edit_end(edit, XLSX_ERR_NO_MEMORY);
      return XLSX_ERR_NO_MEMORY;
    }
    edit->parts[edit->count++] = part;
  }
  return XLSX_OK;
}

xlsx_status xlsx_parts_edit_end(XlsxPartsEdit* edit, xlsx_status status) {
  if (!edit) return status;
  for (uint32_t i = edit->count; i > 0; i--) xml_document_end_edit(edit->parts[i - 1]->xml, status == XLSX_OK);
  edit->count = 0;
  return status;
}

xlsx_status xlsx_part_serialize(XlsxPart* part, char** text, uint32_t* length) {
  if (!part || !text) return XLSX_ERR_INVALID_ARG;
  XmlDoc* doc = xlsx_part_load(part);
  if (!doc) return XLSX_ERR_INVALID_ARG;
  uint32_t n = 0;
  xlsx_status status = xml_document_save_buffer_sized(doc, part->text_size, text, &n);
  if (status == XLSX_OK) part->text_size = n;
  if (length) *length = status == XLSX_OK ? n : 0;
  return status;
}

void xlsx_part_free(XlsxPart* part) {
  if (!part) return;
  xlsx_free(part->path);
  xlsx_free(part->rel_id);
  xml_document_destroy(part->xml);
  if (part->extra && part->extra_free) part->extra_free(part->extra);
  part->path = nullptr;
  part->rel_id = nullptr;
  part->xml = nullptr;
  part->extra = nullptr;
  part->extra_free = nullptr;
  part->loaded = 0;
}

const char* xlsx_part_path(const XlsxPart* part) { return part && part->path ? part->path : ""; }

const char* xlsx_part_rel_id(const XlsxPart* part) { return part && part->rel_id ? part->rel_id : ""; }

uint32_t xlsx_part_content_type(const XlsxPart* part) { return part ? part->content_type : XLSX_CT_NONE; }

void xlsx_part_set_extra(XlsxPart* part, void* extra, XlsxPartExtraFree free_fn) {
  if (!part) return;
  if (part->extra && part->extra_free && part->extra != extra) part->extra_free(part->extra);
  part->extra = extra;
  part->extra_free = free_fn;
}

void* xlsx_part_extra(const XlsxPart* part) { return part ? part->extra : nullptr; }

void xlsx_part_set_prepare_save(XlsxPart* part, XlsxPartPrepareSave prepare_save) {
  if (part) part->prepare_save = prepare_save;
}
