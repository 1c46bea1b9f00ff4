// Fuzz target: parses arbitrary bytes with several option sets; for each successful parse it writes the
// tree, parses the output again and aborts unless both trees are the same, writes the second tree and
// aborts unless the bytes are the same, and checks that a deep copy of the root writes the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lib/base/alloc.h"
#include "lib/xml/parser.h"
#include "lib/xml/tree.h"
#include "lib/xml/writer.h"

namespace {

// Option sets whose output must parse back into the same tree.
const uint32_t kRoundTripOptions[] = {
    XML_PARSE_PACKAGE,
    0,
    XML_PARSE_ENTITIES,
    XML_PARSE_PI | XML_PARSE_COMMENTS | XML_PARSE_CDATA | XML_PARSE_WS_TEXT | XML_PARSE_ENTITIES | XML_PARSE_EOL |
        XML_PARSE_ATTR_WS | XML_PARSE_DECLARATION,
    XML_PARSE_COMMENTS | XML_PARSE_DECLARATION | XML_PARSE_EOL,
};

// Document type declarations are parsed and written but not compared: the writer emits their text as it
// was read, so one that ran unterminated to the end of input does not read back the same.
const uint32_t kParseOnlyOptions[] = {0xFFF, XML_PARSE_DOCTYPE | XML_PARSE_PACKAGE};

// What the written text is read back with: everything kept, nothing normalised, entities decoded.
uint32_t reparse_options(uint32_t options) {
  return XML_PARSE_PI | XML_PARSE_COMMENTS | XML_PARSE_CDATA | XML_PARSE_WS_TEXT | XML_PARSE_ENTITIES |
         (options & XML_PARSE_DECLARATION);
}

[[noreturn]] void mismatch(const char* what) {
  fprintf(stderr, "round trip mismatch: %s\n", what);
  abort();
}

std::string write(const XmlDoc* doc) {
  char* text = nullptr;
  uint32_t length = 0;
  if (xml_document_save_buffer(doc, &text, &length) != XLSX_OK) mismatch("write failed");
  if (strlen(text) != length) mismatch("length");
  std::string result(text, length);
  xlsx_free(text);
  return result;
}

// Flattens a tree into tokens in document order, without recursion. Adjacent text nodes are merged
// (a dropped comment between two runs leaves two text nodes that are written as one run).
std::vector<std::string> flatten(const XmlNode* top, bool skip_leading_declaration) {
  std::vector<std::string> tokens;
  bool last_was_text = false;
  const XmlNode* node = top->first_child;
  if (skip_leading_declaration && node && node->type == XML_NODE_DECLARATION) node = node->next_sibling;
  while (node) {
    if (node->type == XML_NODE_TEXT && last_was_text) {
      tokens.back() += xml_node_value(node);
    } else {
      std::string token = char('0' + node->type) + std::string(xml_node_name(node)) + '\x01' + xml_node_value(node);
      for (const XmlAttr* attr = node->first_attribute; attr; attr = attr->next)
        token += '\x02' + std::string(xml_attribute_name(attr)) + '\x03' + xml_attribute_value(attr);
      tokens.push_back(token);
    }
    last_was_text = node->type == XML_NODE_TEXT;
    if (node->type == XML_NODE_ELEMENT && node->first_child) {
      tokens.push_back("(");
      last_was_text = false;
      node = node->first_child;
      continue;
    }
    while (!node->next_sibling && node->parent != top) {
      node = node->parent;
      tokens.push_back(")");
      last_was_text = false;
    }
    node = node->next_sibling;
  }
  return tokens;
}

bool has_top_declaration(const XmlDoc* doc) {
  for (const XmlNode* child = doc->node.first_child; child; child = child->next_sibling) {
    if (child->type == XML_NODE_DECLARATION) return true;
  }
  return false;
}

// A deep copy of the root element, put in its place, writes the same bytes.
void check_copy(XmlDoc* doc, const std::string& written) {
  XmlNode* root = xml_document_element(doc);
  if (!root) return;
  XmlNode* copy = xml_node_copy(root);
  if (!copy) mismatch("copy failed");
  if (!xml_node_insert_move_after(&doc->node, copy, root)) mismatch("move failed");
  if (!xml_node_remove_child(&doc->node, root)) mismatch("remove failed");
  if (write(doc) != written) mismatch("copy writes differently");
}

void round_trip(const char* bytes, uint32_t length, uint32_t options) {
  XmlDoc* first = xml_document_create();
  if (xml_document_load_buffer(first, bytes, length, options) == XLSX_OK) {
    std::string written = write(first);
    XmlDoc* second = xml_document_create();
    if (xml_document_load_buffer(second, written.data(), static_cast<uint32_t>(written.size()),
                                 reparse_options(options)) != XLSX_OK) {
      mismatch("output does not parse");
    }
    bool added_declaration = (options & XML_PARSE_DECLARATION) && !has_top_declaration(first);
    if (flatten(&first->node, false) != flatten(&second->node, added_declaration)) mismatch("trees differ");
    if (write(second) != written) mismatch("second write differs");
    check_copy(first, written);
    xml_document_destroy(second);
  }
  xml_document_destroy(first);
}

void parse_only(const char* bytes, uint32_t length, uint32_t options) {
  XmlDoc* doc = xml_document_create();
  if (xml_document_load_buffer(doc, bytes, length, options) == XLSX_OK) write(doc);
  xml_document_destroy(doc);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > (1u << 20)) return 0;  // length 0 would mean a NUL-terminated text
  const char* bytes = reinterpret_cast<const char*>(data);
  uint32_t length = static_cast<uint32_t>(size);
  uint32_t live = xlsx_live_allocations();
  for (uint32_t options : kRoundTripOptions) round_trip(bytes, length, options);
  for (uint32_t options : kParseOnlyOptions) parse_only(bytes, length, options);
  if (xlsx_live_allocations() != live) mismatch("blocks left allocated");
  return 0;
}
