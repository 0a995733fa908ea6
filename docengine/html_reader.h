#pragma once
// The reader of HTML pages, from plain web pages to pages saved by word
// processors, and the writer that saves a document model as HTML.

#include <memory>
#include <string>
#include <string_view>

#include "docengine/document.h"
#include "docengine/reader.h"

namespace quillon::docengine {

std::unique_ptr<Reader> MakeHtmlReader();

// Reads an HTML page into `doc` (what the reader's Read does). Other
// readers use it for HTML parts embedded in their own files.
ReadResult ReadHtmlDocument(std::string_view data, const OpenOptions& options, Document& doc);

// The Windows code page an HTML page is to be read in: a byte-order mark,
// else the charset its meta elements declare, else the one ICU's detector
// finds. Pages in plain ASCII and pages naming ISO-8859-1 read as 1252, as
// browsers do.
int DetectHtmlCodePage(std::string_view data);

// Writes `doc` as a UTF-8 HTML page at `path`: the title, paragraphs with
// their list labels and line breaks, tables (nested too), footnotes and
// endnotes after a rule. Hidden text, deleted text and field instructions
// are left out, as they are from every text output. False with an error
// text when the file cannot be written (an earlier file there then stays as
// it was). As with SaveAsDocx, only what the model holds is written; it
// makes a new page, never a copy of the source.
bool SaveAsHtml(const Document& doc, const std::string& path, std::string& error);

}  // namespace quillon::docengine
