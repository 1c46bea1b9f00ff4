// The fixture and helpers of the XML layer tests: one document per test, the case tables of xml.cases,
// the writer's output as text and the parse options by name.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "lib/base/alloc.h"
#include "lib/xml/escape.h"
#include "lib/xml/node_pool.h"
#include "lib/xml/parser.h"
#include "lib/xml/tree.h"
#include "lib/xml/writer.h"
#include "tests/support/cases.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"

namespace {

using xlsx_test::Case;
using xlsx_test::FaultAllocation;

inline std::vector<Case> cases(const char* kind) { return xlsx_test::read_cases("xml/xml.cases", kind); }

// The serialised document, or "<error N>" when writing fails.
inline std::string write(const XmlDoc* doc) {
  char* text = nullptr;
  uint32_t length = 0;
  xlsx_status status = xml_document_save_buffer(doc, &text, &length);
  if (status != XLSX_OK) return "<error " + std::to_string(status) + ">";
  std::string result(text, length);
  xlsx_free(text);
  return result;
}

// Parse options named as in the case files: XML_PARSE_ names without the prefix joined with "+", or
// numbers.
inline uint32_t options(const std::string& names) {
  static const std::map<std::string, uint32_t> kBits = {
      {"PI", XML_PARSE_PI},           {"COMMENTS", XML_PARSE_COMMENTS}, {"CDATA", XML_PARSE_CDATA},
      {"WS_TEXT", XML_PARSE_WS_TEXT}, {"ENTITIES", XML_PARSE_ENTITIES}, {"EOL", XML_PARSE_EOL},
      {"ATTR_WS", XML_PARSE_ATTR_WS}, {"DECLARATION", XML_PARSE_DECLARATION},
      {"DOCTYPE", XML_PARSE_DOCTYPE}, {"PACKAGE", XML_PARSE_PACKAGE}};
  uint32_t bits = 0;
  std::stringstream parts(names);
  for (std::string name; std::getline(parts, name, '+');)
    bits |= kBits.count(name) ? kBits.at(name) : static_cast<uint32_t>(std::stoul(name, nullptr, 0));
  return bits;
}

// A fixture that owns one document and checks the live-allocation counter.
class XmlTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override { CountedTest::SetUp(); ASSERT_NE(doc_ = xml_document_create(), nullptr); }
  void TearDown() override { xml_document_destroy(doc_); CountedTest::TearDown(); }
  // Parses text (its exact bytes) into the fixture's document.
  xlsx_status load(const std::string& text, uint32_t options) {
    return xml_document_load_buffer(doc_, text.data(), static_cast<uint32_t>(text.size()), options);
  }
  // Output of the writer without the default declaration in front.
  std::string body() {
    const std::string all = write(doc_), declaration = "<?xml version=\"1.0\"?>";
    return all.compare(0, declaration.size(), declaration) == 0 ? all.substr(declaration.size()) : all;
  }
  XmlNode* root() { return xml_document_element(doc_); }
  XmlNode* top() { return &doc_->node; }
  XmlDoc* doc_ = nullptr;
};
using Parse = XmlTest;
using Write = XmlTest;
using Tree = XmlTest;

}  // namespace
