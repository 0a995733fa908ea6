#pragma once
// The document model of the built-in word processor: what every reader
// builds and every writer consumes. Plain data, no behaviour beyond small
// accessors; readers own nothing after they return.
//
// Text is UTF-8 throughout. A manual line break inside a paragraph is the
// character '\n' in a run's text; readers never put '\r' in run text.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillon::docengine {

// How a span of text takes part in the visible text of the document.
struct Run {
  std::string text;
  bool hidden = false;        // hidden formatting: left out of text output
  bool deleted = false;       // tracked deletion: left out of text output
  bool inserted = false;      // tracked insertion: kept
  bool field_code = false;    // field instruction text: left out (the result is kept)
  std::uint16_t lang = 0;     // language identifier (LCID) of the text, 0 = unknown
  std::uint16_t lang_fe = 0;  // Far East language identifier, 0 = unknown
  // The field the run belongs to, its instruction or its result: a number
  // unique within the document, 0 outside any field. Runs of a nested
  // field carry the number of the outermost one.
  std::uint32_t field = 0;
  // The footnote or endnote whose reference mark the run is (its Note::id),
  // 0 for every other text.
  std::uint32_t note = 0;
};

struct Block;

struct Paragraph {
  std::vector<Run> runs;
  std::string list_label;  // "1.", "a)", "\u2022" ... written before the text
  int list_level = 0;      // 0-based nesting level of a list paragraph
};

struct TableCell {
  std::vector<Block> blocks;  // may hold nested tables
};

struct TableRow {
  std::vector<TableCell> cells;
};

struct Table {
  std::vector<TableRow> rows;
};

// One block of a story: a paragraph or a table.
struct Block {
  // Exactly one of the two is used: a table when `table` is set.
  Paragraph paragraph;
  std::shared_ptr<Table> table;

  bool is_table() const { return table != nullptr; }
  static Block FromParagraph(Paragraph p) {
    Block b;
    b.paragraph = std::move(p);
    return b;
  }
  static Block FromTable(Table t) {
    Block b;
    b.table = std::make_shared<Table>(std::move(t));
    return b;
  }
};

// Footnotes, endnotes and comments: a story of their own.
struct Note {
  std::string mark;  // reference mark as shown in the text ("1", "i", "*")
  std::vector<Block> blocks;
  // A number unique among the document's footnotes and endnotes, carried by
  // the runs of its reference mark in the main text; 0 when the reader
  // knows no mark.
  std::uint32_t id = 0;
};

struct Comment {
  std::string author;
  std::string initials;
  std::vector<Block> blocks;
};

// The file format a document was read from; "Save" writes back in it.
enum class SourceFormat { kUnknown, kText, kRtf, kDocx, kHtml, kDoc, kWordPerfect, kRecovered };

struct Properties {
  std::string title;
  std::string subject;
  std::string author;
  std::string keywords;
  std::string comments;
};

struct PageSetup {
  // Width of the text area (page width less the margins) in twips; 0 when
  // the document gives none. Writers that wrap lines turn it into
  // characters at 12 points per character (10 characters per inch)
  // and fall back to 80 characters.
  std::int32_t text_width_twips = 0;
};

struct Protection {
  bool is_protected = false;
  std::string kind;  // "readOnly", "comments", "trackedChanges", "forms" ...
};

struct Document {
  std::vector<Block> body;
  std::vector<Note> footnotes;
  std::vector<Note> endnotes;
  std::vector<Comment> comments;  // kept apart: never in text output
  // The primary header and footer. Kept apart like comments; readers that
  // do not read them leave them empty.
  std::vector<Block> header;
  std::vector<Block> footer;
  Properties properties;
  PageSetup page;
  Protection protection;
  SourceFormat format = SourceFormat::kUnknown;
  // The Windows code page the file was read as ("OpenEncoding"): 1200 for
  // UTF-16 LE, 1201 for UTF-16 BE, 65001 for UTF-8, 1252, 932 ...
  int open_encoding = 0;
  // Default language identifiers of the document, used when a run has none.
  std::uint16_t default_lang = 0;
  std::uint16_t default_lang_fe = 0;
};

}  // namespace quillon::docengine
