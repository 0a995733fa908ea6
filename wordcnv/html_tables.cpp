#include "wordcnv/html_tables.h"

#include "docengine/markup_escape.h"
#include "docengine/text_writer.h"

namespace quillon::wordcnv {

HtmlTables::HtmlTables(std::string_view title) {
  page_ =
      "<!DOCTYPE html>\n<html>\n<head>\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n<title>";
  AppendEscaped(title);
  page_ += "</title>\n</head>\n<body>\n";
}

void HtmlTables::BeginTable(std::string_view caption) {
  page_ += "<table border=\"1\">\n";
  if (!caption.empty()) {
    page_ += "<caption>";
    AppendEscaped(caption);
    page_ += "</caption>\n";
  }
  ++tables_;
}

void HtmlTables::EndTable() {
  page_ += "</table>\n";
}

void HtmlTables::BeginRow() {
  page_ += "<tr>";
  header_row_ = false;
  ++rows_;
}

void HtmlTables::BeginHeaderRow() {
  page_ += "<tr>";
  header_row_ = true;
}

void HtmlTables::EndRow() {
  page_ += "</tr>\n";
}

void HtmlTables::Cell(std::string_view utf8_text) {
  page_ += header_row_ ? "<th>" : "<td>";
  AppendEscaped(utf8_text);
  page_ += header_row_ ? "</th>" : "</td>";
  ++cells_;
}

std::string HtmlTables::Finish() {
  page_ += "</body>\n</html>\n";
  return std::move(page_);
}

void HtmlTables::AppendEscaped(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (const char* entity = docengine::MarkupEntity(c)) {
      page_ += entity;
    } else if (c == '\n') {
      page_ += "<br>";
    } else if (c == '\r') {
      if (i + 1 >= text.size() || text[i + 1] != '\n') {
        page_ += "<br>";  // a lone CR breaks the line; CR LF breaks it once
      }
    } else if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') {
      page_ += c;
    }
    // Other control characters have no place in a page and carry no text.
  }
}

bool WritePage(const std::string& path, const std::string& page, std::string& error) {
  return docengine::WriteFileReplacing(path, page, error);
}

}  // namespace quillon::wordcnv
