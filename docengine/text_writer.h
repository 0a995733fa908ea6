#pragma once
// Writers for the save formats ("FileFormat" of SaveAs).
//
// Text rules shared by every text format:
// - each paragraph and each manual line break ('\n' in run text) ends with
//   CR LF;
// - a table row is its cells separated by TAB and ends with CR LF (several
//   paragraphs inside one cell are kept apart by CR LF; nested tables follow
//   the same rule);
// - a list paragraph starts with its label and a TAB;
// - fields give their result (field code runs are left out), as are hidden
//   runs and tracked deletions; comments never appear;
// - footnotes, then endnotes follow the main text, each note starting with
//   its mark and a blank. Readers put the reference mark into the body
//   text themselves.
// "With line breaks" formats wrap every line at spaces so that no line is
// longer than the page's text width in characters (10 per inch; 80 when
// the document gives no width); a word longer than a line is cut.
//
// All functions are pure and thread-safe.

#include <string>
#include <string_view>

#include "docengine/document.h"

namespace quillon::docengine {

// Save formats, numbered as the automation interface numbers them.
inline constexpr int kSaveFormatText = 2;
inline constexpr int kSaveFormatTextLineBreaks = 3;
inline constexpr int kSaveFormatDosText = 4;
inline constexpr int kSaveFormatDosTextLineBreaks = 5;
inline constexpr int kSaveFormatRtf = 6;
inline constexpr int kSaveFormatUnicodeText = 7;

struct TextRenderOptions {
  // Wrap lines to at most this many characters; 0 = no wrapping.
  int wrap_columns = 0;
};

// The document's text as UTF-8 with CR LF line ends, by the rules above.
std::string RenderText(const Document& doc, const TextRenderOptions& options = {});

// The wrap width of the "with line breaks" formats for this document.
int WrapColumns(const Document& doc);

// True for the formats RenderTextFile writes (2, 3, 4, 5, 7).
bool IsTextSaveFormat(int file_format);

// The code page a text format is written in when no encoding is given:
// the ANSI code page for 2 and 3, the OEM code page for 4 and 5, UTF-16 LE
// (1200) for 7.
int DefaultCodePage(int file_format);

// Encodes UTF-8 text for a text file of the code page: 1200 and 1201 get
// UTF-16 with a byte-order mark, 65001 UTF-8 without one; characters the
// code page cannot hold become "?".
bool EncodeTextFile(const std::string& utf8, int code_page, std::string& bytes, std::string& error);

// The bytes of a text save. `encoding` 0 means DefaultCodePage(file_format);
// any other value is the code page to write in.
bool RenderTextFile(const Document& doc, int file_format, int encoding, std::string& bytes,
                    std::string& error);

// Renders the document in any save format this engine writes (the text
// formats and 6, RTF). False with a message naming the format otherwise.
bool RenderDocument(const Document& doc, int file_format, int encoding, std::string& bytes,
                    std::string& error);

// Writes `bytes` to `path` whole or not at all (fileio::WriteFileWhole: a
// failed write leaves whatever was there; a file saved over in place keeps
// its mode and links). False with an error text naming the file and the
// system's reason otherwise.
bool WriteFileReplacing(const std::string& path, std::string_view bytes, std::string& error);

// RenderDocument, then writes the bytes to `path` (replacing the file).
bool SaveDocument(const Document& doc, const std::string& path, int file_format, int encoding,
                  std::string& error);

}  // namespace quillon::docengine
