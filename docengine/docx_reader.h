#pragma once
// The reader of Office Open XML word-processing packages (.docx, .docm,
// .dotx), and the writer that saves a document model as one.

#include <memory>
#include <string>

#include "docengine/document.h"
#include "docengine/reader.h"

namespace quillon::docengine {

std::unique_ptr<Reader> MakeDocxReader();

// Writes `doc` as a word-processing package at `path`: paragraphs with
// their runs (hidden, deleted and inserted text keep their marks, field
// instructions are written as hidden text), list labels as literal text,
// tables, footnotes and endnotes after a separator, the title and the
// protection kind. False with an error text when the file cannot be written.
// Only what the model holds is written: character formatting, styles,
// pictures, headers and footers of the source are not, so this makes a new
// file (SaveAs) and never stands in for writing a package back over itself.
bool SaveAsDocx(const Document& doc, const std::string& path, std::string& error);

// The language identifier (LCID) of a BCP-47 tag ("zh-CN" -> 0x0804), or 0
// when unknown.
std::uint16_t LcidFromLanguageTag(const std::string& tag);

}  // namespace quillon::docengine
