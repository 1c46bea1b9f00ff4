// A look at the names of a ZIP file's central directory before the ZIP reader sees them. The reader
// (libzip) files every name in a hash table of its own, with an unkeyed hash: names made to share a
// hash value, or a slot of its table, make it compare each name with all the others (minutes for some
// hundred thousand names). Such a directory, and names that are not UTF-8, are refused here; whatever
// this look cannot read is left to the reader to judge.
#pragma once

#include <cstdint>

#include "lib/base/status.h"

// XLSX_ERR_PARSE when the central directory of the size bytes of a ZIP file holds a name that is not
// UTF-8, more than a few names of one hash value, or names crowding into a few slots of the reader's
// table; XLSX_ERR_NO_MEMORY when the look cannot be made; XLSX_OK otherwise, also when no central
// directory is found (the reader then refuses the file itself).
xlsx_status xlsx_zip_names_check(const char* bytes, uint32_t size);
