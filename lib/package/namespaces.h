// Namespace prefixes of a parsed part. The code finds elements by their usual names (`worksheet`,
// `sheetData`, `Types`, `Relationship`, ...) and relationship ids as `r:id`; a file may write the same
// names with any prefix bound to the same namespace (`<x:worksheet xmlns:x="...">`, `rel:id`). A part
// loaded with other prefixes is rewritten to the usual ones, which name the same elements and attributes.
#pragma once

#include "lib/base/status.h"
#include "lib/xml/tree.h"

// Rewrites doc (a part just parsed) when its root element has a prefix bound, on the root, to one of the
// format's element namespaces (that prefix is dropped from every element, and the namespace becomes the
// root's default one), and when the root binds another prefix than `r` to the relationships namespace
// (attributes take the prefix `r`). Left as it is when such a rewrite would clash with the root's own
// declarations. XLSX_ERR_NO_MEMORY leaves the rewrite partly done (the caller discards the tree);
// XLSX_OK otherwise, also for null.
xlsx_status xlsx_part_use_usual_prefixes(XmlDoc* doc);
