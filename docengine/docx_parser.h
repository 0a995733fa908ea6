#pragma once
// The reader of word-processing packages, inside the docengine. Its parts:
// docx_reader.cpp reads the package in order (properties, styles,
// settings, the body, the notes); docx_body.cpp walks the body's blocks,
// paragraphs, runs, tables and drawings; docx_notes.cpp reads notes and
// comments. Package access, styles and numbering, and the note marks live
// in their own classes.

#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "docengine/docx_notes.h"
#include "docengine/docx_package.h"
#include "docengine/docx_styles.h"
#include "docengine/reader.h"

namespace quillon::docengine::docx {

inline constexpr const char* kNotDocxMessage = "The file is not a word-processing package.";

// What a run inherits from the markup around it.
struct Context {
  bool deleted = false;
  bool inserted = false;
  bool hidden = false;
  std::string paragraph_style;
};

class DocxParser {
 public:
  DocxParser(const OpenOptions& options, Document& doc) : options_(options), doc_(doc) {}

  ReadResult Parse(std::string_view data);

 private:
  // docx_reader.cpp
  void LoadSettings(const pugi::xml_node& root);
  void LoadCoreProperties(const pugi::xml_node& root);
  // The first section's default header and footer parts, once the body is
  // read.
  void NoteSection(const pugi::xml_node& sect);
  void LoadHeaderFooter(const std::string& rel, std::vector<Block>& out);

  // docx_notes.cpp
  void LoadNotes(const pugi::xml_node& root, bool endnotes);
  void LoadComments(const pugi::xml_node& root);

  // docx_body.cpp
  void ParseBlocks(const pugi::xml_node& container, std::vector<Block>& out, const Context& ctx,
                   int depth);
  void ParseParagraph(const pugi::xml_node& p, std::vector<Block>& out, Context ctx, int depth);
  void ParseInline(const pugi::xml_node& node, Paragraph& para, std::vector<Block>& extra,
                   const Context& ctx, int depth);
  void ParseRun(const pugi::xml_node& r, Paragraph& para, std::vector<Block>& extra,
                const Context& ctx, int depth);
  void ParseDrawing(const pugi::xml_node& node, std::vector<Block>& extra, const Context& ctx,
                    int depth);
  Table ParseTable(const pugi::xml_node& tbl, const Context& ctx, int depth);
  void ParseRows(const pugi::xml_node& container, Table& table, const Context& ctx, int depth);
  void ParseCells(const pugi::xml_node& container, TableRow& row, const Context& ctx, int depth);
  // Calls visit(element, depth) for every `wanted` element of `container`,
  // looking through the content controls and custom XML that may wrap rows
  // and cells.
  template <typename Visit>
  void ForEachWrapped(const pugi::xml_node& container, std::string_view wanted, int depth,
                      Visit& visit);
  void ParseAltChunk(const pugi::xml_node& chunk, std::vector<Block>& out);
  void AddText(Paragraph& para, std::string text, const Context& ctx, const RunFormat& format,
               bool field_code);
  bool InFieldCode() const;
  void ParseSimpleField(const pugi::xml_node& node, Paragraph& para, std::vector<Block>& extra,
                        const Context& ctx, int depth);
  // Past the nesting limit the read fails: a hostile file must not run the
  // stack out.
  bool TooDeep(int depth);
  void Fail(ReadResult failure);

  const OpenOptions& options_;
  Document& doc_;
  Package package_;
  StyleSheet styles_;
  NoteTable notes_;
  ReadResult failure_ = ReadResult::Success();
  bool failed_ = false;

  std::string main_part_;
  Relationships main_rels_;

  // Open complex fields, innermost last: true while in the instruction.
  std::vector<bool> fields_;
  // The number of the outermost open field (complex, simple or hyperlink)
  // that new runs belong to; 0 outside any.
  std::uint32_t field_ = 0;
  std::uint32_t field_counter_ = 0;
  std::uint32_t note_mark_ = 0;  // the note whose reference mark AddText adds, else 0
  int simple_fields_open_ = 0;
  std::size_t chars_ = 0;
  int section_width_ = 0;
  // The relationships of the first section's default header and footer.
  bool section_seen_ = false;
  std::string header_rel_;
  std::string footer_rel_;
};

// Of the Choices of an mc:AlternateContent, the first whose Requires names
// only vocabularies this reader reads, else the Fallback; a null node when
// there is neither.
pugi::xml_node PickAlternate(const pugi::xml_node& alternate);

}  // namespace quillon::docengine::docx
