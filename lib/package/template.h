// The built-in template workbook: a complete .xlsx package (one empty sheet "Sheet1") embedded as bytes.
#pragma once

#include <cstdint>

// The template's bytes (static storage) and their count.
extern const unsigned char xlsx_template_bytes[];
extern const uint32_t xlsx_template_size;
