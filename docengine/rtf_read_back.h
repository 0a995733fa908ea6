#pragma once
// What the RTF reader makes of a file the RTF writer wrote, computed from
// the model itself: opening an RTF file this engine has just saved need not
// parse it again.
//
// ReadBackWrittenRtf(doc) turns `doc` into the document that reading
// RenderRtf(doc) with the same limits gives: the text of every run and
// label as the escapes carry it, runs joined where their formats meet,
// field instructions as one field each and results outside any field, list
// levels gone, note marks numbered 1, 2, ... across footnotes and endnotes,
// table cells and rows as the cell and row marks rebuild them, the header
// and footer like the body (their fields numbered first), note ids and
// reference marks unlinked, the RTF format and code page 1252.
//
// It returns false, leaving `doc` in an unspecified state, for a model it
// does not follow exactly (overlong properties, a document at the limits of
// the reader): the file must then be read.

#include "docengine/document.h"
#include "docengine/reader.h"

namespace quillon::docengine {

bool ReadBackWrittenRtf(Document& doc, const ReadLimits& limits);

}  // namespace quillon::docengine
