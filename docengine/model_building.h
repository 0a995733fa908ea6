#pragma once
// Steps every reader takes while it builds the document model.

#include <string_view>
#include <vector>

#include "docengine/document.h"

namespace quillon::docengine {

// True when the two runs differ in nothing but their text.
bool SameFormat(const Run& a, const Run& b);

// Appends `text` in the format of `format` (whose own text is not used):
// the last run grows when it has that format, else a new run starts, so a
// paragraph holds no two neighbouring runs of one format.
void AppendRunText(std::vector<Run>& runs, const Run& format, std::string_view text);

// A story read from marks that end paragraphs, cells and rows (how RTF
// describes tables, nested ones included): the tables open around the
// text, innermost last, and the paragraph being filled.
struct StoryBuilder {
  struct OpenTable {
    Table table;
    TableRow row;
    TableCell cell;
  };

  std::vector<Block>* blocks = nullptr;  // where the story goes; none: nothing is kept
  std::vector<OpenTable> tables;
  Paragraph paragraph;
  bool has_content = false;

  // Closes or opens tables until `level` of them are open.
  void SetLevel(int level);
  // The paragraph ends inside `level` tables.
  void EndParagraph(int level);
  // A cell, or a row, of the table at `level` ends.
  void EndCell(int level);
  void EndRow(int level);
  // The story ends: its last paragraph and every open table are kept.
  void Finish();

 private:
  std::vector<Block>& Container();
  void CloseTable();
  void TakeParagraph();
};

}  // namespace quillon::docengine
