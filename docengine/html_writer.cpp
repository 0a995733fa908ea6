// Saving a document model as an HTML page.

#include <string>

#include "docengine/html_reader.h"
#include "docengine/markup_escape.h"
#include "docengine/text_writer.h"

namespace quillon::docengine {

namespace {

void AppendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    if (const char* entity = MarkupEntity(c))
      out += entity;
    else if (c == '\n')
      out += "<br>";
    else if (c == '\f')
      out += "<br style=\"page-break-before:always\">";
    else
      out += c;
  }
}

void AppendBlocks(std::string& out, const std::vector<Block>& blocks, int depth);

void AppendParagraph(std::string& out, const Paragraph& para, std::string_view lead = {}) {
  // Runs of blanks and tabs are part of the text; the page keeps them.
  out += "<p style=\"white-space:pre-wrap\">";
  AppendEscaped(out, lead);
  if (!para.list_label.empty()) {
    AppendEscaped(out, para.list_label);
    out += "&#9;";
  }
  for (const Run& run : para.runs) {
    if (run.hidden || run.deleted || run.field_code)
      continue;
    // Tabs would collapse into a blank; the character reference keeps them.
    std::size_t start = 0;
    while (start < run.text.size()) {
      const std::size_t tab = run.text.find('\t', start);
      AppendEscaped(out, std::string_view(run.text).substr(start, tab - start));
      if (tab == std::string::npos)
        break;
      out += "&#9;";
      start = tab + 1;
    }
  }
  out += "</p>\n";
}

void AppendBlocks(std::string& out, const std::vector<Block>& blocks, int depth) {
  for (const Block& block : blocks) {
    if (!block.is_table()) {
      AppendParagraph(out, block.paragraph);
      continue;
    }
    if (depth > 64)
      continue;
    out += "<table border=\"1\">\n";
    for (const TableRow& row : block.table->rows) {
      out += "<tr>";
      for (const TableCell& cell : row.cells) {
        out += "<td>\n";
        AppendBlocks(out, cell.blocks, depth + 1);
        out += "</td>";
      }
      out += "</tr>\n";
    }
    out += "</table>\n";
  }
}

void AppendNotes(std::string& out, const std::vector<Note>& notes) {
  for (const Note& note : notes) {
    for (std::size_t i = 0; i < note.blocks.size(); ++i) {
      const Block& block = note.blocks[i];
      if (i == 0 && !block.is_table() && !note.mark.empty()) {
        // The mark and one blank lead the note; the note's own blanks after
        // its copy of the mark go, as in text output.
        Paragraph first = block.paragraph;
        for (Run& run : first.runs) {
          if (run.hidden || run.deleted || run.field_code)
            continue;
          const std::size_t keep = run.text.find_first_not_of(' ');
          run.text.erase(0, keep);
          if (keep != std::string::npos)
            break;
        }
        AppendParagraph(out, first, note.mark + " ");
      } else {
        AppendBlocks(out, {block}, 1);
      }
    }
  }
}

}  // namespace

bool SaveAsHtml(const Document& doc, const std::string& path, std::string& error) {
  std::string out = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>";
  AppendEscaped(out, doc.properties.title);
  out += "</title>\n</head>\n<body>\n";
  AppendBlocks(out, doc.body, 0);
  if (!doc.footnotes.empty() || !doc.endnotes.empty()) {
    out += "<hr>\n";
    AppendNotes(out, doc.footnotes);
    AppendNotes(out, doc.endnotes);
  }
  out += "</body>\n</html>\n";
  if (!WriteFileReplacing(path, out, error))
    return false;
  error.clear();
  return true;
}

}  // namespace quillon::docengine
