// Names for the support library's files and ZIP helpers (tests/support/zip.h), as the document tests use them.
#pragma once

#include "tests/support/temp_dir.h"
#include "tests/support/zip.h"

namespace pkg_test {
using namespace xlsx_test;
}  // namespace pkg_test
