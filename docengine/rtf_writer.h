#pragma once
// The RTF writer (save format 6). What it writes the RTF reader reads back
// to the same model: text, hidden and deleted runs, field code and result,
// language identifiers, list labels, tables (nested ones too), footnotes,
// endnotes, comments, the title and the other properties, the page's text
// width and the protection flag. Non-ASCII text is written as \u escapes
// with a "?" fallback, so the file is plain ASCII.

#include <string>

#include "docengine/document.h"

namespace quillon::docengine {

std::string RenderRtf(const Document& doc);

}  // namespace quillon::docengine
